// The application-wide style sheet, generated from one template and a dark or
// a light palette.
#pragma once

#include <QString>

QString get_stylesheet(bool is_dark = true);
