#include "theme/stylesheet.h"

#include <QLatin1StringView>
#include <iterator>
#include <span>

namespace orvane {

namespace {

struct RoleColour {
  const char* role;
  const char* colour;
};

// One entry per colour role; "acc_hov" is the primary button's hover colour. Every text reaches a
// contrast of 4.5 : 1 on what it is drawn on: the accent as a text colour ("acc_txt", the
// selected tab) is lighter than the accent behind white text in the dark theme, and the progress
// chunk ("chunk") is a shade the bar's text can be read on.
constexpr RoleColour kDarkPalette[] = {
    {"bg", "#121214"},        {"panel", "#1A1A1E"}, {"inp", "#222226"},
    {"tab_inact", "#18181C"}, {"txt", "#ECECEE"},   {"txt_mute", "#8E8E93"},
    {"border", "#2D2D32"},    {"btn", "#222226"},   {"btn_hov", "#2D2D32"},
    {"cvs", "#0A0A0C"},       {"acc", "#5B5EF0"},   {"acc_hov", "#4F46E5"},
    {"acc_txt", "#818CF8"},   {"chunk", "#4F46E5"},
};

constexpr RoleColour kLightPalette[] = {
    {"bg", "#FAFAFA"},        {"panel", "#FFFFFF"}, {"inp", "#F1F1F4"},
    {"tab_inact", "#E5E5EA"}, {"txt", "#1C1C1E"},   {"txt_mute", "#5F5F63"},
    {"border", "#D1D1D6"},    {"btn", "#E5E5EA"},   {"btn_hov", "#D1D1D6"},
    {"cvs", "#F2F2F7"},       {"acc", "#4F46E5"},   {"acc_hov", "#4338CA"},
    {"acc_txt", "#4F46E5"},   {"chunk", "#A5B4FC"},
};

struct Rule {
  const char* selector;
  const char* declarations;  // each ends with ';', separated by one blank
};

static_assert(std::size(kDarkPalette) == std::size(kLightPalette));

// [role] marks a palette colour; every other colour is fixed for both themes.
constexpr Rule kTemplate[] = {
    {"QMainWindow, QDialog, QMessageBox", "background-color: [bg];"},
    {"QWidget", "color: [txt]; font-family: 'Segoe UI', Arial, sans-serif; font-size: 12px;"},
    {"QLabel", "background: transparent;"},
    {"QScrollArea", "background-color: [panel]; border: 1px solid [border]; border-radius: 6px;"},
    {"QScrollArea > QWidget > QWidget", "background-color: [panel]; color: [txt];"},
    {"QTabWidget::pane",
     "border: 1px solid [border]; background-color: [panel]; border-radius: 6px; top: -1px;"},
    {"QTabBar::tab",
     "background-color: [tab_inact]; color: [txt_mute]; padding: 8px 18px; font-weight: bold; "
     "border-top-left-radius: 6px; border-top-right-radius: 6px; margin-right: 2px; "
     "border: 1px solid [border]; border-bottom: none;"},
    {"QTabBar::tab:selected",
     "background-color: [panel]; color: [acc_txt]; border-bottom: 3px solid [acc];"},
    {"QGroupBox",
     "font-weight: bold; border: 1px solid [border]; border-radius: 6px; margin-top: 10px; "
     "padding-top: 10px; background-color: [panel];"},
    {"QGroupBox::title",
     "subcontrol-origin: margin; subcontrol-position: top left; padding: 0 6px; color: [txt];"},
    {"QLineEdit, QSpinBox, QDoubleSpinBox, QComboBox",
     "border: 1px solid [border]; border-radius: 4px; padding: 5px 8px; "
     "background-color: [inp]; color: [txt]; selection-background-color: [acc];"},
    {"QLineEdit:focus, QSpinBox:focus, QDoubleSpinBox:focus, QComboBox:focus",
     "border: 1px solid [acc]; background-color: [panel];"},
    {"QComboBox QAbstractItemView",
     "background-color: [panel]; color: [txt]; selection-background-color: [acc]; "
     "border: 1px solid [border];"},
    {"QPushButton",
     "background-color: [btn]; color: [txt]; font-weight: bold; border-radius: 4px; "
     "padding: 6px 12px; border: 1px solid [border];"},
    {"QPushButton:hover", "background-color: [btn_hov]; border-color: [acc];"},
    {"QPushButton:disabled",
     "background-color: [tab_inact]; color: [txt_mute]; border-color: [border];"},
    {"QPushButton#primaryBtn",
     "background-color: [acc]; color: #FFFFFF; font-size: 13px; padding: 9px 16px; "
     "border: none;"},
    {"QPushButton#primaryBtn:hover", "background-color: [acc_hov];"},
    {"QPushButton#dangerBtn",
     "background-color: #D3112E; color: #FFFFFF; font-size: 12px; border: none;"},
    {"QPushButton#dangerBtn:hover", "background-color: #A30D25;"},
    // The console is a terminal in both themes: its fixed green needs a dark ground.
    {"QTextEdit",
     "background-color: #0E0E10; color: #00FF66; font-family: 'Consolas', monospace; "
     "border: 1px solid [border]; border-radius: 6px; padding: 8px;"},
    {"QProgressBar",
     "border: 1px solid [border]; border-radius: 4px; text-align: center; "
     "background-color: [inp]; font-weight: bold; color: [txt];"},
    {"QProgressBar::chunk", "background-color: [chunk]; border-radius: 3px;"},
    {"QGraphicsView", "background-color: [cvs]; border: 1px solid [border]; border-radius: 6px;"},
    {"QTableWidget, QListWidget",
     "border: 1px solid [border]; background-color: [panel]; color: [txt]; "
     "border-radius: 4px; gridline-color: [border];"},
    {"QHeaderView::section",
     "background-color: [inp]; color: [txt]; padding: 4px; border: none; "
     "border-right: 1px solid [border]; border-bottom: 1px solid [border]; font-weight: bold;"},
    {"QTableWidget::item:selected, QListWidget::item:selected",
     "background-color: [acc]; color: #FFFFFF;"},
};

std::span<const RoleColour> palette_of(bool is_dark) {
  return is_dark ? std::span<const RoleColour>(kDarkPalette)
                 : std::span<const RoleColour>(kLightPalette);
}

}  // namespace

QString theme_colour(bool is_dark, const char* role) {
  for (const RoleColour& entry : palette_of(is_dark)) {
    if (QLatin1StringView(entry.role) == QLatin1StringView(role)) {
      return QLatin1StringView(entry.colour);
    }
  }
  return {};
}

QString get_stylesheet(bool is_dark) {
  QString sheet = QStringLiteral("\n");
  for (const Rule& rule : kTemplate) {
    sheet += QStringLiteral("    ") + QLatin1StringView(rule.selector) + QStringLiteral(" { ") +
             QLatin1StringView(rule.declarations) + QStringLiteral(" }\n");
  }
  sheet += QStringLiteral("    ");

  for (const RoleColour& entry : palette_of(is_dark)) {
    sheet.replace(QLatin1Char('[') + QLatin1StringView(entry.role) + QLatin1Char(']'),
                  QLatin1StringView(entry.colour));
  }
  return sheet;
}

QString disabled_button_rules(bool is_dark) {
  // The sheet's coloured buttons name their object, which outranks its rule for disabled
  // buttons: a STOP with nothing to stop would look as ready as ever.
  QString rules = QStringLiteral(
      "    QPushButton#primaryBtn:disabled, QPushButton#dangerBtn:disabled { "
      "background-color: [tab_inact]; color: [txt_mute]; border: 1px solid [border]; }\n");
  for (const RoleColour& entry : palette_of(is_dark)) {
    rules.replace(QLatin1Char('[') + QLatin1StringView(entry.role) + QLatin1Char(']'),
                  QLatin1StringView(entry.colour));
  }
  return rules;
}

QStringList text_font_families() {
  return {QStringLiteral("Segoe UI"), QStringLiteral("Arial"), QStringLiteral("sans-serif")};
}

}  // namespace orvane
