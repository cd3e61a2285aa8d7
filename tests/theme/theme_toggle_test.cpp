// ThemeToggle: the self-painted dark/light switch.
#include "theme/theme_toggle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRect>
#include <QSignalSpy>
#include <QTest>

#include "theme/stylesheet.h"

using namespace orvane;

namespace {

QImage render(ThemeToggle& toggle) {
  return toggle.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// One fixed-size toggle, clicked from dark to light and back: each state paints
// its track, knob and glyph, whatever font the application style sheet sets.
TEST(ThemeToggle, ClickAnywhereTogglesSignalsAndRepaints) {
  struct State {
    bool checked;
    QRgb track;
    QPoint knob_centre;
    QPoint free_end;   // the other end, where the glyph sits, never white
    QRect glyph_area;  // that half of the track, clear of the rounded end and the knob
    QPoint click;      // the next click; (50, 13) is where a check box has no indicator
  };
  const State states[] = {
      {true, qRgb(0x22, 0x22, 0x26), {44, 13}, {12, 13}, QRect(5, 4, 25, 18), {50, 13}},
      {false, qRgb(0xD1, 0xD1, 0xD6), {14, 13}, {44, 13}, QRect(26, 4, 25, 18), {3, 3}},
  };
  const QRgb white = qRgb(255, 255, 255);
  const QString saved_sheet = qApp->styleSheet();
  ThemeToggle toggle;
  for (const QSize& size : {toggle.size(), toggle.minimumSize(), toggle.maximumSize()}) {
    EXPECT_EQ(size, QSize(56, 26));
  }
  EXPECT_EQ(toggle.toolTip(), QStringLiteral("Toggle Mode"));
  EXPECT_EQ(toggle.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(toggle.text().isEmpty());
  toggle.setChecked(true);
  QSignalSpy spy(&toggle, &QCheckBox::toggled);
  for (const State& s : states) {
    SCOPED_TRACE(s.checked ? "dark" : "light");
    ASSERT_EQ(toggle.isChecked(), s.checked);
    qApp->setStyleSheet(QString());
    const QImage image = render(toggle);
    // Track along the top edge between the rounded ends, in the middle and at the bottom.
    for (int y : {1, 13, 24}) EXPECT_EQ(image.pixel(28, y), s.track) << y;
    // Rounded ends: the corners stay unpainted (antialiased, not the track).
    EXPECT_NE(image.pixel(0, 0), s.track);
    EXPECT_NE(image.pixel(55, 25), s.track);
    // Knob: white disc of diameter 20 at y 3.
    for (int dy : {-8, 0, 8}) EXPECT_EQ(image.pixel(s.knob_centre + QPoint(0, dy)), white) << dy;
    EXPECT_EQ(image.pixel(s.knob_centre + QPoint(0, -11)), s.track);
    EXPECT_NE(image.pixel(s.free_end), white);

    // The glyph: the pixels of its half that are not the track, some clearly
    // yellow/orange like the pen colours.
    QRect glyph;
    bool warm = false;
    for (int y = s.glyph_area.top(); y <= s.glyph_area.bottom(); ++y) {
      for (int x = s.glyph_area.left(); x <= s.glyph_area.right(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (p == s.track) continue;
        glyph |= QRect(x, y, 1, 1);
        warm = warm || (qRed(p) - qBlue(p) >= 0x40 && qGreen(p) > qBlue(p));
      }
    }
    ASSERT_FALSE(glyph.isEmpty());
    EXPECT_TRUE(warm);
    // A 9-point glyph at 96 dpi is about 10 or 11 pixels tall (7 pt gives 8, 14 pt gives 16).
    EXPECT_GE(glyph.height(), 9);
    EXPECT_LE(glyph.height(), 12);
    // Aligned to the 6 px margin at its end of the track.
    const int margin = s.checked ? glyph.left() : 55 - glyph.right();
    EXPECT_GE(margin, 6);
    EXPECT_LE(margin, 9);
    EXPECT_NEAR(glyph.center().y(), 13, 3);  // vertically centred

    for (const QString& sheet :
         {get_stylesheet(s.checked), QStringLiteral("QWidget { font-size: 30px; }")}) {
      qApp->setStyleSheet(sheet);
      EXPECT_EQ(render(toggle), image) << sheet.toStdString();
    }
    qApp->setStyleSheet(saved_sheet);

    QTest::mouseClick(&toggle, Qt::LeftButton, {}, s.click);
    ASSERT_EQ(spy.count(), s.checked ? 1 : 2);
    EXPECT_EQ(spy.last().at(0).toBool(), !s.checked);
  }
}

}  // namespace
