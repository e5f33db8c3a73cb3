#include "ui/help_dialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "form/help_text.h"

namespace tessaly {

QString GuideFile() {
  const QDir here(QCoreApplication::applicationDirPath());
  for (const char* place : {"../share/doc/tessaly/guide.html", "../guide/guide.html"}) {
    const QFileInfo file(here.filePath(QString::fromLatin1(place)));
    if (file.isFile()) return file.canonicalFilePath();
  }
  return {};
}

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("helpDialog"));
  setWindowTitle(QStringLiteral("使い方"));
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpText"));
  browser_->setOpenLinks(false);
  browser_->setHtml(QString::fromStdString(HelpHtml()));
  layout->addWidget(browser_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
  guide_ = buttons->addButton(QStringLiteral("授業ガイド"), QDialogButtonBox::ActionRole);
  guide_->setObjectName(QStringLiteral("guideButton"));
  const QString guide = GuideFile();
  guide_->setVisible(!guide.isEmpty());
  guide_->setToolTip(QStringLiteral("授業ガイドをブラウザで開きます: ") + guide);
  connect(guide_, &QPushButton::clicked, this,
          [guide] { QDesktopServices::openUrl(QUrl::fromLocalFile(guide)); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(560, 620);
}

}  // namespace tessaly
