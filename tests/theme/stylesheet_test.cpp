// The application style sheet: exact text of both themes and how they differ.
#include "theme/stylesheet.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

// Written out by hand, rule by rule, so a change to the template or a palette
// shows up here as a text difference.
const char* const kDarkSheet =
    "\n"
    "    QMainWindow, QDialog, QMessageBox { background-color: #121214; }\n"
    "    QWidget { color: #ECECEE; font-family: 'Segoe UI', Arial, sans-serif; font-size: 12px; }\n"
    "    QLabel { background: transparent; }\n"
    "    QScrollArea { background-color: #1A1A1E; border: 1px solid #2D2D32; border-radius: 6px; "
    "}\n"
    "    QScrollArea > QWidget > QWidget { background-color: #1A1A1E; color: #ECECEE; }\n"
    "    QTabWidget::pane { border: 1px solid #2D2D32; background-color: #1A1A1E; "
    "border-radius: 6px; top: -1px; }\n"
    "    QTabBar::tab { background-color: #18181C; color: #8E8E93; padding: 8px 18px; "
    "font-weight: bold; border-top-left-radius: 6px; border-top-right-radius: 6px; "
    "margin-right: 2px; border: 1px solid #2D2D32; border-bottom: none; }\n"
    "    QTabBar::tab:selected { background-color: #1A1A1E; color: #6366F1; "
    "border-bottom: 3px solid #6366F1; }\n"
    "    QGroupBox { font-weight: bold; border: 1px solid #2D2D32; border-radius: 6px; "
    "margin-top: 10px; padding-top: 10px; background-color: #1A1A1E; }\n"
    "    QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; "
    "padding: 0 6px; color: #ECECEE; }\n"
    "    QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox { border: 1px solid #2D2D32; "
    "border-radius: 4px; padding: 5px 8px; background-color: #222226; color: #ECECEE; "
    "selection-background-color: #6366F1; }\n"
    "    QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, QComboBox:focus { "
    "border: 1px solid #6366F1; background-color: #1A1A1E; }\n"
    "    QComboBox QAbstractItemView { background-color: #1A1A1E; color: #ECECEE; "
    "selection-background-color: #6366F1; border: 1px solid #2D2D32; }\n"
    "    QPushButton { background-color: #222226; color: #ECECEE; font-weight: bold; "
    "border-radius: 4px; padding: 6px 12px; border: 1px solid #2D2D32; }\n"
    "    QPushButton:hover { background-color: #2D2D32; border-color: #6366F1; }\n"
    "    QPushButton:disabled { background-color: #18181C; color: #8E8E93; "
    "border-color: #2D2D32; }\n"
    "    QPushButton#primaryBtn { background-color: #6366F1; color: #FFFFFF; font-size: 13px; "
    "padding: 9px 16px; border: none; }\n"
    "    QPushButton#primaryBtn:hover { background-color: #4F46E5; }\n"
    "    QPushButton#dangerBtn { background-color: #D3112E; color: #FFFFFF; font-size: 12px; "
    "border: none; }\n"
    "    QPushButton#dangerBtn:hover { background-color: #A30D25; }\n"
    "    QTextEdit { background-color: #0A0A0C; color: #00FF66; font-family: 'Consolas', "
    "monospace; border: 1px solid #2D2D32; border-radius: 6px; padding: 8px; }\n"
    "    QProgressBar { border: 1px solid #2D2D32; border-radius: 4px; text-align: center; "
    "background-color: #222226; font-weight: bold; color: #ECECEE; }\n"
    "    QProgressBar::chunk { background-color: #6366F1; border-radius: 3px; }\n"
    "    QGraphicsView { background-color: #0A0A0C; border: 1px solid #2D2D32; "
    "border-radius: 6px; }\n"
    "    QTableWidget, QListWidget { border: 1px solid #2D2D32; background-color: #1A1A1E; "
    "color: #ECECEE; border-radius: 4px; gridline-color: #2D2D32; }\n"
    "    QHeaderView::section { background-color: #222226; color: #ECECEE; padding: 4px; "
    "border: none; border-right: 1px solid #2D2D32; border-bottom: 1px solid #2D2D32; "
    "font-weight: bold; }\n"
    "    QTableWidget::item:selected, QListWidget::item:selected { background-color: #6366F1; "
    "color: #FFFFFF; }\n"
    "    ";

