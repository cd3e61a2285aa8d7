// Spin-box arrows must be visible under the application style sheet.
#include "theme/app_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QImage>
#include <QPushButton>

#include "theme/stylesheet.h"

using namespace orvane;

namespace {

TEST(AppStyle, SpinBoxArrowsAreDrawnInBothThemes) {
  install_app_style();
  install_app_style();  // a second call keeps the one style
  ASSERT_NE(qobject_cast<AppStyle*>(QApplication::style()), nullptr);
  for (bool dark : {true, false}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    qApp->setStyleSheet(get_stylesheet(dark));
    QDoubleSpinBox spin;
    spin.resize(160, 34);
    spin.setValue(0.25);
    const QImage image = spin.grab().toImage();
    const QColor text(dark ? "#ECECEE" : "#1C1C1E");
    // Pixels of the button column that carry the sheet's text colour.
    int arrow_pixels = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = image.width() - 18; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        arrow_pixels += std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                            std::abs(c.blue() - text.blue()) <
                        40;
      }
    }
    EXPECT_GE(arrow_pixels, 10);
  }
  qApp->setStyleSheet({});
}

// STOP and the primary buttons look disabled when they are, in both themes.
TEST(AppStyle, ColouredButtonsLookDisabled) {
  for (bool dark : {true, false}) {
    apply_application_theme(dark);
    for (const char* name : {"dangerBtn", "primaryBtn"}) {
      QPushButton button(QStringLiteral("STOP"));
      button.setObjectName(name);
      button.resize(120, 30);
      const QColor active = button.grab().toImage().pixelColor(4, 15);
      button.setEnabled(false);
      const QColor idle = button.grab().toImage().pixelColor(4, 15);
      EXPECT_EQ(idle, QColor(theme_colour(dark, "tab_inact"))) << name << dark;
      EXPECT_NE(active, idle) << name << dark;
    }
  }
  qApp->setStyleSheet({});
}

}  // namespace
