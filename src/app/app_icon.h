// The application icon file, looked up in the folder that holds the program.
#pragma once

#include <QString>

namespace orvane {

// Full path of "Orvane-Studio-icon.png" beside the program, or "" when absent.
QString app_icon_path();

}  // namespace orvane
