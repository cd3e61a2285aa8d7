// Turning a prediction into the annotator's shapes.
#include "annotator/ai_labels.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

const std::map<int, QString> kNames{{0, "person"}, {1, "car"}, {2, "bike"}};

QStringList described(const AiLabels& labels) {
  QStringList out;
  for (const AiShape& shape : labels.shapes)
    out << QStringLiteral("%1|%2|%3").arg(shape.label, shape.type).arg(shape.points.size());
  return out;
}

TEST(AiLabels, BoxesBecomeRectanglesOfTheirFourCorners) {
  Prediction prediction;
  prediction.boxes = {{1, 0.9f, 10, 20, 30, 40}, {1, 0.8f, 0, 0, 5, 5}, {2, 0.7f, 1, 1, 2, 2}};
  const AiLabels labels = ai_labels(prediction, kNames, {"person", "bike"});
  EXPECT_EQ(described(labels),
            (QStringList{"car|AI Rectangle|4", "car|AI Rectangle|4", "bike|AI Rectangle|4"}));
  EXPECT_EQ(labels.shapes[0].points, QPolygonF({{10, 20}, {30, 20}, {30, 40}, {10, 40}}));
  EXPECT_EQ(labels.new_classes, QStringList{"car"});  // once, for two boxes
}

TEST(AiLabels, OutlinesPairWithBoxesAndNeedThreePoints) {
  const QPolygonF triangle({{0, 0}, {8, 0}, {4, 6}});
  const QPolygonF pentagon({{0, 0}, {2, 0}, {3, 2}, {1, 3}, {-1, 2}});
  const struct {
    std::vector<QPolygonF> outlines;
    int boxes;
    QStringList expected;
    QStringList new_classes;
  } cases[] = {
      {{triangle, pentagon}, 2, {"person|AI Polygon|3", "car|AI Polygon|5"}, {"car"}},
      {{triangle, pentagon}, 1, {"person|AI Polygon|3"}, {}},  // more outlines than boxes
      {{triangle}, 2, {"person|AI Polygon|3"}, {}},            // more boxes than outlines
      // Empty and two-point outlines enclose nothing; their class is not added.
      {{QPolygonF(), QPolygonF({{0, 0}, {5, 5}}), triangle}, 3, {"bike|AI Polygon|3"}, {"bike"}},
      {{}, 2, {}, {}},  // a segmentation model that found outlines for none
  };
  for (const auto& c : cases) {
    Prediction prediction;
    for (int i = 0; i < c.boxes; ++i) prediction.boxes.push_back({i, 0.5f, 0, 0, 1, 1});
    prediction.masks = c.outlines;
    const AiLabels labels = ai_labels(prediction, kNames, {"person"});
    EXPECT_EQ(described(labels), c.expected) << c.expected.join(",").toStdString();
    EXPECT_EQ(labels.new_classes, c.new_classes);
    if (!labels.shapes.empty() && labels.shapes[0].points.size() == 3) {
      EXPECT_EQ(labels.shapes[0].points, triangle);  // unchanged, no closing point
    }
  }
}

TEST(AiLabels, AClassTheModelDoesNotNameIsAnError) {
  Prediction prediction;
  prediction.boxes = {{0, 0.9f, 0, 0, 1, 1}, {7, 0.9f, 0, 0, 1, 1}};
  try {
    ai_labels(prediction, kNames, {});
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.message(), "The model has no class name for class index 7.");
  }
}

}  // namespace
