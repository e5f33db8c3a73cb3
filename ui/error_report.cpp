#include "ui/error_report.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <string>
#include <string_view>

#include "form/run_fields.h"

namespace tessaly {

QString ErrorKindText(ErrorKind kind) {
  const std::string_view text = ErrorKindCaption(kind);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ErrorReport FieldErrorReport(ErrorKind kind, const QString& caption, const QString& hint) {
  const std::string message = FieldErrorMessage(kind, caption.toStdString(), hint.toStdString());
  return {kind, caption, QString::fromStdString(message)};
}

ErrorReport TickErrorReport(ErrorKind kind) {
  return {kind, QString(), QString::fromStdString(TickErrorMessage(kind))};
}

ErrorReport SaveErrorReport(const QString& path, const QString& reason) {
  return {ErrorKind::kOutOfRange, QString(),
          QStringLiteral("ファイルに保存できませんでした。\n%1\n%2\n記録した数値はそのまま残っています。")
              .arg(path, reason)};
}

std::unique_ptr<QDialog> MakeErrorBox(QWidget* parent, const ErrorReport& report) {
  // Not a QMessageBox: that one wraps its text to a width of its own choosing
  // (half the screen), and Japanese text wrapped by width breaks mid-word.
  auto box = std::make_unique<QDialog>(parent);
  box->setWindowTitle(parent ? parent->window()->windowTitle() : QString());
  box->setModal(true);

  auto* icon = new QLabel(box.get());
  const int icon_size = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
  icon->setPixmap(box->style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, box.get())
                      .pixmap(icon_size, icon_size));
  icon->setAlignment(Qt::AlignTop);

  auto* text = new QLabel(report.message, box.get());
  text->setObjectName(QStringLiteral("message"));
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(false);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box.get());
  QObject::connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addWidget(text, 1);
  auto* column = new QVBoxLayout(box.get());
  column->addLayout(row);
  column->addWidget(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);
  return box;
}

void ShowErrorBox(QWidget* parent, const ErrorReport& report) { MakeErrorBox(parent, report)->exec(); }

}  // namespace tessaly
