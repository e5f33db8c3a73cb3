// The three fields of the window, as both editions read them: their
// captions, what each accepts, how they are read and checked before a run
// starts, and the Japanese messages for what goes wrong. No window toolkit:
// the desktop window and the page in a browser hand in the texts and show
// what comes back.
//
// A field's text comes twice: as typed, and in Unicode compatibility form
// (NFKC), in which the full-width forms a Japanese input method types become
// their ASCII twins. The window's toolkit or the browser makes that form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/errors.h"

namespace tessaly {

enum class Field { kCount, kTimeStep, kPeriod };

// What is shown of a field: its caption, its text at start, what it accepts
// (one or more lines, also quoted in its error messages), further advice for
// its tooltip (may be empty) and what a screen reader says of its label.
struct FieldLook {
  std::string_view caption;
  std::string_view initial_text;
  std::string_view rule;
  std::string_view more;
  std::string_view description;
};

[[nodiscard]] const FieldLook& LookOf(Field field);

// The whole tooltip of a field: its rule, its advice, and that full-width
// forms are read too, one to a line.
[[nodiscard]] std::string FieldTooltip(Field field);

// The text of one field, as typed and in compatibility form.
struct FieldText {
  std::string_view as_typed;
  std::string_view compatible;
};

// The number a field holds: its leading number as typed (platform/numbers.h);
// only when it has none, the leading number of its compatibility form; 0 when
// neither has one. A text with a number as typed keeps exactly that reading
// ("4０" is 4). A number beyond a double raises RuntimeError(kOverflow).
[[nodiscard]] double ReadFieldNumber(const FieldText& text);

struct RunFieldTexts {
  FieldText count;
  FieldText time_step;
  FieldText period;
};

// What a run starts with.
struct RunSettings {
  std::int16_t count = 0;
  double time_step = 0.0;
  std::int32_t period = 0;  // milliseconds; 0 never ticks
};

// A field that cannot be used, and why.
struct FieldError {
  Field field;
  ErrorKind kind;
};

// Reads and checks all three fields. Of several fields that cannot be used,
// the first in this order is the one reported: the count as read (rounded to
// a 16-bit integer), the time step as read, the count's range, the period
// (rounded to a 32-bit integer, then the timer's range).
[[nodiscard]] std::variant<RunSettings, FieldError> ReadRunFields(const RunFieldTexts& texts);

// The kind of error in Japanese: "オーバーフロー", "0 による除算", ...
[[nodiscard]] std::string_view ErrorKindCaption(ErrorKind kind);

// The message for a field that cannot be used, naming its caption and the
// kind and quoting what it accepts. Lines are broken by hand, at the ends of
// phrases, and must not be wrapped again.
[[nodiscard]] std::string FieldErrorMessage(ErrorKind kind, std::string_view caption,
                                            std::string_view rule);
[[nodiscard]] std::string FieldErrorMessage(const FieldError& error);

// The message for an arithmetic error during a step: the run has stopped.
[[nodiscard]] std::string TickErrorMessage(ErrorKind kind);

}  // namespace tessaly
