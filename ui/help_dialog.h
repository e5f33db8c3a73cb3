// 使い方: the help text both editions show (form/help_text), in a text
// browser, and 授業ガイド, which opens the teacher's guide in the user's
// browser where a copy of it is installed.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTextBrowser;

namespace tessaly {

class HelpDialog : public QDialog {
  Q_OBJECT

 public:
  explicit HelpDialog(QWidget* parent = nullptr);

  [[nodiscard]] QTextBrowser* Browser() const { return browser_; }
  [[nodiscard]] QPushButton* GuideButton() const { return guide_; }

 private:
  QTextBrowser* browser_;
  QPushButton* guide_;
};

// The guide's copy beside the program: the package's under
// <prefix>/share/doc/tessaly, or the build's. Empty where there is none
// (Debian lets /usr/share/doc be left out).
[[nodiscard]] QString GuideFile();

}  // namespace tessaly
