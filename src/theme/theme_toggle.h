// ThemeToggle: the dark/light switch in the tab bar's corner. A check box that
// paints itself as a track, a knob and a moon or sun glyph; checked means dark.
#pragma once

#include <QCheckBox>

namespace orvane {

class ThemeToggle : public QCheckBox {
  Q_OBJECT

 public:
  explicit ThemeToggle(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The whole widget is the click target (there is no visible indicator).
  bool hitButton(const QPoint& pos) const override;
};

}  // namespace orvane
