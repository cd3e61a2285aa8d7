#include "annotator/ai_labels.h"

#include <algorithm>

namespace orvane {

namespace {

QString class_name(const std::map<int, QString>& names, int cls) {
  const auto it = names.find(cls);
  if (it == names.end()) {
    throw EngineError(QStringLiteral("The model has no class name for class index %1.").arg(cls));
  }
  return it->second;
}

}  // namespace

AiLabels ai_labels(const Prediction& prediction, const std::map<int, QString>& names,
                   const QStringList& classes) {
  AiLabels result;
  auto add = [&](QPolygonF points, const QString& label, const QString& type) {
    if (!classes.contains(label) && !result.new_classes.contains(label)) {
      result.new_classes.push_back(label);
    }
    result.shapes.push_back({std::move(points), label, type});
  };
  if (!prediction.masks) {
    for (const Box& box : prediction.boxes) {
      const QPolygonF corners{
          {{box.x1, box.y1}, {box.x2, box.y1}, {box.x2, box.y2}, {box.x1, box.y2}}};
      add(corners, class_name(names, box.cls), QStringLiteral("AI Rectangle"));
    }
    return result;
  }
  const std::vector<QPolygonF>& outlines = *prediction.masks;
  const std::size_t pairs = std::min(outlines.size(), prediction.boxes.size());
  for (std::size_t i = 0; i < pairs; ++i) {
    if (outlines[i].size() < 3) continue;
    add(outlines[i], class_name(names, prediction.boxes[i].cls), QStringLiteral("AI Polygon"));
  }
  return result;
}

}  // namespace orvane
