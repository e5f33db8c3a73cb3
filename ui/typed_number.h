// The number a person typed into one of the window's fields.
//
// The text is read as ReadFieldNumber reads it (form/run_fields.h), which
// reads it as ReadNumber does (platform/numbers.h). Only when it
// has no leading number that way is it read again in Unicode compatibility
// form (NFKC), in which the full-width forms a Japanese input method types
// become their ASCII twins: "４０" is 40, "０．１" is 0.1, "１ｅ３" is 1000,
// "－５" is -5, and an ideographic space (U+3000) before the number is a blank
// like any other. A text that has a leading number as typed keeps exactly
// that reading ("4０" is 4, "1²" is 1), so no text that was read as a number
// before is read differently. A number beyond the range of a double raises
// RuntimeError(kOverflow); text with no number in either form reads as 0.
#pragma once

#include <QString>

namespace tessaly {

[[nodiscard]] double ReadTypedNumber(const QString& text);

}  // namespace tessaly
