// 共有: the command line that reopens the window's run and the address
// parameters that open it in the page, each in a read-only field with its own
// コピー button.
#pragma once

#include <QDialog>

#include "form/shared_run.h"

class QLineEdit;

namespace tessaly {

class ShareDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ShareDialog(QWidget* parent = nullptr);

  // Shows the texts of `run`.
  void SetRun(const SharedRun& run);

 private:
  QLineEdit* command_line_;
  QLineEdit* query_;
};

}  // namespace tessaly
