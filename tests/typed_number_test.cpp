// Numbers as a person types them into the window's fields, with or without a
// Japanese input method.
#include "ui/typed_number.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "number_cases.h"
#include "platform/errors.h"
#include "platform/numbers.h"

namespace tessaly {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every text with a leading number as typed keeps exactly that reading.
void ExpectReadAsBefore(const std::string& text, const std::string& label) {
  std::optional<double> before;
  try {
    before = ReadLeadingNumber(text);
  } catch (const RuntimeError&) {
    EXPECT_THROW((void)ReadTypedNumber(QString::fromStdString(text)), RuntimeError) << label;
    return;
  }
  if (!before) return;
  const double now = ReadTypedNumber(QString::fromStdString(text));
  EXPECT_TRUE(SameBits(now, *before)) << label << ": " << now << " against " << *before;
}

TEST(ReadTypedNumber, ReadsEveryNumberOfThePlainTableAsBefore) {
  for (const testing::ReadCase& c : testing::ReadNumberCases()) ExpectReadAsBefore(c.text, c.name);
}

TEST(ReadTypedNumber, ReadsEveryNumberOfTheFuzzCorpusAsBefore) {
  const QDir corpus(QStringLiteral(TESSALY_FUZZ_CORPUS));
  const QStringList files = corpus.entryList(QDir::Files);
  ASSERT_GT(files.size(), 10);
  for (const QString& name : files) {
    QFile file(corpus.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const std::string text = file.readAll().toStdString();
    // A field holds Unicode text: bytes that are not UTF-8 never reach it.
    if (QString::fromStdString(text).toStdString() != text) continue;
    ExpectReadAsBefore(text, name.toStdString());
  }
}

TEST(ReadTypedNumber, ReadsFullWidthFormsAsWhatTheyShow) {
  struct Case {
    const char* text;  // UTF-8
    double expected;
  };
  const Case cases[] = {
      {"４０", 40.0},
      {"\u3000４０", 40.0},  // after an ideographic space
      {"　　４０　", 40.0},
      {"０．１", 0.1},
      {"１ｅ３", 1000.0},
      {"２．５Ｅ－１", 0.25},
      {"－５", -5.0},
      {"＋７", 7.0},
      {"-５", -5.0},       // an ASCII sign before full-width digits
      {"４０ｐｃｓ", 40.0},  // trailing text ignored as ever
      {"ｉｎｆ", 0.0},       // no number in either form
      {"", 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadTypedNumber(QString::fromUtf8(c.text)), c.expected) << c.text;
  }
}

TEST(ReadTypedNumber, ATextWithANumberAsTypedIsNotReadAgain) {
  // Compatibility forms would make these other numbers ("40", "12", "11⁄2").
  EXPECT_EQ(ReadTypedNumber(QString::fromUtf8("4０")), 4.0);
  EXPECT_EQ(ReadTypedNumber(QString::fromUtf8("1²")), 1.0);
  EXPECT_EQ(ReadTypedNumber(QString::fromUtf8("1½")), 1.0);
  EXPECT_EQ(ReadTypedNumber(QString::fromUtf8("1e²")), 1.0);
}

TEST(ReadTypedNumber, FullWidthOverflowIsAnError) {
  try {
    (void)ReadTypedNumber(QString::fromUtf8("１ｅ４００"));
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::kOverflow);
  }
  EXPECT_TRUE(std::signbit(ReadTypedNumber(QString::fromUtf8("－０"))));
}

}  // namespace
}  // namespace tessaly
