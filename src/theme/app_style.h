// The widget style under the application style sheet. Fusion, except that
// spin-box arrows are painted here: with the sheet's bordered spin boxes the
// arrow area is only a few pixels wide, and Fusion draws nothing in it.
#pragma once

#include <QProxyStyle>

namespace orvane {

class AppStyle : public QProxyStyle {
  Q_OBJECT

 public:
  AppStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

// Makes AppStyle the application's style, once; later calls do nothing.
void install_app_style();

// Puts the theme on the whole application: the style, the palette and the
// style sheet. Does nothing without a QApplication.
void apply_application_theme(bool is_dark);
}  // namespace orvane
