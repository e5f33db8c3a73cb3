// The drawing surface: its client area and image, the user scale, the circle
// and the properties it refuses.
#include "widgets/picture_box.h"

#include <gtest/gtest.h>

#include <QPixmap>
#include <cmath>
#include <limits>

#include "platform/errors.h"
#include "ui/picture_layout.h"
#include "picture_check.h"

namespace tessaly {
namespace {

using testing::CheckDiscs;

constexpr Colour kGrey = kPictureBackground;
constexpr QRgb kGreyRgb = qRgb(RedOf(kGrey), GreenOf(kGrey), BlueOf(kGrey));

// A surface the size of the window's: 281 x 257 outside, 277 x 253 inside.
class PictureBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.setGeometry(QRect(QPoint(0, 0), kPictureGeometry.size()));
    box.SetBackColor(kGrey);
    box.Clear();
  }
  // Device pixels per pixel of the client area, and the rim's width.
  double Ratio() const { return box.Image().width() / 277.0; }
  double Rim() const { return box.devicePixelRatioF(); }
  PictureBox box;
};

TEST_F(PictureBoxTest, ImageCoversTheClientAreaInsideATwoPixelBorder) {
  EXPECT_EQ(box.frameWidth(), 2);
  EXPECT_EQ(box.contentsRect(), QRect(2, 2, 277, 253));
  const double ratio = box.devicePixelRatioF();
  EXPECT_EQ(box.Image().size(), QSize(qRound(277 * ratio), qRound(253 * ratio)));
}

TEST_F(PictureBoxTest, ClsErasesEverythingToTheBackColour) {
  box.SetFillStyle(FillStyle::kSolid);
  box.Circle(100, 100, 50, Rgb(255, 255, 255));
  box.SetBackColor(Rgb(10, 20, 30));
  box.Clear();
  const QImage& image = box.Image();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.pixel(x, y), qRgb(10, 20, 30));
  }
}

TEST_F(PictureBoxTest, UntilTheScaleIsSetOneUnitIsOnePixel) {
  EXPECT_EQ(box.ScaleLeft(), 0.0f);
  EXPECT_EQ(box.ScaleTop(), 0.0f);
  EXPECT_EQ(box.ScaleWidth(), 277.0f);
  EXPECT_EQ(box.ScaleHeight(), 253.0f);
}

TEST_F(PictureBoxTest, SolidCircleIsBlackInsideWithAWhiteRimAndRoundOnScreen) {
  // One unit across is 27.7 pixels but one unit down only 25.3: the circle
  // must still be round, its radius measured horizontally.
  box.SetScaleWidth(10);
  box.SetScaleHeight(10);
  box.SetFillStyle(FillStyle::kSolid);
  box.SetFillColor(Rgb(0, 0, 0));
  box.Circle(3.0f, 4.0f, 0.5f, Rgb(255, 255, 255));
  box.Circle(7.2f, 6.1f, 0.5f, Rgb(255, 255, 255));
  const QImage& image = box.Image();
  const auto faults = CheckDiscs(image, {testing::WorldToPixel(3.0, 4.0, image), testing::WorldToPixel(7.2, 6.1, image)},
                                 testing::DiscRadius(image), kGreyRgb, Rim());
  EXPECT_TRUE(faults.None()) << faults.first;
}

TEST_F(PictureBoxTest, ScaleWithAnOffsetAndAFlippedAxisMapsCornersToCorners) {
  box.SetScaleLeft(-5);
  box.SetScaleTop(20);
  box.SetScaleWidth(10);
  box.SetScaleHeight(-20);  // y grows upwards
  box.SetFillStyle(FillStyle::kSolid);
  box.Circle(-5.0f, 20.0f, 1.0f, Rgb(255, 255, 255));  // top left corner
  box.Circle(5.0f, 0.0f, 1.0f, Rgb(255, 255, 255));    // bottom right corner
  const QImage& image = box.Image();
  EXPECT_TRUE(testing::IsBlack(image.pixel(0, 0)));
  EXPECT_TRUE(testing::IsBlack(image.pixel(image.width() - 1, image.height() - 1)));
  EXPECT_EQ(image.pixel(image.width() - 1, 0), kGreyRgb);
  EXPECT_EQ(image.pixel(0, image.height() - 1), kGreyRgb);
}

TEST_F(PictureBoxTest, TransparentFillLeavesTheInteriorAlone) {
  box.SetFillStyle(FillStyle::kTransparent);
  box.Circle(138.0f, 126.0f, 40.0f, Rgb(255, 255, 255));
  const QImage& image = box.Image();
  const double r = Ratio();
  EXPECT_EQ(image.pixel(qRound(138 * r), qRound(126 * r)), kGreyRgb);
  const double edge = (138 + 40) * r;  // the rim lies just inside it
  EXPECT_GE(qGray(image.pixel(static_cast<int>(edge - Rim() / 2), qRound(126 * r))), 200);
  EXPECT_EQ(image.pixel(static_cast<int>(edge + 1), qRound(126 * r)), kGreyRgb);
}

TEST_F(PictureBoxTest, RefusedPropertiesRaiseAndLeaveTheSurfaceAsItWas) {
  box.SetScaleWidth(10);
  box.SetScaleHeight(10);
  box.SetFillStyle(FillStyle::kSolid);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();

  auto expectKind = [](ErrorKind kind, auto&& call) {
    try {
      call();
      ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.kind(), kind);
    }
  };
  expectKind(ErrorKind::kOutOfRange, [&] { box.SetScaleWidth(0); });
  expectKind(ErrorKind::kOutOfRange, [&] { box.SetScaleHeight(inf); });
  expectKind(ErrorKind::kOutOfRange, [&] { box.SetFillStyle(static_cast<FillStyle>(7)); });
  expectKind(ErrorKind::kInvalidOperation, [&] { box.SetScaleLeft(nan); });
  expectKind(ErrorKind::kInvalidOperation, [&] { box.Circle(nan, 1, 1, 0); });
  expectKind(ErrorKind::kInvalidOperation, [&] { box.Circle(1, 1, inf, 0); });
  EXPECT_EQ(box.ScaleWidth(), 10.0f);
  EXPECT_EQ(box.ScaleHeight(), 10.0f);
  EXPECT_EQ(box.ScaleLeft(), 0.0f);
  EXPECT_EQ(box.FillStyle(), FillStyle::kSolid);
  EXPECT_EQ(box.Image().pixel(5, 5), kGreyRgb);
}

TEST_F(PictureBoxTest, CirclesFarOutsideTheClientAreaDrawNothing) {
  box.SetFillStyle(FillStyle::kSolid);
  box.Circle(-1e30f, 1e30f, 3.0f, Rgb(255, 255, 255));
  box.Circle(1e6f, 10.0f, 3.0f, Rgb(255, 255, 255));
  const QImage& image = box.Image();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.pixel(x, y), kGreyRgb);
  }
}

TEST_F(PictureBoxTest, TheWidgetShowsThePictureInsideItsBorder) {
  // What the screen gets when the window is uncovered: the kept picture, not a
  // blank surface.
  box.SetFillStyle(FillStyle::kSolid);
  box.Circle(60.0f, 70.0f, 20.0f, Rgb(255, 255, 255));
  const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const double r = Ratio();
  const QImage client = shown.copy(QRect(QPoint(qRound(2 * r), qRound(2 * r)), box.Image().size()));
  EXPECT_EQ(client, box.Image());
  EXPECT_NE(shown.pixel(0, 0), kGreyRgb);  // the border is drawn over no picture
}

}  // namespace
}  // namespace tessaly
