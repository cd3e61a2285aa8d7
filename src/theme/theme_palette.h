// The application palette of each theme. The style sheet styles most widgets;
// everything it leaves alone (file choosers, completer pop-ups, scroll bars,
// tool tips, the tab bar's scroll arrows) draws from the palette, so the
// palette must follow the theme as well.
#pragma once

#include <QPalette>

namespace orvane {

QPalette theme_palette(bool is_dark);

}  // namespace orvane
