#include "ui/error_report.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace tessaly {

QString ErrorKindText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOverflow:
      return QStringLiteral("オーバーフロー");
    case ErrorKind::kDivisionByZero:
      return QStringLiteral("0 による除算");
    case ErrorKind::kInvalidOperation:
      return QStringLiteral("無効な演算");
    case ErrorKind::kOutOfRange:
      return QStringLiteral("範囲外の値");
    case ErrorKind::kOutOfMemory:
      return QStringLiteral("メモリ不足");
  }
  return QStringLiteral("不明なエラー");
}

ErrorReport FieldErrorReport(ErrorKind kind, const QString& caption, const QString& hint) {
  const QString message =
      QStringLiteral("「%1」の値を使えません (%2)。\n%3\nそれまでの状態は、そのまま変わりません。")
          .arg(caption, ErrorKindText(kind), hint);
  return {kind, caption, message};
}

ErrorReport TickErrorReport(ErrorKind kind) {
  const QString message = QStringLiteral(
                              "計算中にエラーが起きました (%1)。\n"
                              "シミュレーションを停止しました。\n"
                              "「時間刻み」が大きすぎると起きます。\n"
                              "小さな値にして「実行」を押すと、\n"
                              "最初からやり直します。")
                              .arg(ErrorKindText(kind));
  return {kind, QString(), message};
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
