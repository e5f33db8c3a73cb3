#include "form/run_fields.h"

#include <optional>

#include "model/simulation.h"
#include "platform/numbers.h"
#include "platform/timer_interval.h"

namespace tessaly {
namespace {

// The rules are broken into lines by hand, at the ends of phrases, as they
// also stand in the error messages.
constexpr FieldLook kCountLook{
    "分子の数", "40",
    "分子の数: 0〜32767 の整数\n"
    "(小数は最も近い整数に丸めます)",
    "箱に重ならずに並ぶのは約 80 個までです。\n"
    "それより多いと円が重なり、\n"
    "5000 個ほどで箱が黒く埋まります。",
    "右の欄に分子の数を入力します"};
constexpr FieldLook kTimeStepLook{"時間刻み", "0.1",
                                  "時間刻み: 1 ステップで進む時間 (換算単位)",
                                  "0.1 や 1e-3 のように書きます。",
                                  "右の欄に時間刻みを入力します"};
constexpr FieldLook kPeriodLook{"タイマー", "10",
                                "タイマーの周期: 0〜65535 ミリ秒\n"
                                "(0 なら最初の配置のまま動きません)",
                                "", "右の欄にタイマーの周期をミリ秒で入力します"};

// The value `read` returns, or the error it raises against `field`.
template <typename Read>
auto Guarded(Field field, std::optional<FieldError>& error, Read read)
    -> std::optional<decltype(read())> {
  try {
    return read();
  } catch (const RuntimeError& e) {
    error = FieldError{field, e.kind()};
    return std::nullopt;
  }
}

}  // namespace

const FieldLook& LookOf(Field field) {
  switch (field) {
    case Field::kCount:
      return kCountLook;
    case Field::kTimeStep:
      return kTimeStepLook;
    case Field::kPeriod:
      break;
  }
  return kPeriodLook;
}

std::string FieldTooltip(Field field) {
  const FieldLook& look = LookOf(field);
  std::string tip(look.rule);
  if (!look.more.empty()) tip.append("\n").append(look.more);
  return tip.append("\n全角の数字・記号でも入力できます。");
}

double ReadFieldNumber(const FieldText& text) {
  if (const std::optional<double> as_typed = ReadLeadingNumber(text.as_typed)) return *as_typed;
  return ReadLeadingNumber(text.compatible).value_or(0.0);
}

std::variant<RunSettings, FieldError> ReadRunFields(const RunFieldTexts& texts) {
  std::optional<FieldError> error;
  const auto count =
      Guarded(Field::kCount, error, [&] { return RoundToInt16(ReadFieldNumber(texts.count)); });
  if (!count) return *error;
  const auto time_step =
      Guarded(Field::kTimeStep, error, [&] { return ReadFieldNumber(texts.time_step); });
  if (!time_step) return *error;
  if (!Guarded(Field::kCount, error, [&] {
        CheckParticleCount(*count);
        return true;
      })) {
    return *error;
  }
  const auto period = Guarded(Field::kPeriod, error, [&] {
    const std::int32_t ms = RoundToInt32(ReadFieldNumber(texts.period));
    CheckTimerInterval(ms);
    return ms;
  });
  if (!period) return *error;
  return RunSettings{*count, *time_step, *period};
}

std::string_view ErrorKindCaption(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOverflow:
      return "オーバーフロー";
    case ErrorKind::kDivisionByZero:
      return "0 による除算";
    case ErrorKind::kInvalidOperation:
      return "無効な演算";
    case ErrorKind::kOutOfRange:
      return "範囲外の値";
    case ErrorKind::kOutOfMemory:
      return "メモリ不足";
  }
  return "不明なエラー";
}

std::string FieldErrorMessage(ErrorKind kind, std::string_view caption, std::string_view rule) {
  std::string message("「");
  message.append(caption).append("」の値を使えません (").append(ErrorKindCaption(kind)).append(")。\n");
  return message.append(rule).append("\nそれまでの状態は、そのまま変わりません。");
}

std::string FieldErrorMessage(const FieldError& error) {
  const FieldLook& look = LookOf(error.field);
  return FieldErrorMessage(error.kind, look.caption, look.rule);
}

std::string TickErrorMessage(ErrorKind kind) {
  std::string message("計算中にエラーが起きました (");
  return message.append(ErrorKindCaption(kind))
      .append(
          ")。\n"
          "シミュレーションを停止しました。\n"
          "「時間刻み」が大きすぎると起きます。\n"
          "小さな値にして「実行」を押すと、\n"
          "最初からやり直します。");
}

}  // namespace tessaly
