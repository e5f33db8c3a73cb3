#include "ui/error_report.h"

namespace tessaly {

QString ErrorKindText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kOverflow:
      return QStringLiteral("オーバーフロー");
    case ErrorKind::kDivisionByZero:
      return QStringLiteral("0 による除算");
    case ErrorKind::kInvalidOperation:
      return QStringLiteral("無効な演算");
    case ErrorKind::kOutOfRange:
      return QStringLiteral("範囲外の値");
    case ErrorKind::kOutOfMemory:
      return QStringLiteral("メモリ不足");
  }
  return QStringLiteral("不明なエラー");
}

ErrorReport FieldErrorReport(ErrorKind kind, const QString& caption, const QString& hint) {
  const QString message =
      QStringLiteral("「%1」の値を使えません: %2。\n%3\nそれまでの状態はそのまま変わりません。")
          .arg(caption, ErrorKindText(kind), hint);
  return {kind, caption, message};
}

ErrorReport TickErrorReport(ErrorKind kind) {
  const QString message =
      QStringLiteral("計算中にエラーが起きました: %1。\nシミュレーションを停止しました。"
                     "値を直して「実行」を押すと、最初からやり直します。")
          .arg(ErrorKindText(kind));
  return {kind, QString(), message};
}

}  // namespace tessaly
