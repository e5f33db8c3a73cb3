// How errors reach the person at the window: a report naming the field (if
// any) and the kind of error, with the whole message in Japanese.
#pragma once

#include <QString>
#include <functional>

#include "platform/errors.h"

namespace tessaly {

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

// An arithmetic error during a step: the run has been stopped.
[[nodiscard]] ErrorReport TickErrorReport(ErrorKind kind);

}  // namespace tessaly
