#include "ui/share_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessaly {
namespace {

QLineEdit* AddRow(QGridLayout* grid, int row, const QString& caption, const QString& note,
                  const char* name, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  auto* text = new QLineEdit(parent);
  text->setObjectName(QString::fromLatin1(name));
  text->setReadOnly(true);
  text->setMinimumWidth(460);
  text->setAccessibleName(caption);
  label->setBuddy(text);
  auto* copy = new QPushButton(QStringLiteral("コピー"), parent);
  copy->setObjectName(QString::fromLatin1(name) + QStringLiteral("Copy"));
  copy->setAccessibleDescription(caption + QStringLiteral("をクリップボードにコピーします"));
  copy->setAutoDefault(false);
  QObject::connect(copy, &QPushButton::clicked, text, [text] {
    QApplication::clipboard()->setText(text->text());
    text->selectAll();
  });
  auto* hint = new QLabel(note, parent);
  hint->setWordWrap(true);
  grid->addWidget(label, row, 0, 1, 2);
  grid->addWidget(text, row + 1, 0);
  grid->addWidget(copy, row + 1, 1);
  grid->addWidget(hint, row + 2, 0, 1, 2);
  return text;
}

}  // namespace

ShareDialog::ShareDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("shareDialog"));
  setWindowTitle(QStringLiteral("共有"));
  auto* grid = new QGridLayout(this);
  command_line_ = AddRow(grid, 0, QStringLiteral("コマンドライン"),
                         QStringLiteral("この実行を、同じ配置から開き直します。"),
                         "commandLine", this);
  query_ = AddRow(grid, 3, QStringLiteral("ページのアドレスに付けるパラメーター"),
                  QStringLiteral("教室に配信しているページのアドレスの後ろに付けると、"
                                 "ブラウザーで同じ配置から始まります。"),
                  "addressParameters", this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, 6, 0, 1, 2);
}

void ShareDialog::SetRun(const SharedRun& run) {
  command_line_->setText(QString::fromStdString(SharedCommandLine(run)));
  query_->setText(QString::fromStdString(SharedQuery(run)));
  command_line_->setCursorPosition(0);
  query_->setCursorPosition(0);
}

}  // namespace tessaly
