// How errors reach the person at the window: a report naming the field (if
// any) and the kind of error, with the whole message in Japanese.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "platform/errors.h"

class QDialog;
class QWidget;

namespace tessaly {

// The message's lines are broken by hand, each at the end of a phrase, and
// are never broken again: a Japanese text wrapped by width alone breaks in
// the middle of words.
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

// A field whose text cannot be used: `caption` names the field and `hint`
// (its tooltip) says what it accepts. Nothing has changed.
[[nodiscard]] ErrorReport FieldErrorReport(ErrorKind kind, const QString& caption,
                                           const QString& hint);

// An arithmetic error during a step: the run has been stopped. Only the time
// step can make a step overflow, so the message points to it.
[[nodiscard]] ErrorReport TickErrorReport(ErrorKind kind);

// A file that could not be written to `path`, for the system's `reason`;
// nothing recorded is lost. Its kind is kOutOfRange: the file would not take
// what was to be written.
[[nodiscard]] ErrorReport SaveErrorReport(const QString& path, const QString& reason);

// A modal warning box over `parent` that shows the report's message line for
// line, as wide as its longest line, with an OK button.
[[nodiscard]] std::unique_ptr<QDialog> MakeErrorBox(QWidget* parent, const ErrorReport& report);

// Shows that box and waits until it is dismissed.
void ShowErrorBox(QWidget* parent, const ErrorReport& report);

}  // namespace tessaly