const char* const kLightSheet =
    "\n"
    "    QMainWindow, QDialog, QMessageBox { background-color: #FAFAFA; }\n"
    "    QWidget { color: #1C1C1E; font-family: 'Segoe UI', Arial, sans-serif; font-size: 12px; }\n"
    "    QLabel { background: transparent; }\n"
    "    QScrollArea { background-color: #FFFFFF; border: 1px solid #D1D1D6; border-radius: 6px; "
    "}\n"
    "    QScrollArea > QWidget > QWidget { background-color: #FFFFFF; color: #1C1C1E; }\n"
    "    QTabWidget::pane { border: 1px solid #D1D1D6; background-color: #FFFFFF; "
    "border-radius: 6px; top: -1px; }\n"
    "    QTabBar::tab { background-color: #E5E5EA; color: #6C6C70; padding: 8px 18px; "
    "font-weight: bold; border-top-left-radius: 6px; border-top-right-radius: 6px; "
    "margin-right: 2px; border: 1px solid #D1D1D6; border-bottom: none; }\n"
    "    QTabBar::tab:selected { background-color: #FFFFFF; color: #4F46E5; "
    "border-bottom: 3px solid #4F46E5; }\n"
    "    QGroupBox { font-weight: bold; border: 1px solid #D1D1D6; border-radius: 6px; "
    "margin-top: 10px; padding-top: 10px; background-color: #FFFFFF; }\n"
    "    QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; "
    "padding: 0 6px; color: #1C1C1E; }\n"
    "    QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox { border: 1px solid #D1D1D6; "
    "border-radius: 4px; padding: 5px 8px; background-color: #F1F1F4; color: #1C1C1E; "
    "selection-background-color: #4F46E5; }\n"
    "    QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, QComboBox:focus { "
    "border: 1px solid #4F46E5; background-color: #FFFFFF; }\n"
    "    QComboBox QAbstractItemView { background-color: #FFFFFF; color: #1C1C1E; "
    "selection-background-color: #4F46E5; border: 1px solid #D1D1D6; }\n"
    "    QPushButton { background-color: #E5E5EA; color: #1C1C1E; font-weight: bold; "
    "border-radius: 4px; padding: 6px 12px; border: 1px solid #D1D1D6; }\n"
    "    QPushButton:hover { background-color: #D1D1D6; border-color: #4F46E5; }\n"
    "    QPushButton:disabled { background-color: #E5E5EA; color: #6C6C70; "
    "border-color: #D1D1D6; }\n"
    "    QPushButton#primaryBtn { background-color: #4F46E5; color: #FFFFFF; font-size: 13px; "
    "padding: 9px 16px; border: none; }\n"
    "    QPushButton#primaryBtn:hover { background-color: #4338CA; }\n"
    "    QPushButton#dangerBtn { background-color: #D3112E; color: #FFFFFF; font-size: 12px; "
    "border: none; }\n"
    "    QPushButton#dangerBtn:hover { background-color: #A30D25; }\n"
    "    QTextEdit { background-color: #F2F2F7; color: #00FF66; font-family: 'Consolas', "
    "monospace; border: 1px solid #D1D1D6; border-radius: 6px; padding: 8px; }\n"
    "    QProgressBar { border: 1px solid #D1D1D6; border-radius: 4px; text-align: center; "
    "background-color: #F1F1F4; font-weight: bold; color: #1C1C1E; }\n"
    "    QProgressBar::chunk { background-color: #4F46E5; border-radius: 3px; }\n"
    "    QGraphicsView { background-color: #F2F2F7; border: 1px solid #D1D1D6; "
    "border-radius: 6px; }\n"
    "    QTableWidget, QListWidget { border: 1px solid #D1D1D6; background-color: #FFFFFF; "
    "color: #1C1C1E; border-radius: 4px; gridline-color: #D1D1D6; }\n"
    "    QHeaderView::section { background-color: #F1F1F4; color: #1C1C1E; padding: 4px; "
    "border: none; border-right: 1px solid #D1D1D6; border-bottom: 1px solid #D1D1D6; "
    "font-weight: bold; }\n"
    "    QTableWidget::item:selected, QListWidget::item:selected { background-color: #4F46E5; "
    "color: #FFFFFF; }\n"
    "    ";

