#include "ui/main_window.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <cstdint>

#include "model/placement.h"
#include "model/time_step.h"
#include "platform/colour.h"
#include "platform/numbers.h"
#include "platform/picture_box.h"
#include "platform/timer.h"
#include "ui/app_icon.h"
#include "ui/rendering.h"

namespace tessaly {
namespace {

// The captions are Japanese: the interface font must cover Japanese script.
QFont InterfaceFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                    QStringLiteral("Source Han Sans JP"), QStringLiteral("IPAexGothic"),
                    QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                    QStringLiteral("TakaoGothic")});
  font.setPixelSize(12);  // 9 points at 96 dpi
  return font;
}

// Slate grey: both the black discs and their white rims stand out on it.
constexpr Colour kBackground = Rgb(112, 128, 144);

std::string FieldText(const QLineEdit* field) { return field->text().toStdString(); }

}  // namespace

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

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Tessaly"));
  setWindowIcon(MakeAppIcon());
  setFont(InterfaceFont());
  setFixedSize(434, 273);

  // Created in this order, each label lies under the text box it reaches into.
  Picture1 = new PictureBox(this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setGeometry(8, 8, 281, 257);
  Picture1->SetBackColor(kBackground);
  Picture1->Cls();
  Picture1->setFocusPolicy(Qt::StrongFocus);
  Picture1->setAccessibleName(QStringLiteral("分子の図"));
  Picture1->setAccessibleDescription(
      QStringLiteral("10 × 10 の箱の中の分子を、白い縁の黒い円で表示します"));

  Command1 = new QPushButton(QStringLiteral("実行"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(304, 24, 113, 25);
  Command1->setAccessibleName(QStringLiteral("実行"));
  Command1->setAccessibleDescription(
      QStringLiteral("入力した値で、新しい配置からシミュレーションを始めます"));

  Command2 = new QPushButton(QStringLiteral("停止"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(304, 56, 113, 25);
  Command2->setAccessibleName(QStringLiteral("停止"));
  Command2->setAccessibleDescription(
      QStringLiteral("シミュレーションを止めます。図はそのまま残ります"));

  Label1 = new QLabel(QStringLiteral("分子の数"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(304, 112, 57, 17);
  Text1 = new QLineEdit(QStringLiteral("40"), this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(360, 112, 49, 18);
  Text1->setToolTip(QStringLiteral("分子の数: 0〜32767 の整数 (小数は最も近い整数に丸めます)"));

  Label3 = new QLabel(QStringLiteral("時間刻み"), this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setGeometry(304, 136, 57, 25);
  Text3 = new QLineEdit(QStringLiteral("0.1"), this);
  Text3->setObjectName(QStringLiteral("Text3"));
  Text3->setGeometry(360, 136, 49, 18);
  Text3->setToolTip(QStringLiteral("時間刻み: 1 ステップで進む時間 (換算単位)"));

  Label2 = new QLabel(QStringLiteral("タイマー"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(304, 160, 57, 17);
  Text2 = new QLineEdit(QStringLiteral("10"), this);
  Text2->setObjectName(QStringLiteral("Text2"));
  Text2->setGeometry(360, 160, 49, 18);
  Text2->setToolTip(
      QStringLiteral("タイマーの周期: 0〜65535 ミリ秒 (0 なら最初の配置のまま動きません)"));

  for (QLabel* label : {Label1, Label3, Label2}) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAccessibleName(label->text());
  }
  Label1->setBuddy(Text1);
  Label3->setBuddy(Text3);
  Label2->setBuddy(Text2);
  Label1->setAccessibleDescription(QStringLiteral("右の欄に分子の数を入力します"));
  Label3->setAccessibleDescription(QStringLiteral("右の欄に時間刻みを入力します"));
  Label2->setAccessibleDescription(QStringLiteral("右の欄にタイマーの周期をミリ秒で入力します"));
  for (QLineEdit* field : {Text1, Text3, Text2}) field->setAccessibleDescription(field->toolTip());
  Text1->setAccessibleName(QStringLiteral("分子の数"));
  Text3->setAccessibleName(QStringLiteral("時間刻み"));
  Text2->setAccessibleName(QStringLiteral("タイマー"));

  // Neither button answers Enter or Esc.
  for (QPushButton* button : {Command1, Command2}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  setTabOrder(Picture1, Command1);
  setTabOrder(Command1, Text1);
  setTabOrder(Text1, Command2);
  setTabOrder(Command2, Text2);
  setTabOrder(Text2, Text3);

  // Switched on, but with period 0 it is not armed: nothing runs before Run.
  Timer1 = new Timer(this);
  Timer1->SetInterval(0);
  Timer1->SetEnabled(true);

  connect(Command1, &QPushButton::clicked, this, &Form1::OnRunClicked);
  connect(Command2, &QPushButton::clicked, this, &Form1::OnStopClicked);
  connect(Timer1, &Timer::Tick, this, &Form1::OnTick);
}

Form1::~Form1() = default;

void Form1::SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

const QImage& Form1::PictureImage() const { return Picture1->Image(); }

void Form1::OnRunClicked() {
  // Every field is read and checked before anything changes, so a field that
  // cannot be used leaves the running simulation as it was.
  std::int16_t count = 0;
  double timeStep = 0.0;
  std::int32_t period = 0;
  try {
    count = RoundToInt16(ReadNumber(FieldText(Text1)));
    if (count < 0) throw RuntimeError(ErrorKind::kOutOfRange);
  } catch (const RuntimeError& error) {
    ReportFieldError(error.kind(), Label1, Text1);
    return;
  }
  try {
    timeStep = ReadNumber(FieldText(Text3));
  } catch (const RuntimeError& error) {
    ReportFieldError(error.kind(), Label3, Text3);
    return;
  }
  try {
    period = RoundToInt32(ReadNumber(FieldText(Text2)));
    Timer::CheckInterval(period);
  } catch (const RuntimeError& error) {
    ReportFieldError(error.kind(), Label2, Text2);
    return;
  }

  try {
    InitSimulation(Sim, count, timeStep);
  } catch (const RuntimeError& error) {
    ReportFieldError(error.kind(), Label1, Text1);  // the tables did not fit; the old run stays
    return;
  }
  try {
    SetUserScale(*Picture1, 0, 0, 10, 10);
    Picture1->Cls();
    PlaceParticles(Sim, Random);
    DrawParticles(Sim, *Picture1);
    Timer1->SetInterval(period);
    Timer1->SetEnabled(true);
  } catch (const RuntimeError& error) {
    Timer1->SetEnabled(false);
    ReportTickError(error.kind());
  }
}

void Form1::OnStopClicked() { Timer1->SetEnabled(false); }

void Form1::OnTick() {
  try {
    AdvanceOneStep(Sim);
    DrawParticles(Sim, *Picture1);  // the state this tick started from
    ExchangeLevels(Sim);
  } catch (const RuntimeError& error) {
    // The step never writes the level on show, so the picture stays as it
    // was drawn last: finite and whole.
    Timer1->SetEnabled(false);
    ReportTickError(error.kind());
  }
}

void Form1::ReportFieldError(ErrorKind kind, const QLabel* label, const QLineEdit* field) {
  const QString message =
      QStringLiteral("「%1」の値を使えません: %2。\n%3\nそれまでの状態はそのまま変わりません。")
          .arg(label->text(), ErrorKindText(kind), field->toolTip());
  Report({kind, label->text(), message});
}

void Form1::ReportTickError(ErrorKind kind) {
  const QString message =
      QStringLiteral("計算中にエラーが起きました: %1。\nシミュレーションを停止しました。"
                     "値を直して「実行」を押すと、最初からやり直します。")
          .arg(ErrorKindText(kind));
  Report({kind, QString(), message});
}

void Form1::Report(const ErrorReport& report) {
  if (reporter_) {
    reporter_(report);
  } else {
    ShowMessageBox(report);
  }
}

void Form1::ShowMessageBox(const ErrorReport& report) {
  QMessageBox::warning(this, windowTitle(), report.message);
}

}  // namespace tessaly
