// The application-wide style sheet, generated from one template and a dark or
// a light palette.
#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

QString get_stylesheet(bool is_dark = true);

// Rules applied after the sheet: the coloured buttons look disabled when they are.
QString disabled_button_rules(bool is_dark);

// The families every widget's text asks for, in the style sheet's order.
QStringList text_font_families();

// The colour of a role ("bg", "panel", "inp", "txt", "acc", ...) in the dark
// or the light palette; "" for an unknown role.
QString theme_colour(bool is_dark, const char* role);
}  // namespace orvane
