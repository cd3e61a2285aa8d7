// What the style sheet leaves alone follows the theme: Qt's own file chooser
// and the path completer stay readable in both themes.
#include "theme/theme_palette.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <cmath>

#include "theme/app_style.h"

namespace orvane {
namespace {

double luminance(const QColor& colour) {
  const auto channel = [](double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
         0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ThemePalette, FolderChooserItemsAreReadableInBothThemes) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("images/train")));
  for (bool dark : {true, false}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    apply_application_theme(dark);
    QFileDialog chooser(nullptr, QStringLiteral("Select Image Directory"), root.path());
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.show();
    QCoreApplication::processEvents();

    const auto views = chooser.findChildren<QAbstractItemView*>();
    ASSERT_FALSE(views.isEmpty());
    for (const QAbstractItemView* view : views) {
      if (!view->isVisible()) continue;
      const QPalette palette = view->palette();
      EXPECT_GE(contrast(palette.color(QPalette::Text), palette.color(QPalette::Base)), 4.5)
          << view->objectName().toStdString();
    }
    // The path field's completer pops up a list of its own.
    const auto* path = chooser.findChild<QLineEdit*>();
    ASSERT_NE(path, nullptr);
    ASSERT_NE(path->completer(), nullptr);
    const QPalette popup = path->completer()->popup()->palette();
    EXPECT_GE(contrast(popup.color(QPalette::Text), popup.color(QPalette::Base)), 4.5);
    // Dark means dark: the list background is not the light default.
    EXPECT_EQ(luminance(popup.color(QPalette::Base)) < 0.2, dark);
  }
  qApp->setStyleSheet({});
  QApplication::setPalette(QPalette());
}

}  // namespace
}  // namespace orvane
