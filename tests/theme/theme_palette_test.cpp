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
#include <QMetaEnum>
#include <QTemporaryDir>
#include <cmath>

#include "theme/app_style.h"
#include "theme/stylesheet.h"

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

// The colour a style sheet rule declares ("QTabBar::tab|color"), or a palette role
// ("palette|HighlightedText", which the sheet leaves to the palette: selected text).
QColor colour_of(bool dark, const QString& source) {
  const QString where = source.section('|', 0, 0);
  const QString what = source.section('|', 1);
  if (where == "palette") {
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    return theme_palette(dark).color(
        static_cast<QPalette::ColorRole>(roles.keyToValue(what.toLatin1().constData())));
  }
  for (const QString& line : get_stylesheet(dark).split('\n')) {
    const QString rule = line.trimmed();
    if (!rule.startsWith(where + " { ")) continue;
    for (const QString& declaration : rule.mid(where.size() + 3).split(';')) {
      if (declaration.trimmed().startsWith(what + ": "))
        return QColor(declaration.trimmed().mid(what.size() + 2));
    }
  }
  return {};
}

// Every text of both themes, on each ground it is drawn on, reaches 4.5 : 1.
TEST(ThemeContrast, EveryTextOfBothThemesIsReadable) {
  const QString input = "QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox";
  const QString table = "QTableWidget, QListWidget";
  const struct {
    QString text;
    QString ground;
  } pairs[] = {
      {"QWidget|color", "QMainWindow, QDialog, QMessageBox|background-color"},
      {"QWidget|color", "QTabWidget::pane|background-color"},
      {"QWidget|color", "QGroupBox|background-color"},
      {"QScrollArea > QWidget > QWidget|color", "QScrollArea > QWidget > QWidget|background-color"},
      {"QGroupBox::title|color", "QGroupBox|background-color"},
      {"QTabBar::tab|color", "QTabBar::tab|background-color"},
      {"QTabBar::tab:selected|color", "QTabBar::tab:selected|background-color"},
      {input + "|color", input + "|background-color"},
      {input + "|color",
       "QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, "
       "QComboBox:focus|background-color"},
      {"palette|HighlightedText", input + "|selection-background-color"},
      {"QComboBox QAbstractItemView|color", "QComboBox QAbstractItemView|background-color"},
      {"palette|HighlightedText", "QComboBox QAbstractItemView|selection-background-color"},
      {"QPushButton|color", "QPushButton|background-color"},
      {"QPushButton|color", "QPushButton:hover|background-color"},
      {"QPushButton:disabled|color", "QPushButton:disabled|background-color"},
      {"QPushButton#primaryBtn|color", "QPushButton#primaryBtn|background-color"},
      {"QPushButton#primaryBtn|color", "QPushButton#primaryBtn:hover|background-color"},
      {"QPushButton#dangerBtn|color", "QPushButton#dangerBtn|background-color"},
      {"QPushButton#dangerBtn|color", "QPushButton#dangerBtn:hover|background-color"},
      {"QTextEdit|color", "QTextEdit|background-color"},
      {"QProgressBar|color", "QProgressBar|background-color"},
      {"QProgressBar|color", "QProgressBar::chunk|background-color"},
      {table + "|color", table + "|background-color"},
      {"QHeaderView::section|color", "QHeaderView::section|background-color"},
      {"QTableWidget::item:selected, QListWidget::item:selected|color",
       "QTableWidget::item:selected, QListWidget::item:selected|background-color"},
      {"palette|WindowText", "palette|Window"},
      {"palette|Text", "palette|Base"},
      {"palette|Text", "palette|AlternateBase"},
      {"palette|PlaceholderText", "palette|Base"},
      {"palette|ButtonText", "palette|Button"},
      {"palette|ToolTipText", "palette|ToolTipBase"},
      {"palette|HighlightedText", "palette|Highlight"},
  };
  for (bool dark : {true, false}) {
    for (const auto& pair : pairs) {
      SCOPED_TRACE((dark ? "dark: " : "light: ") + pair.text.toStdString() + " on " +
                   pair.ground.toStdString());
      const QColor text = colour_of(dark, pair.text);
      const QColor ground = colour_of(dark, pair.ground);
      ASSERT_TRUE(text.isValid() && ground.isValid());
      EXPECT_GE(contrast(text, ground), 4.5)
          << text.name().toStdString() << " on " << ground.name().toStdString();
    }
  }
}

}  // namespace
}  // namespace orvane
