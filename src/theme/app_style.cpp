#include "theme/app_style.h"

#include <QApplication>
#include <QPainter>
#include <QPolygonF>
#include <QStyleFactory>
#include <QStyleOption>

#include "theme/stylesheet.h"
#include "theme/theme_palette.h"
namespace orvane {

AppStyle::AppStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void AppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                             QPainter* painter, const QWidget* widget) const {
  if (element != PE_IndicatorSpinUp && element != PE_IndicatorSpinDown) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  // A 7 x 4 triangle: it may overhang the narrow arrow area into the button.
  const QRectF area = option->rect;
  const qreal half_width = 3.5;
  const qreal height = 4.0;
  const QPointF centre = area.center();
  const bool up = element == PE_IndicatorSpinUp;
  const qreal tip_y = centre.y() + (up ? -height / 2 : height / 2);
  const qreal base_y = centre.y() + (up ? height / 2 : -height / 2);
  const QPolygonF arrow({QPointF(centre.x() - half_width, base_y),
                         QPointF(centre.x() + half_width, base_y), QPointF(centre.x(), tip_y)});
  const bool enabled = option->state & State_Enabled;
  QColor colour = option->palette.color(QPalette::ButtonText);
  if (!enabled) colour.setAlphaF(0.4f);

  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(colour);
  painter->drawPolygon(arrow);
  painter->restore();
}

void install_app_style() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || qobject_cast<AppStyle*>(QApplication::style())) return;
  QApplication::setStyle(new AppStyle);
}

void apply_application_theme(bool is_dark) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app) return;
  install_app_style();
  // The palette first: the sheet is then resolved against it.
  QApplication::setPalette(theme_palette(is_dark));
  app->setStyleSheet(get_stylesheet(is_dark) + disabled_button_rules(is_dark));
}
}  // namespace orvane
