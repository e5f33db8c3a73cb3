// The world mapped onto the window's picture, and the picture of the
// particles: black discs with white rims, round on screen, later ones on top.
#include "ui/rendering.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <initializer_list>
#include <vector>

#include "model/simulation.h"
#include "model_test_util.h"
#include "picture_check.h"
#include "platform/errors.h"
#include "platform/random.h"
#include "ui/picture_layout.h"
#include "widgets/circle_stamp.h"
#include "widgets/picture_box.h"

namespace tessaly {
namespace {

using testing::CheckDiscs;
using testing::WithParticles;

constexpr QRgb kBackground = qRgb(40, 90, 60);

class RenderingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.setGeometry(QRect(QPoint(0, 0), kPictureGeometry.size()));
    box.SetBackColor(Rgb(40, 90, 60));
    SetUserScale(box, 0, 0, 10, 10);
  }

  QImage Draw(std::initializer_list<Vec2> positions) {
    const Simulation sim = WithParticles(positions);
    DrawParticles(sim, box);
    return box.Image();
  }

  std::vector<QPointF> Centres(std::initializer_list<Vec2> positions) const {
    std::vector<QPointF> centres;
    for (const Vec2& p : positions) centres.push_back(testing::WorldToPixel(p.X, p.Y, box.Image()));
    return centres;
  }

  testing::PictureFaults Check(std::initializer_list<Vec2> positions) const {
    return CheckDiscs(box.Image(), Centres(positions), Radius(), kBackground, Rim());
  }

  // Device pixels per pixel of the client area; the rim is one pixel wide.
  double Ratio() const { return box.Image().width() / 277.0; }
  double Rim() const { return box.devicePixelRatioF(); }
  double Radius() const { return testing::DiscRadius(box.Image()); }

  PictureBox box;
};

TEST_F(RenderingTest, SetUserScaleSetsTheFourScaleProperties) {
  SetUserScale(box, 0, 0, 10, 10);
  EXPECT_EQ(box.ScaleHeight(), 10.0f);
  EXPECT_EQ(box.ScaleWidth(), 10.0f);
  EXPECT_EQ(box.ScaleTop(), 0.0f);
  EXPECT_EQ(box.ScaleLeft(), 0.0f);

  SetUserScale(box, 2.5, -3, 12.5, 7);
  EXPECT_EQ(box.ScaleLeft(), 2.5f);
  EXPECT_EQ(box.ScaleTop(), -3.0f);
  EXPECT_EQ(box.ScaleWidth(), 10.0f);
  EXPECT_EQ(box.ScaleHeight(), 10.0f);

  // Doubles arrive as 32-bit floats.
  SetUserScale(box, 0.1, 0, 1.1, 1);
  EXPECT_EQ(box.ScaleLeft(), 0.1f);
  EXPECT_EQ(box.ScaleWidth(), static_cast<float>(1.1 - 0.1));
}

TEST_F(RenderingTest, SetUserScaleWithAnEmptyRangeIsRefused) {
  EXPECT_THROW(SetUserScale(box, 3, 0, 3, 10), RuntimeError);
  EXPECT_THROW(SetUserScale(box, 0, 4, 10, 4), RuntimeError);
}

TEST_F(RenderingTest, NoParticlesGiveAClearedSurface) {
  box.SetFillStyle(FillStyle::kSolid);
  box.Circle(5, 5, 2, Rgb(255, 255, 255));
  Draw({});
  const auto faults = Check({});
  EXPECT_TRUE(faults.None()) << faults.first;
}

TEST_F(RenderingTest, EachParticleIsABlackDiscWithAWhiteRimWhereItStands) {
  const std::initializer_list<Vec2> positions = {
      {1.0, 1.0}, {2.5, 7.25}, {5.0, 5.0}, {8.75, 2.0}, {9.5, 9.5}, {0.5, 4.0}, {6.3, 8.1}};
  Draw(positions);
  const auto faults = Check(positions);
  EXPECT_TRUE(faults.None()) << faults.first << " interior " << faults.interior_not_black
                             << " outside " << faults.outside_not_background << " rims "
                             << faults.rims_missing;
}

TEST_F(RenderingTest, ADiscOnTheLeftWallTouchesTheLeftEdge) {
  const QImage image = Draw({{0.5, 5.0}});
  const int row = qRound(5.0 * 25.3 * Ratio());
  EXPECT_NE(image.pixel(0, row), kBackground);  // the rim reaches column 0
  // ... and no further: one disc diameter to the right the background is back.
  EXPECT_EQ(image.pixel(qRound(28.5 * Ratio()), row), kBackground);
}

