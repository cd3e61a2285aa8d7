// The application-wide style sheet, generated from one template and a dark or
// a light palette.
#pragma once

#include <QString>

namespace orvane {

QString get_stylesheet(bool is_dark = true);

}  // namespace orvane
