// The position slider's background: the raster operations it is built from,
// the tick pixels it keeps, and the snapshot it retakes when a skin loads.
#include <QPainter>
#include <set>

#include "platform/qt/raster_ops.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"
#include "ui/split_point_bar.h"
#include "ui/transparent_slider.h"

namespace {
using gdi::BitBlt;
using gdi::DcColors;
using gdi::Rop;

bool Bit(const QImage& mono, int x, int y) { return mono.pixelIndex(x, y) == 1; }

// The slider alone, as it paints itself in the dialog (the position label
// that follows the thumb lies over it and is left out).
QImage SliderShot(TestDlg& d) {
  TestDlg::PumpUntil([] { return false; }, 30);
  return d.slider()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}
// What the dialog paints behind the slider.
QImage BackgroundUnder(TestDlg& d) {
  QImage img(d.slider()->size(), QImage::Format_RGB32);
  QPainter p(&img);
  d.PaintChildBackground(p, d.slider());
  return img;
}
std::set<std::pair<int, int>> BlackPixels(const QImage& img) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xffffff) == 0) out.insert({x, y});
  return out;
}
std::set<std::pair<int, int>> TickPixels(const CTrackbar& tb, const std::vector<int>& tics) {
  std::set<std::pair<int, int>> out;
  auto tick = [&](int pos, int len) {
    for (int i = 0; i < len; ++i) {
      out.insert({tb.TickX(pos), tb.TopTickBottom() - i});
      out.insert({tb.TickX(pos), tb.BottomTickTop() + i});
    }
  };
  tick(tb.minimum(), CTrackbar::kEndTickLength);
  tick(tb.maximum(), CTrackbar::kEndTickLength);
  for (int t : tics) tick(t, CTrackbar::kInteriorTickLength);
  return out;
}
}  // namespace

TEST(RasterOps, ConversionsBetweenColourAndMonochromeFollowTheDcColours) {
  QImage colour(4, 1, QImage::Format_ARGB32_Premultiplied);
  colour.setPixel(0, 0, qRgb(0, 0, 0));
  colour.setPixel(1, 0, qRgb(1, 0, 0));
  colour.setPixel(2, 0, 0x00000000u);  // transparent: never taken for black
  colour.setPixel(3, 0, qRgb(10, 20, 30));
  QImage mono = gdi::CreateMonoBitmap(4, 1);
  // Colour to mono: the source's background colour gives 1.
  BitBlt(mono, {}, 0, 0, 4, 1, colour, DcColors{qRgb(255, 255, 255), qRgb(0, 0, 0)}, 0, 0,
         Rop::SrcCopy);
  EXPECT_TRUE(Bit(mono, 0, 0));
  EXPECT_FALSE(Bit(mono, 1, 0));
  EXPECT_FALSE(Bit(mono, 2, 0));
  EXPECT_FALSE(Bit(mono, 3, 0));
  BitBlt(mono, {}, 0, 0, 4, 1, colour, DcColors{0, qRgb(10, 20, 30)}, 0, 0, Rop::SrcCopy);
  EXPECT_FALSE(Bit(mono, 0, 0));
  EXPECT_TRUE(Bit(mono, 3, 0));

  // Mono to colour: 0 takes the destination's text colour, 1 its background.
  QImage out(4, 1, QImage::Format_RGB32);
  out.fill(Qt::white);
  const DcColors dc{qRgb(200, 0, 0), qRgb(0, 0, 200)};
  BitBlt(out, dc, 0, 0, 4, 1, mono, {}, 0, 0, Rop::SrcCopy);
  EXPECT_EQ(out.pixel(0, 0), qRgb(200, 0, 0));
  EXPECT_EQ(out.pixel(3, 0), qRgb(0, 0, 200));

  // SRCINVERT and SRCAND on colour bits; mono to mono copies bits.
  QImage d(1, 1, QImage::Format_RGB32);
  QImage s(1, 1, QImage::Format_RGB32);
  d.setPixel(0, 0, qRgb(0xf0, 0x0f, 0xaa));
  s.setPixel(0, 0, qRgb(0xff, 0xff, 0x0f));
  BitBlt(d, {}, 0, 0, 1, 1, s, {}, 0, 0, Rop::SrcInvert);
  EXPECT_EQ(d.pixel(0, 0), qRgb(0x0f, 0xf0, 0xa5));
  BitBlt(d, {}, 0, 0, 1, 1, s, {}, 0, 0, Rop::SrcAnd);
  EXPECT_EQ(d.pixel(0, 0), qRgb(0x0f, 0xf0, 0x05));
  QImage mono2 = gdi::CreateMonoBitmap(4, 1);
  BitBlt(mono2, {}, 0, 0, 4, 1, mono, {}, 0, 0, Rop::SrcCopy);
  EXPECT_TRUE(Bit(mono2, 3, 0));
  EXPECT_FALSE(Bit(mono2, 0, 0));
}

