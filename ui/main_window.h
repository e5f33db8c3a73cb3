// Form1, the program's only window: the picture of the box, the Run and Stop
// buttons, the three input fields with their labels, and the timer that
// drives the simulation.
//
// Run reads and checks all three fields first. A field that cannot be used
// (a number that overflows its type, a negative count, a period the timer
// refuses) is reported and changes nothing: the running simulation, its
// picture and the timer go on as before. An arithmetic error during a tick
// stops the timer and is reported; the last good picture stays and the next
// Run starts afresh. The window never closes on an error.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "model/simulation.h"
#include "platform/errors.h"
#include "platform/random.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly {

class PictureBox;
class Timer;

// What went wrong, for the person at the window.
struct ErrorReport {
  ErrorKind kind;   // the kind of error
  QString field;    // caption of the field that could not be used; empty for a tick
  QString message;  // the whole message in Japanese, naming field and kind
};

// Shows an error report. The window's default shows a message box; tests set
// one that records the report instead.
using ErrorReporter = std::function<void(const ErrorReport&)>;

// The kind of error in Japanese: "オーバーフロー", "0 による除算", ...
[[nodiscard]] QString ErrorKindText(ErrorKind kind);

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

  // Replaces how errors are shown; an empty reporter restores the message box.
  void SetErrorReporter(ErrorReporter reporter);

  // Read access to what the window holds.
  [[nodiscard]] const Simulation& SimulationState() const { return Sim; }
  [[nodiscard]] const Timer& TimerState() const { return *Timer1; }
  [[nodiscard]] const QImage& PictureImage() const;

 private slots:
  void OnRunClicked();
  void OnStopClicked();
  void OnTick();

 private:
  void ReportFieldError(ErrorKind kind, const QLabel* label, const QLineEdit* field);
  void ReportTickError(ErrorKind kind);
  void Report(const ErrorReport& report);
  void ShowMessageBox(const ErrorReport& report);

  PictureBox* Picture1;
  QPushButton* Command1;
  QPushButton* Command2;
  QLabel* Label1;
  QLineEdit* Text1;
  QLabel* Label3;
  QLineEdit* Text3;
  QLabel* Label2;
  QLineEdit* Text2;
  Timer* Timer1;

  Simulation Sim;
  ClockRandom Random;
  ErrorReporter reporter_;
};

}  // namespace tessaly
