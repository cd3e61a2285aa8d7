#include "annotator/shape_history.h"

#include <QGraphicsPolygonItem>
#include <QUndoCommand>

#include "annotator/annotation_set.h"

namespace orvane {

ShapeSnapshot snapshot_of(const AnnotationSet& set) {
  ShapeSnapshot shapes;
  shapes.reserve(set.size());
  for (const AnnotationRecord& record : set) {
    shapes.push_back({record.item->mapToScene(record.item->polygon()), record.label, record.type,
                      record.class_id, record.from_file});
  }
  return shapes;
}

void restore_shapes(AnnotationSet& set, const ShapeSnapshot& shapes) {
  set.clear();
  for (const ShapeState& shape : shapes) {
    set.add(shape.points, shape.label, shape.type, shape.class_id, shape.from_file);
  }
}

// A change already made when it is recorded: the first redo, which QUndoStack
// runs on push, has nothing to do.
class ShapeHistory::Change : public QUndoCommand {
 public:
  Change(ShapeHistory& history, ShapeSnapshot before, ShapeSnapshot after)
      : history_(history), before_(std::move(before)), after_(std::move(after)) {}

  void undo() override { history_.apply(before_); }
  void redo() override {
    if (done_) {
      done_ = false;
      return;
    }
    history_.apply(after_);
  }

 private:
  ShapeHistory& history_;
  ShapeSnapshot before_, after_;
  bool done_ = true;
};

ShapeHistory::ShapeHistory(std::function<void(const ShapeSnapshot&)> apply)
    : apply_(std::move(apply)) {}

void ShapeHistory::reset(ShapeSnapshot shapes) {
  stack_.clear();
  current_ = std::move(shapes);
}

void ShapeHistory::record(ShapeSnapshot shapes) {
  // Saving the shapes of an undo or redo is no new step.
  if (applying_ || shapes == current_) return;
  ShapeSnapshot before = std::exchange(current_, shapes);
  stack_.push(new Change(*this, std::move(before), std::move(shapes)));
}

void ShapeHistory::apply(const ShapeSnapshot& shapes) {
  current_ = shapes;
  applying_ = true;
  apply_(shapes);
  applying_ = false;
}

}  // namespace orvane
