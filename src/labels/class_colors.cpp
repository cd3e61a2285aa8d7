#include "labels/class_colors.h"

#include "labels/class_list.h"

namespace orvane {

QColor class_color(int class_id) {
  const int index = class_id < 0 ? 0 : class_id % static_cast<int>(CLASS_COLORS.size());
  return QColor(QLatin1String(CLASS_COLORS[static_cast<std::size_t>(index)]));
}

QColor label_color(const QStringList& classes, const QString& label) {
  return class_color(class_id_of(classes, label));
}

}  // namespace orvane
