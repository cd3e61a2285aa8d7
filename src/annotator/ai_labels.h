// Turns a model's prediction for one image into the shapes the annotator adds:
// a rectangle per detection box, or a polygon per segmentation outline.
#pragma once

#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "engine/engine.h"

namespace orvane {

struct AiShape {
  QPolygonF points;  // image pixels
  QString label;     // the model's class name
  QString type;      // "AI Rectangle" or "AI Polygon"
};

struct AiLabels {
  std::vector<AiShape> shapes;
  // Class names the shapes use that `classes` does not hold yet, in order of first use.
  QStringList new_classes;
};

// The shapes of `prediction`, in the engine's order. Without masks every box
// becomes a rectangle of its four corners; with masks each outline (paired with
// the box of the same index, as far as both lists go) becomes a polygon of its
// points as given. Outlines of fewer than three points enclose nothing and are
// left out. Throws EngineError when a box names a class the model does not have.
AiLabels ai_labels(const Prediction& prediction, const std::map<int, QString>& names,
                   const QStringList& classes);

}  // namespace orvane