TEST(RasterOps, RectanglesAreClippedToBothImages) {
  QImage dst(3, 3, QImage::Format_RGB32);
  dst.fill(Qt::white);
  QImage src(2, 2, QImage::Format_RGB32);
  src.fill(Qt::red);
  BitBlt(dst, {}, 2, -1, 5, 5, src, {}, 0, 0, Rop::SrcCopy);  // only (2,0) lands
  EXPECT_EQ(dst.pixel(2, 0), qRgb(255, 0, 0));
  EXPECT_EQ(dst.pixel(2, 1), qRgb(255, 255, 255));
  EXPECT_EQ(dst.pixel(1, 0), qRgb(255, 255, 255));
  BitBlt(dst, {}, 0, 0, 3, 3, src, {}, -1, 0, Rop::SrcCopy);  // source starts left of 0
  EXPECT_EQ(dst.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(dst.pixel(1, 0), qRgb(255, 0, 0));
  EXPECT_EQ(dst.pixel(2, 2), qRgb(255, 255, 255));
}

TEST_F(SkinTest, SliderKeepsPureBlackTicksOverTheBackgroundUnderEverySkin) {
  TestDlg d;
  d.show();
  ASSERT_NE(dynamic_cast<CTransparentSliderCtrl*>(d.slider()), nullptr);
  win::EnableWindow(d.slider(), true);
  d.pointBar()->hide();  // its marks sit over the slider's lower ticks
  const std::vector<int> tics = {20, 45, 70};
  for (int t : tics) d.slider()->SetTic(t);
  d.slider()->setValue(45);  // the thumb over a tick must not hide it
  for (const char* name : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(name, "SKIN"));
    const QImage img = SliderShot(d);
    const QImage under = BackgroundUnder(d);
    EXPECT_EQ(BlackPixels(img), TickPixels(*d.slider(), tics)) << name;
    // Away from the channel, thumb and ticks the dialog's background shows,
    // pixel for pixel: the corners and the row between ticks and thumb.
    for (QPoint pt : {QPoint(0, 0), QPoint(img.width() - 1, img.height() - 1),
                      QPoint(d.slider()->TickX(30), d.slider()->TopTickBottom()),
                      QPoint(d.slider()->TickX(90), d.slider()->BottomTickTop() + 1)})
      EXPECT_EQ(img.pixel(pt), under.pixel(pt)) << name << " at " << pt.x() << "," << pt.y();
  }
}

TEST_F(SkinTest, SliderShowsTheNewBackgroundAfterASkinChange) {
  TestDlg d;
  d.show();
  auto* slider = dynamic_cast<CTransparentSliderCtrl*>(d.slider());
  ASSERT_NE(slider, nullptr);
  ASSERT_TRUE(SkinLoadFromResource("KORVANE", "SKIN"));
  const QImage before = SliderShot(d);
  EXPECT_TRUE(slider->HasSnapshot());
  const QPoint corner(1, 1);
  EXPECT_EQ(before.pixel(corner), BackgroundUnder(d).pixel(corner));

  // The skin commands of the dialog reach the slider too.
  d.OnCommand(32776);  // 未来战士
  EXPECT_EQ(d.Skin(), 5);
  const QImage after = SliderShot(d);
  EXPECT_NE(after.pixel(corner), before.pixel(corner));
  EXPECT_EQ(after.pixel(corner), BackgroundUnder(d).pixel(corner));
  // The snapshot is not retaken on every paint: the same one serves again.
  const QImage again = SliderShot(d);
  EXPECT_EQ(again, after);
}

TEST(TransparentSlider, EraseDoesNothingAndTheSnapshotComesFromTheParent) {
  QWidget parent;
  parent.resize(340, 50);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(200, 0, 200));
  parent.setPalette(pal);
  auto* slider = new CTransparentSliderCtrl(&parent);
  slider->setGeometry(10, 4, 322, 43);
  EXPECT_TRUE(slider->testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_FALSE(slider->HasSnapshot());
  QImage img(slider->size(), QImage::Format_RGB32);
  img.fill(Qt::green);  // would show where the slider left pixels unpainted
  slider->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_TRUE(slider->HasSnapshot());
  EXPECT_EQ(img.pixel(0, 0), qRgb(200, 0, 200));
  EXPECT_EQ(img.pixel(321, 42), qRgb(200, 0, 200));
  // A new parent look gives a new snapshot.
  pal.setColor(QPalette::Window, QColor(0, 200, 200));
  parent.setPalette(pal);
  slider->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_EQ(img.pixel(0, 0), qRgb(0, 200, 200));
}