TEST_F(RenderingTest, DiscsOnTheTopAndBottomWallsOverhangTheEdge) {
  // Centres 12.65 pixels from the edge, radius 13.85: a pixel or so is cut off.
  const QImage image = Draw({{3.0, 0.5}, {7.0, 9.5}});
  const int top_column = qRound(3.0 * 27.7 * Ratio());
  const int bottom_column = qRound(7.0 * 27.7 * Ratio());
  EXPECT_TRUE(testing::IsBright(image.pixel(top_column, 0)) || testing::IsBlack(image.pixel(top_column, 0)));
  EXPECT_NE(image.pixel(top_column, 0), kBackground);
  EXPECT_NE(image.pixel(bottom_column, image.height() - 1), kBackground);
  // The discs are no taller than they are wide: a disc in the middle leaves
  // the rows just beyond its horizontal radius blank.
  const QImage middle = Draw({{5.0, 5.0}});
  const int centre_x = qRound(5.0 * 27.7 * Ratio());
  const int centre_y = qRound(5.0 * 25.3 * Ratio());
  EXPECT_NE(middle.pixel(centre_x, centre_y - qRound(13 * Ratio())), kBackground);
  EXPECT_EQ(middle.pixel(centre_x, centre_y - qRound(15.5 * Ratio())), kBackground);
  EXPECT_EQ(middle.pixel(centre_x, centre_y + qRound(15.5 * Ratio())), kBackground);
}

TEST_F(RenderingTest, LaterParticlesCoverEarlierOnes) {
  // Particle 1's right rim runs through particle 2's centre: hidden when 2 is
  // drawn after 1, on top when 1 comes last.
  Draw({});
  const QPoint second = testing::WorldToPixel(5.5, 5.0, box.Image()).toPoint();
  const QPoint rim_of_first(qRound((5.0 * 27.7 + 13.35) * Ratio()), qRound(5.0 * 25.3 * Ratio()));
  QImage image = Draw({{5.0, 5.0}, {5.5, 5.0}});
  EXPECT_TRUE(testing::IsBlack(image.pixel(rim_of_first)));
  EXPECT_TRUE(testing::IsBlack(image.pixel(second)));

  image = Draw({{5.5, 5.0}, {5.0, 5.0}});
  EXPECT_TRUE(testing::IsBright(image.pixel(rim_of_first)) ||
              testing::IsBright(image.pixel(rim_of_first + QPoint(-1, 0))));
}

TEST_F(RenderingTest, TwoParticlesAtTheSamePlaceShowAsOneDisc) {
  const QImage one = Draw({{4.2, 6.6}});
  const QImage two = Draw({{4.2, 6.6}, {4.2, 6.6}});
  const auto faults = Check({{4.2, 6.6}});
  EXPECT_TRUE(faults.None()) << faults.first;
  // Only the soft edges of the rim, painted twice, may be a little less
  // see-through.
  const QPointF centre = testing::WorldToPixel(4.2, 6.6, two);
  for (int y = 0; y < one.height(); ++y) {
    for (int x = 0; x < one.width(); ++x) {
      if (one.pixel(x, y) == two.pixel(x, y)) continue;
      const double d = std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y());
      EXPECT_NEAR(d, Radius() - Rim() / 2, Rim() / 2 + 0.75) << x << ", " << y;
    }
  }
}

TEST_F(RenderingTest, DrawsTheCurrentLevelOnly) {
  Simulation sim = WithParticles({{2.0, 2.0}});
  sim.Pos[sim.NextLevel][1] = {8.0, 8.0};
  DrawParticles(sim, box);
  EXPECT_TRUE(Check({{2.0, 2.0}}).None());
  std::swap(sim.CurLevel, sim.NextLevel);
  DrawParticles(sim, box);
  EXPECT_TRUE(Check({{8.0, 8.0}}).None());
}

TEST_F(RenderingTest, MatchesTheArrangementPaintedCircleByCircle) {
  // The discs are stamped from images painted once; the reference paints
  // every circle where it stands. Only the soft edges of the rims, moved by at
  // most an eighth of a pixel, may differ.
  Simulation sim;
  InitSimulation(sim, 300, 0.1);
  ClockRandom random(2024);
  for (int i = 1; i <= 300; ++i) {
    // Anywhere from wall to wall, overlapping, some cut by the edges.
    sim.Pos[0][i] = {0.5 + 9.0 * random.Next(), 0.5 + 9.0 * random.Next()};
  }
  DrawParticles(sim, box);
  const QImage& fast = box.Image();

  QImage reference(fast.size(), QImage::Format_RGB32);
  reference.fill(kBackground);
  {
    QPainter painter(&reference);
    const CircleLook look{Qt::white, true, Qt::black, Rim()};
    for (int i = 1; i <= 300; ++i) {
      const Vec2 p = sim.Pos[0][i];
      PaintCircle(painter, look,
                  testing::WorldToPixel(static_cast<float>(p.X), static_cast<float>(p.Y), fast),
                  Radius());
    }
  }

  int differing = 0;
  int worst = 0;
  int away_from_rims = 0;
  for (int y = 0; y < fast.height(); ++y) {
    for (int x = 0; x < fast.width(); ++x) {
      const QRgb a = fast.pixel(x, y);
      const QRgb b = reference.pixel(x, y);
      if (a == b) continue;
      ++differing;
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                        std::abs(qBlue(a) - qBlue(b))});
      bool near_rim = false;
      for (int i = 1; i <= 300 && !near_rim; ++i) {
        const QPointF c = testing::WorldToPixel(sim.Pos[0][i].X, sim.Pos[0][i].Y, fast);
        const double d = std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y());
        near_rim = d > Radius() - Rim() - 1.0 && d < Radius() + 1.0;
      }
      away_from_rims += !near_rim;
    }
  }
  EXPECT_EQ(away_from_rims, 0);
  EXPECT_LE(worst, 96) << differing << " pixels differ";
}

}  // namespace
}  // namespace tessaly
