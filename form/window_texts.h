// The texts both windows show beside the fields: the picture's name and
// description, what the buttons do, the note on the rows kept, and the
// messages for a stepper or a save that failed. Japanese, UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly {

inline constexpr std::string_view kPictureName = "分子の図";
inline constexpr std::string_view kPictureDescription =
    "10 × 10 の箱の中の分子を、白い縁の黒い円で表示します";
inline constexpr std::string_view kRunDescription =
    "入力した値で、新しい配置からシミュレーションを始めます";
inline constexpr std::string_view kStopDescription =
    "シミュレーションを止めます。図はそのまま残ります";
// Why a page steps on one core of several, and what would give it the others.
inline constexpr std::string_view kOneCoreWhy =
    "このページはクロスオリジン分離されていないため、1 つのコアで計算します"
    " (https か localhost で開き直すと、すべてのコアを使います)";
// When what a button of the page needs could not be loaded at its first press.
inline constexpr std::string_view kPartNotLoaded =
    "この機能のファイルを読み込めませんでした。ネットワークにつながっているか確かめて、"
    "もう一度押してください。";

// What the 記録 line says of `rows` rows kept, every `every` steps, `full`
// once the most that are kept has been reached.
[[nodiscard]] std::string RecordingNote(std::size_t rows, std::size_t every, bool full);

// The page's messages when the worker that steps could not be started, or
// stopped answering during a step: what failed, and what to do.
[[nodiscard]] std::string StepperNotStartedMessage();
[[nodiscard]] std::string StepperSilentMessage();
// When a file could not be made: XYZ or CSV in `what`, and the reason; where
// the page's worker failed (`worker`), what to do about it.
[[nodiscard]] std::string SaveFailedMessage(std::string_view what, std::string_view reason,
                                            bool worker);
// The reasons a save can fail in the page.
inline constexpr std::string_view kSaveWorkerNotStarted = "保存を受け持つワーカーを起動できませんでした。";
inline constexpr std::string_view kSaveWorkerSilent = "保存を受け持つワーカーが応答しなくなりました。";
inline constexpr std::string_view kSaveTimeOverflows = "時刻が大きすぎて、書き出せません。";

}  // namespace tessaly
