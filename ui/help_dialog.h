// 使い方: the help text both editions show (form/help_text), in a text
// browser.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace tessaly {

class HelpDialog : public QDialog {
  Q_OBJECT

 public:
  explicit HelpDialog(QWidget* parent = nullptr);

  [[nodiscard]] QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace tessaly
