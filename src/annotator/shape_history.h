// Undo and redo of the shown image's shapes. Every step is the whole set of
// shapes before and after one change (add, delete, move, point edit, copy of
// the previous frame, AI labels), so any change is recorded the same way: by
// handing the history the shapes as they were just saved.
#pragma once

#include <QPolygonF>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <vector>

namespace orvane {

class AnnotationSet;

// One shape as the label file sees it: where its points are on the image now.
struct ShapeState {
  QPolygonF points;  // image pixels
  QString label;
  QString type;
  int class_id = -1;  // as AnnotationRecord
  bool from_file = false;
  bool operator==(const ShapeState&) const = default;
};
using ShapeSnapshot = std::vector<ShapeState>;

// The shapes of `set` at their current positions.
ShapeSnapshot snapshot_of(const AnnotationSet& set);
// Replaces every shape of `set` by `shapes`.
void restore_shapes(AnnotationSet& set, const ShapeSnapshot& shapes);

class ShapeHistory {
 public:
  // `apply` shows `shapes` in place of the current ones and saves them; it is
  // called for each undo and redo.
  explicit ShapeHistory(std::function<void(const ShapeSnapshot&)> apply);
  ShapeHistory(const ShapeHistory&) = delete;
  ShapeHistory& operator=(const ShapeHistory&) = delete;

  // Starts over from the shapes of a newly shown image: nothing to undo.
  void reset(ShapeSnapshot shapes);
  // The shapes just saved; when they differ from the last ones known this is
  // one step, and whatever was undone before can no longer be redone.
  void record(ShapeSnapshot shapes);

  void undo() { stack_.undo(); }
  void redo() { stack_.redo(); }

 private:
  class Change;
  void apply(const ShapeSnapshot& shapes);

  std::function<void(const ShapeSnapshot&)> apply_;
  ShapeSnapshot current_;
  bool applying_ = false;
  QUndoStack stack_;
};

}  // namespace orvane
