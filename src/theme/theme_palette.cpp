#include "theme/theme_palette.h"

#include <QColor>

#include "theme/stylesheet.h"

namespace orvane {

QPalette theme_palette(bool is_dark) {
  const auto colour = [is_dark](const char* role) { return QColor(theme_colour(is_dark, role)); };
  const QColor bg = colour("bg");
  const QColor panel = colour("panel");
  const QColor inp = colour("inp");
  const QColor text = colour("txt");
  const QColor mute = colour("txt_mute");
  const QColor border = colour("border");
  const QColor button = colour("btn");
  const QColor accent = colour("acc");

  QPalette palette;
  palette.setColor(QPalette::Window, bg);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, panel);
  palette.setColor(QPalette::AlternateBase, inp);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::PlaceholderText, mute);
  palette.setColor(QPalette::Button, button);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, QColor(QStringLiteral("#FFFFFF")));
  palette.setColor(QPalette::Highlight, accent);
  palette.setColor(QPalette::HighlightedText, QColor(QStringLiteral("#FFFFFF")));
  palette.setColor(QPalette::Link, accent);
  palette.setColor(QPalette::LinkVisited, accent);
  palette.setColor(QPalette::ToolTipBase, panel);
  palette.setColor(QPalette::ToolTipText, text);
  // Bevels and scroll-bar grooves are shaded from these.
  palette.setColor(QPalette::Light,
                   is_dark ? border.lighter(130) : QColor(QStringLiteral("#FFFFFF")));
  palette.setColor(QPalette::Midlight, is_dark ? border : inp);
  palette.setColor(QPalette::Mid, border);
  palette.setColor(QPalette::Dark, is_dark ? bg : border.darker(120));
  palette.setColor(QPalette::Shadow,
                   is_dark ? QColor(QStringLiteral("#000000")) : border.darker(150));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, mute);
  }
  return palette;
}

}  // namespace orvane
