#include "theme/theme_toggle.h"

#include <QColor>
#include <QFont>
#include <QPainter>

namespace orvane {

ThemeToggle::ThemeToggle(QWidget* parent) : QCheckBox(parent) {
  setCursor(Qt::PointingHandCursor);
  setFixedSize(56, 26);
  setToolTip(QStringLiteral("Toggle Mode"));
}

void ThemeToggle::paintEvent(QPaintEvent*) {
  const bool dark = isChecked();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);

  painter.setBrush(QColor(dark ? "#222226" : "#D1D1D6"));
  painter.drawRoundedRect(QRectF(0, 0, width(), height()), 13, 13);

  painter.setBrush(QColor("#FFFFFF"));
  painter.drawEllipse(QRectF(dark ? width() - 22 : 4, 3, 20, 20));

  // The application style sheet gives every widget a 12px font and wins over
  // setFont(), so the glyph size is set on the painter's own copy instead.
  QFont glyph_font = font();
  glyph_font.setPointSize(9);
  painter.setFont(glyph_font);
  painter.setPen(QColor(dark ? "#FFD700" : "#FFA500"));
  const QString glyph = dark ? QStringLiteral("\U0001F319") : QStringLiteral("\u2600\uFE0F");
  painter.drawText(rect().adjusted(6, 0, -6, 0),
                   Qt::AlignVCenter | (dark ? Qt::AlignLeft : Qt::AlignRight), glyph);
}

bool ThemeToggle::hitButton(const QPoint& pos) const { return rect().contains(pos); }

}  // namespace orvane
