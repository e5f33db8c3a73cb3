// Run-time errors of the program. Every failure the program can meet (an input
// that does not fit its type, a count that cannot size the tables, a timer
// period the timer refuses, an arithmetic result that overflows, divides by zero
// or is undefined) is raised as a RuntimeError at the operation that caused it.
#pragma once

#include <stdexcept>
#include <string_view>

namespace tessaly {

enum class ErrorKind {
  kOverflow,          // a value does not fit its type, or a result is too large
  kDivisionByZero,    // a finite value divided by zero
  kInvalidOperation,  // a result that is not a number (0/0, inf - inf, ...)
  kOutOfRange,        // a value its receiver cannot take (negative count, period)
  kOutOfMemory,       // the tables could not be allocated
};

// The kind's name in plain words: "overflow", "division by zero", ...
[[nodiscard]] std::string_view ErrorKindName(ErrorKind kind);

class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(ErrorKind kind);
  [[nodiscard]] ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

}  // namespace tessaly
