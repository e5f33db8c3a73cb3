#include "platform/errors.h"

#include <string>

namespace tessaly {

std::string_view ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOverflow:
      return "overflow";
    case ErrorKind::kDivisionByZero:
      return "division by zero";
    case ErrorKind::kInvalidOperation:
      return "invalid operation";
    case ErrorKind::kOutOfRange:
      return "out of range";
    case ErrorKind::kOutOfMemory:
      return "out of memory";
  }
  return "unknown error";
}

RuntimeError::RuntimeError(ErrorKind kind)
    : std::runtime_error(std::string(ErrorKindName(kind))), kind_(kind) {}

}  // namespace tessaly
