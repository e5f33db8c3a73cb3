// The fields as both editions read them: values, the order in which errors
// are reported, and the messages.
#include "form/run_fields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

namespace tessaly {
namespace {

struct Case {
  const char* count;
  const char* time_step;
  const char* period;
  std::optional<FieldError> error;  // none: the run starts with `settings`
  RunSettings settings;
};

// Text typed in ASCII is its own compatibility form; the full-width cases
// give the form a browser or Qt would make.
std::variant<RunSettings, FieldError> Read(const Case& c) {
  return ReadRunFields({{c.count, c.count}, {c.time_step, c.time_step}, {c.period, c.period}});
}

TEST(ReadRunFields, ReadsAllThreeAndReportsTheFirstErrorInReadingOrder) {
  const Case cases[] = {
      {"40", "0.1", "10", std::nullopt, {40, 0.1, 10}},
      {"2.5", "abc", "0", std::nullopt, {2, 0.0, 0}},
      {" 12abc", "-2.5e-3", "65535", std::nullopt, {12, -2.5e-3, 65535}},
      {"32767", "1e300", "0.4", std::nullopt, {32767, 1e300, 0}},
      // Each field on its own.
      {"32767.5", "0.1", "10", FieldError{Field::kCount, ErrorKind::kOverflow}, {}},
      {"-1", "0.1", "10", FieldError{Field::kCount, ErrorKind::kOutOfRange}, {}},
      {"40", "1e309", "10", FieldError{Field::kTimeStep, ErrorKind::kOverflow}, {}},
      {"40", "0.1", "65536", FieldError{Field::kPeriod, ErrorKind::kOutOfRange}, {}},
      {"40", "0.1", "-1", FieldError{Field::kPeriod, ErrorKind::kOutOfRange}, {}},
      {"40", "0.1", "3e9", FieldError{Field::kPeriod, ErrorKind::kOverflow}, {}},
      // Several at once: count read, time step read, count's range, period.
      {"1e9", "1e309", "-1", FieldError{Field::kCount, ErrorKind::kOverflow}, {}},
      {"-1", "1e309", "-1", FieldError{Field::kTimeStep, ErrorKind::kOverflow}, {}},
      {"-1", "0.1", "3e9", FieldError{Field::kCount, ErrorKind::kOutOfRange}, {}},
  };
  for (const Case& c : cases) {
    const auto read = Read(c);
    const std::string label = std::string(c.count) + " | " + c.time_step + " | " + c.period;
    if (c.error) {
      ASSERT_TRUE(std::holds_alternative<FieldError>(read)) << label;
      EXPECT_EQ(std::get<FieldError>(read).field, c.error->field) << label;
      EXPECT_EQ(std::get<FieldError>(read).kind, c.error->kind) << label;
    } else {
      ASSERT_TRUE(std::holds_alternative<RunSettings>(read)) << label;
      const RunSettings& s = std::get<RunSettings>(read);
      EXPECT_EQ(s.count, c.settings.count) << label;
      EXPECT_EQ(s.time_step, c.settings.time_step) << label;
      EXPECT_EQ(s.period, c.settings.period) << label;
    }
  }
}

TEST(ReadFieldNumber, TakesTheCompatibilityFormOnlyWithoutANumberAsTyped) {
  EXPECT_EQ(ReadFieldNumber({"４０", "40"}), 40.0);
  EXPECT_EQ(ReadFieldNumber({"4０", "40"}), 4.0);
  EXPECT_EQ(ReadFieldNumber({"ａｂｃ", "abc"}), 0.0);
  EXPECT_THROW((void)ReadFieldNumber({"１ｅ４００", "1e400"}), RuntimeError);
}

TEST(FieldErrorMessage, NamesTheFieldTheKindAndWhatItAccepts) {
  for (const Field field : {Field::kCount, Field::kTimeStep, Field::kPeriod}) {
    const std::string message = FieldErrorMessage({field, ErrorKind::kOutOfRange});
    const FieldLook& look = LookOf(field);
    EXPECT_NE(message.find("「" + std::string(look.caption) + "」"), std::string::npos) << message;
    EXPECT_NE(message.find(look.rule), std::string::npos) << message;
    EXPECT_NE(message.find("範囲外の値"), std::string::npos) << message;
  }
  EXPECT_NE(TickErrorMessage(ErrorKind::kOverflow).find("オーバーフロー"), std::string::npos);
}

}  // namespace
}  // namespace tessaly
