// ThemeToggle: the self-painted dark/light switch.
#include "theme/theme_toggle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRect>
#include <QSignalSpy>
#include <QTest>

#include "theme/stylesheet.h"

namespace {

QImage render(ThemeToggle& toggle) {
  return toggle.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct Glyph {
  QRect bounds;       // pixels in the searched area that are not the track
  bool warm = false;  // some pixel is clearly yellow/orange, like the pen colours
};

Glyph find_glyph(const QImage& image, const QRect& area, QRgb track) {
  Glyph glyph;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (p == track) continue;
      glyph.bounds |= QRect(x, y, 1, 1);
      if (qRed(p) - qBlue(p) >= 0x40 && qGreen(p) > qBlue(p)) glyph.warm = true;
    }
  }
  return glyph;
}

// Restores the application style sheet that a test changed.
struct AppSheet {
  QString saved = qApp->styleSheet();
  ~AppSheet() { qApp->setStyleSheet(saved); }
};

TEST(ThemeToggle, FixedSizeTooltipCursor) {
  ThemeToggle toggle;
  EXPECT_EQ(toggle.size(), QSize(56, 26));
  EXPECT_EQ(toggle.minimumSize(), QSize(56, 26));
  EXPECT_EQ(toggle.maximumSize(), QSize(56, 26));
  EXPECT_EQ(toggle.toolTip(), QStringLiteral("Toggle Mode"));
  EXPECT_EQ(toggle.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(toggle.text().isEmpty());
}

TEST(ThemeToggle, ClickAnywhereTogglesAndSignals) {
  ThemeToggle toggle;
  toggle.setChecked(true);
  QSignalSpy spy(&toggle, &QCheckBox::toggled);
  // Where a check box would have no indicator: the far right end.
  QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(50, 13));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_FALSE(spy.at(0).at(0).toBool());
  EXPECT_FALSE(toggle.isChecked());
  QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(3, 3));
  ASSERT_EQ(spy.count(), 2);
  EXPECT_TRUE(spy.at(1).at(0).toBool());
}

TEST(ThemeToggle, PaintsTrackKnobAndGlyphPerState) {
  struct Case {
    bool checked;
    QRgb track;
    QPoint knob_centre;
    QPoint free_end;   // the other end, where the glyph sits, never white
    QRect glyph_area;  // that half of the track, clear of the rounded end and the knob
  };
  const Case cases[] = {
      {true, qRgb(0x22, 0x22, 0x26), QPoint(44, 13), QPoint(12, 13), QRect(5, 4, 25, 18)},
      {false, qRgb(0xD1, 0xD1, 0xD6), QPoint(14, 13), QPoint(44, 13), QRect(26, 4, 25, 18)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checked ? "dark" : "light");
    ThemeToggle toggle;
    toggle.setChecked(c.checked);
    const QImage image = render(toggle);
    ASSERT_EQ(image.size(), QSize(56, 26));
    // Track along the top edge between the rounded ends, and in the middle.
    EXPECT_EQ(image.pixel(28, 1), c.track);
    EXPECT_EQ(image.pixel(28, 13), c.track);
    EXPECT_EQ(image.pixel(28, 24), c.track);
    // Rounded ends: the corners stay unpainted (antialiased, not the track).
    EXPECT_NE(image.pixel(0, 0), c.track);
    EXPECT_NE(image.pixel(55, 25), c.track);
    // Knob: white disc of diameter 20 at y 3.
    EXPECT_EQ(image.pixel(c.knob_centre), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(c.knob_centre + QPoint(0, -8)), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(c.knob_centre + QPoint(0, 8)), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(c.knob_centre + QPoint(0, -11)), c.track);
    EXPECT_NE(image.pixel(c.free_end), qRgb(255, 255, 255));
    // The glyph sits at the end opposite the knob, aligned to the 6 px margin.
    const Glyph glyph = find_glyph(image, c.glyph_area, c.track);
    ASSERT_FALSE(glyph.bounds.isEmpty());
    EXPECT_TRUE(glyph.warm);
    // A 9-point glyph at 96 dpi is about 10 or 11 pixels tall (7 pt gives 8, 14 pt gives 16).
    EXPECT_GE(glyph.bounds.height(), 9);
    EXPECT_LE(glyph.bounds.height(), 12);
    if (c.checked) {
      EXPECT_GE(glyph.bounds.left(), 6);
      EXPECT_LE(glyph.bounds.left(), 9);
    } else {
      EXPECT_LE(glyph.bounds.right(), 49);
      EXPECT_GE(glyph.bounds.right(), 46);
    }
    // Vertically centred.
    EXPECT_NEAR(glyph.bounds.center().y(), 13, 3);
  }
}

TEST(ThemeToggle, RepaintsWhenToggled) {
  ThemeToggle toggle;
  toggle.setChecked(true);
  const QImage dark = render(toggle);
  toggle.click();
  const QImage light = render(toggle);
  EXPECT_EQ(light.pixel(14, 13), qRgb(255, 255, 255));
  EXPECT_NE(dark.pixel(14, 13), qRgb(255, 255, 255));
  EXPECT_NE(dark, light);
}

TEST(ThemeToggle, GlyphSizeIgnoresApplicationStyleSheetFont) {
  AppSheet restore;
  for (bool checked : {true, false}) {
    SCOPED_TRACE(checked ? "dark" : "light");
    ThemeToggle toggle;
    toggle.setChecked(checked);
    qApp->setStyleSheet(QString());
    const QImage plain = render(toggle);
    qApp->setStyleSheet(get_stylesheet(checked));
    const QImage themed = render(toggle);
    qApp->setStyleSheet(QStringLiteral("QWidget { font-size: 30px; }"));
    const QImage huge = render(toggle);
    EXPECT_EQ(plain, themed);
    EXPECT_EQ(plain, huge);
  }
}

}  // namespace
