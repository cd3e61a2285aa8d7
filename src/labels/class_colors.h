// Class colours: every shape is drawn in the colour of its class id, ten
// colours repeating (ids 0 and 10 look alike).
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <array>

namespace orvane {

inline constexpr std::array<const char*, 10> CLASS_COLORS = {
    "#00FF00", "#FF0000", "#0000FF", "#FFFF00", "#FF00FF",
    "#00FFFF", "#FFA500", "#800080", "#FFC0CB", "#008000"};

// CLASS_COLORS[class_id mod 10]; ids below 0 take the first colour.
QColor class_color(int class_id);

// The colour of a shape labelled `label`: that of its class id, or of id 0 when
// the label is not in `classes`.
QColor label_color(const QStringList& classes, const QString& label);

}  // namespace orvane
