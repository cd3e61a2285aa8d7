// AnnotationSet: the shapes of the shown image. It is the one owner of the
// three views of a shape (the record, its polygon item on the canvas scene and
// its row in the object table) and keeps them in step, row i being record i.
#pragma once

#include <QColor>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <vector>

#include "labels/label_file.h"

class QGraphicsItem;
class QGraphicsPolygonItem;
class QGraphicsScene;
class QTableWidget;

namespace orvane {

// One shape of the current image (the object table's row of the same index).
struct AnnotationRecord {
  QGraphicsPolygonItem* item = nullptr;  // owned by the canvas scene
  QString label;
  QString type;
  // The class id the shape was read with, kept while it still names `label`
  // (a name listed twice in classes.txt has two ids); -1: the name's first id.
  int class_id = -1;
  // The shape is a line of the label file as last read or written.
  bool from_file = false;
};

class AnnotationSet {
 public:
  AnnotationSet() = default;
  AnnotationSet(const AnnotationSet&) = delete;
  AnnotationSet& operator=(const AnnotationSet&) = delete;

  // The scene and the table the shapes are shown in; set once, before use.
  void attach(QGraphicsScene* scene, QTableWidget* table);

  // Adds a shape of `points` (image pixels) as the last record, item and row.
  void add(const QPolygonF& points, const QString& label, const QString& type, int class_id = -1,
           bool from_file = false);
  // Adds the shapes of a label file, ids naming entries of `classes`; they
  // keep their ids and whether they are from the file written to.
  void add_label_shapes(const std::vector<LabelShape>& shapes, const QStringList& classes);
  // Removes the shape of table row `row`.
  void remove(int row);
  // Removes every shape.
  void clear();

  // Takes the items off the scene before it is cleared, and puts them back.
  void take_items_off_scene();
  void put_items_on_scene();

  // The row of `item`, or -1 when it is none of the shapes.
  int row_of(const QGraphicsItem* item) const;
  // Gives every shape the colour of its class (id 0 for unknown names),
  // selected ones drawn thicker and on top.
  void recolour(const QStringList& classes);

  // The shapes as label-file shapes, at their current positions.
  std::vector<LabelShape> label_shapes(const QStringList& classes) const;
  // Whether a shape, or a point of one, was dragged since the last mark_saved().
  bool any_moved_since_save() const;
  // Every shape is now a line of the label file.
  void mark_saved();

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const AnnotationRecord& operator[](std::size_t row) const { return records_[row]; }
  std::vector<AnnotationRecord>::const_iterator begin() const { return records_.begin(); }
  std::vector<AnnotationRecord>::const_iterator end() const { return records_.end(); }

 private:
  std::vector<AnnotationRecord> records_;
  QGraphicsScene* scene_ = nullptr;
  QTableWidget* table_ = nullptr;
};

}  // namespace orvane
