#include "form/window_texts.h"

#include <string>

namespace tessaly {
namespace {

// 100000 as 100,000.
std::string Grouped(std::size_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) grouped += ',';
    grouped += digits[k];
  }
  return grouped;
}

constexpr std::string_view kWhatToDo =
    "ページを再読み込みしてください。直らないときは、別のブラウザで開いてください。";

}  // namespace

std::string RecordingNote(std::size_t rows, std::size_t every, bool full) {
  if (full) {
    return "記録は " + Grouped(rows) +
           " 行でいっぱいになり、止まりました。CSV を保存すると、ここまでの行が書かれます。";
  }
  return std::to_string(every) + " ステップごとに記録した行: " + Grouped(rows);
}

std::string StepperNotStartedMessage() {
  return "計算を受け持つワーカーを起動できませんでした (3 回試みました)。\n" + std::string(kWhatToDo);
}

std::string StepperSilentMessage() {
  return "計算を受け持つワーカーが応答しなくなったため、シミュレーションを止めました。\n" +
         std::string(kWhatToDo);
}

std::string SaveFailedMessage(std::string_view what, std::string_view reason, bool worker) {
  std::string message(what);
  message += " を保存できませんでした。\n";
  message += reason;
  if (worker) message.append("\n").append(kWhatToDo);
  return message;
}

}  // namespace tessaly
