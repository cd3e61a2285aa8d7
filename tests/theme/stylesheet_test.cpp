// The application style sheet: exact text of both themes and how they differ.
#include "theme/stylesheet.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

using namespace orvane;

namespace {

// Written out by hand, rule by rule, with the leading line break and the
// trailing indentation, so a change to the template or a palette shows up here
// as a text difference.
const char* const kDarkSheet = R"(
    QMainWindow, QDialog, QMessageBox { background-color: #121214; }
    QWidget { color: #ECECEE; font-family: 'Segoe UI', Arial, sans-serif; font-size: 12px; }
    QLabel { background: transparent; }
    QScrollArea { background-color: #1A1A1E; border: 1px solid #2D2D32; border-radius: 6px; }
    QScrollArea > QWidget > QWidget { background-color: #1A1A1E; color: #ECECEE; }
    QTabWidget::pane { border: 1px solid #2D2D32; background-color: #1A1A1E; border-radius: 6px; top: -1px; }
    QTabBar::tab { background-color: #18181C; color: #8E8E93; padding: 8px 18px; font-weight: bold; border-top-left-radius: 6px; border-top-right-radius: 6px; margin-right: 2px; border: 1px solid #2D2D32; border-bottom: none; }
    QTabBar::tab:selected { background-color: #1A1A1E; color: #818CF8; border-bottom: 3px solid #5B5EF0; }
    QGroupBox { font-weight: bold; border: 1px solid #2D2D32; border-radius: 6px; margin-top: 10px; padding-top: 10px; background-color: #1A1A1E; }
    QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; padding: 0 6px; color: #ECECEE; }
    QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox { border: 1px solid #2D2D32; border-radius: 4px; padding: 5px 8px; background-color: #222226; color: #ECECEE; selection-background-color: #5B5EF0; }
    QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, QComboBox:focus { border: 1px solid #5B5EF0; background-color: #1A1A1E; }
    QComboBox QAbstractItemView { background-color: #1A1A1E; color: #ECECEE; selection-background-color: #5B5EF0; border: 1px solid #2D2D32; }
    QPushButton { background-color: #222226; color: #ECECEE; font-weight: bold; border-radius: 4px; padding: 6px 12px; border: 1px solid #2D2D32; }
    QPushButton:hover { background-color: #2D2D32; border-color: #5B5EF0; }
    QPushButton:disabled { background-color: #18181C; color: #8E8E93; border-color: #2D2D32; }
    QPushButton#primaryBtn { background-color: #5B5EF0; color: #FFFFFF; font-size: 13px; padding: 9px 16px; border: none; }
    QPushButton#primaryBtn:hover { background-color: #4F46E5; }
    QPushButton#dangerBtn { background-color: #D3112E; color: #FFFFFF; font-size: 12px; border: none; }
    QPushButton#dangerBtn:hover { background-color: #A30D25; }
    QTextEdit { background-color: #0E0E10; color: #00FF66; font-family: 'Consolas', monospace; border: 1px solid #2D2D32; border-radius: 6px; padding: 8px; }
    QProgressBar { border: 1px solid #2D2D32; border-radius: 4px; text-align: center; background-color: #222226; font-weight: bold; color: #ECECEE; }
    QProgressBar::chunk { background-color: #4F46E5; border-radius: 3px; }
    QGraphicsView { background-color: #0A0A0C; border: 1px solid #2D2D32; border-radius: 6px; }
    QTableWidget, QListWidget { border: 1px solid #2D2D32; background-color: #1A1A1E; color: #ECECEE; border-radius: 4px; gridline-color: #2D2D32; }
    QHeaderView::section { background-color: #222226; color: #ECECEE; padding: 4px; border: none; border-right: 1px solid #2D2D32; border-bottom: 1px solid #2D2D32; font-weight: bold; }
    QTableWidget::item:selected, QListWidget::item:selected { background-color: #5B5EF0; color: #FFFFFF; }
    )";

const char* const kLightSheet = R"(
    QMainWindow, QDialog, QMessageBox { background-color: #FAFAFA; }
    QWidget { color: #1C1C1E; font-family: 'Segoe UI', Arial, sans-serif; font-size: 12px; }
    QLabel { background: transparent; }
    QScrollArea { background-color: #FFFFFF; border: 1px solid #D1D1D6; border-radius: 6px; }
    QScrollArea > QWidget > QWidget { background-color: #FFFFFF; color: #1C1C1E; }
    QTabWidget::pane { border: 1px solid #D1D1D6; background-color: #FFFFFF; border-radius: 6px; top: -1px; }
    QTabBar::tab { background-color: #E5E5EA; color: #5F5F63; padding: 8px 18px; font-weight: bold; border-top-left-radius: 6px; border-top-right-radius: 6px; margin-right: 2px; border: 1px solid #D1D1D6; border-bottom: none; }
    QTabBar::tab:selected { background-color: #FFFFFF; color: #4F46E5; border-bottom: 3px solid #4F46E5; }
    QGroupBox { font-weight: bold; border: 1px solid #D1D1D6; border-radius: 6px; margin-top: 10px; padding-top: 10px; background-color: #FFFFFF; }
    QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; padding: 0 6px; color: #1C1C1E; }
    QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox { border: 1px solid #D1D1D6; border-radius: 4px; padding: 5px 8px; background-color: #F1F1F4; color: #1C1C1E; selection-background-color: #4F46E5; }
    QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, QComboBox:focus { border: 1px solid #4F46E5; background-color: #FFFFFF; }
    QComboBox QAbstractItemView { background-color: #FFFFFF; color: #1C1C1E; selection-background-color: #4F46E5; border: 1px solid #D1D1D6; }
    QPushButton { background-color: #E5E5EA; color: #1C1C1E; font-weight: bold; border-radius: 4px; padding: 6px 12px; border: 1px solid #D1D1D6; }
    QPushButton:hover { background-color: #D1D1D6; border-color: #4F46E5; }
    QPushButton:disabled { background-color: #E5E5EA; color: #5F5F63; border-color: #D1D1D6; }
    QPushButton#primaryBtn { background-color: #4F46E5; color: #FFFFFF; font-size: 13px; padding: 9px 16px; border: none; }
    QPushButton#primaryBtn:hover { background-color: #4338CA; }
    QPushButton#dangerBtn { background-color: #D3112E; color: #FFFFFF; font-size: 12px; border: none; }
    QPushButton#dangerBtn:hover { background-color: #A30D25; }
    QTextEdit { background-color: #0E0E10; color: #00FF66; font-family: 'Consolas', monospace; border: 1px solid #D1D1D6; border-radius: 6px; padding: 8px; }
    QProgressBar { border: 1px solid #D1D1D6; border-radius: 4px; text-align: center; background-color: #F1F1F4; font-weight: bold; color: #1C1C1E; }
    QProgressBar::chunk { background-color: #A5B4FC; border-radius: 3px; }
    QGraphicsView { background-color: #F2F2F7; border: 1px solid #D1D1D6; border-radius: 6px; }
    QTableWidget, QListWidget { border: 1px solid #D1D1D6; background-color: #FFFFFF; color: #1C1C1E; border-radius: 4px; gridline-color: #D1D1D6; }
    QHeaderView::section { background-color: #F1F1F4; color: #1C1C1E; padding: 4px; border: none; border-right: 1px solid #D1D1D6; border-bottom: 1px solid #D1D1D6; font-weight: bold; }
    QTableWidget::item:selected, QListWidget::item:selected { background-color: #4F46E5; color: #FFFFFF; }
    )";

TEST(Stylesheet, ThemesMatchTheirTextByteForByteAndDarkIsTheDefault) {
  EXPECT_EQ(get_stylesheet(true).toStdString(), kDarkSheet);
  EXPECT_EQ(get_stylesheet(false).toStdString(), kLightSheet);
  EXPECT_EQ(get_stylesheet(), get_stylesheet(true));
}

TEST(Stylesheet, ThemesDifferOnlyInRoleColours) {
  static const QRegularExpression colour(QStringLiteral("#[0-9A-F]{6}"));
  const QString dark = get_stylesheet(true);
  const QString light = get_stylesheet(false);
  // Same text around every colour, hence as many colours.
  ASSERT_EQ(QString(dark).replace(colour, "<colour>"), QString(light).replace(colour, "<colour>"));
  // The dark panel is not white, so a white in the dark sheet is a fixed colour
  // and must stay white in the light one; every other colour is a role colour.
  const QSet<QString> fixed = {"#00FF66", "#0E0E10", "#D3112E", "#A30D25", "#FFFFFF"};
  int fixed_seen = 0;
  auto l = colour.globalMatch(light);
  for (auto d = colour.globalMatch(dark); d.hasNext();) {
    const QString dc = d.next().captured();
    const QString lc = l.next().captured();
    fixed_seen += fixed.contains(dc);
    EXPECT_EQ(lc == dc, fixed.contains(dc)) << dc.toStdString() << " / " << lc.toStdString();
  }
  // console text and ground, danger + hover, white on primary, danger and selected items
  EXPECT_EQ(fixed_seen, 7);
}

}  // namespace