// Splits a sheet into its colour texts and everything between them.
struct Split {
  QStringList colours;
  QStringList rest;
};
Split split_colours(const QString& sheet) {
  static const QRegularExpression colour(QStringLiteral("#[0-9A-F]{6}"));
  Split out;
  qsizetype at = 0;
  for (auto it = colour.globalMatch(sheet); it.hasNext();) {
    const auto m = it.next();
    out.rest << sheet.mid(at, m.capturedStart() - at);
    out.colours << m.captured();
    at = m.capturedEnd();
  }
  out.rest << sheet.mid(at);
  return out;
}

TEST(Stylesheet, ThemesMatchTheirTextByteForByte) {
  struct Case {
    bool dark;
    const char* expected;
  };
  for (const Case& c : {Case{true, kDarkSheet}, Case{false, kLightSheet}}) {
    SCOPED_TRACE(c.dark ? "dark" : "light");
    const QString sheet = get_stylesheet(c.dark);
    EXPECT_EQ(sheet.toUtf8().toStdString(), std::string(c.expected));
  }
}

TEST(Stylesheet, DefaultIsDark) { EXPECT_EQ(get_stylesheet(), get_stylesheet(true)); }

TEST(Stylesheet, ThemesDifferOnlyInRoleColours) {
  const Split dark = split_colours(get_stylesheet(true));
  const Split light = split_colours(get_stylesheet(false));
  // Same text around every colour, same number of colours.
  EXPECT_EQ(dark.rest, light.rest);
  ASSERT_EQ(dark.colours.size(), light.colours.size());

  const QSet<QString> fixed = {"#00FF66", "#D3112E", "#A30D25", "#FFFFFF"};
  int fixed_seen = 0;
  for (qsizetype i = 0; i < dark.colours.size(); ++i) {
    const QString& d = dark.colours[i];
    if (fixed.contains(d)) {
      // The dark panel is not white, so a white in the dark sheet is a fixed
      // colour and must stay white in the light one.
      EXPECT_EQ(light.colours[i], d) << "colour #" << i;
      ++fixed_seen;
    } else {
      EXPECT_NE(light.colours[i], d) << "role colour #" << i << " did not change";
    }
  }
  // console text, danger + hover, white on primary, danger and selected items
  EXPECT_EQ(fixed_seen, 6);
}

TEST(Stylesheet, LayoutOneRulePerIndentedLine) {
  for (bool dark : {true, false}) {
    const QString sheet = get_stylesheet(dark);
    ASSERT_TRUE(sheet.startsWith('\n'));
    ASSERT_TRUE(sheet.endsWith(QStringLiteral("\n    ")));
    const QStringList lines = sheet.mid(1, sheet.size() - 6).split('\n');
    EXPECT_EQ(lines.size(), 27);
    static const QRegularExpression rule(QStringLiteral(R"(^    [^{}]+ \{ ([^;{}]+; )+\}$)"));
    for (const QString& line : lines) {
      EXPECT_TRUE(rule.match(line).hasMatch()) << line.toStdString();
    }
  }
}

}  // namespace
