#include "ui/typed_number.h"

#include <string>

#include "form/run_fields.h"

namespace tessaly {

double ReadTypedNumber(const QString& text) {
  const std::string as_typed = text.toStdString();
  const std::string compatible = text.normalized(QString::NormalizationForm_KC).toStdString();
  return ReadFieldNumber({as_typed, compatible});
}

}  // namespace tessaly
