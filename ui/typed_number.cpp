#include "ui/typed_number.h"

#include <optional>

#include "platform/numbers.h"

namespace tessaly {

double ReadTypedNumber(const QString& text) {
  if (const std::optional<double> as_typed = ReadLeadingNumber(text.toStdString())) {
    return *as_typed;
  }
  const QString compatible = text.normalized(QString::NormalizationForm_KC);
  return ReadLeadingNumber(compatible.toStdString()).value_or(0.0);
}

}  // namespace tessaly
