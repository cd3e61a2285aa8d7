// The application-wide style sheet, generated from one template and a dark or
// a light palette.
#pragma once

#include <QString>

namespace orvane {

QString get_stylesheet(bool is_dark = true);

// The colour of a role ("bg", "panel", "inp", "txt", "acc", ...) in the dark
// or the light palette; "" for an unknown role.
QString theme_colour(bool is_dark, const char* role);
}  // namespace orvane
