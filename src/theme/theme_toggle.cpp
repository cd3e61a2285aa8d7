#include "theme/theme_toggle.h"
ThemeToggle::ThemeToggle(QWidget* parent) : QCheckBox(parent) {}
void ThemeToggle::paintEvent(QPaintEvent*) {}
bool ThemeToggle::hitButton(const QPoint& pos) const { return rect().contains(pos); }
