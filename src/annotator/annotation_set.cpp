#include "annotator/annotation_set.h"

#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>
#include <array>

#include "annotator/annotation_items.h"
#include "labels/class_colors.h"
#include "labels/class_list.h"

namespace orvane {

void AnnotationSet::attach(QGraphicsScene* scene, QTableWidget* table) {
  scene_ = scene;
  table_ = table;
}

namespace {

// The id a record is written and coloured with.
int id_of(const AnnotationRecord& record, const QStringList& classes, const ClassIds& ids) {
  if (record.class_id >= 0 && record.class_id < classes.size() &&
      classes[record.class_id] == record.label) {
    return record.class_id;
  }
  return std::max(ids.id_of(record.label), 0);
}

}  // namespace

void AnnotationSet::add(const QPolygonF& points, const QString& label, const QString& type,
                        int class_id, bool from_file) {
  QGraphicsPolygonItem* item = new_annotation_item(points);
  scene_->addItem(item);
  records_.push_back({item, label, type, class_id, from_file});
  const QSignalBlocker blocker(table_);
  const int row = table_->rowCount();
  table_->insertRow(row);
  table_->setItem(row, 0, new QTableWidgetItem(label));
  table_->setItem(row, 1, new QTableWidgetItem(type));
}

void AnnotationSet::add_label_shapes(const std::vector<LabelShape>& shapes,
                                     const QStringList& classes) {
  const QSignalBlocker table_blocker(table_);
  const QSignalBlocker scene_blocker(scene_);
  const int first = table_->rowCount();
  // One resize of the table for a file of thousands of shapes.
  table_->setRowCount(first + static_cast<int>(shapes.size()));
  records_.reserve(records_.size() + shapes.size());
  int row = first;
  for (const LabelShape& shape : shapes) {
    const QString& label = classes[shape.class_id];
    QGraphicsPolygonItem* item = new_annotation_item(shape.points);
    scene_->addItem(item);
    records_.push_back({item, label, shape.type, shape.class_id, shape.from_file});
    table_->setItem(row, 0, new QTableWidgetItem(label));
    table_->setItem(row, 1, new QTableWidgetItem(shape.type));
    ++row;
  }
}

void AnnotationSet::remove(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= records_.size()) return;
  const QSignalBlocker scene_blocker(scene_);
  const QSignalBlocker table_blocker(table_);
  QGraphicsPolygonItem* item = records_[static_cast<std::size_t>(row)].item;
  records_.erase(records_.begin() + row);
  scene_->removeItem(item);
  delete item;
  table_->removeRow(row);
}

void AnnotationSet::clear() {
  const QSignalBlocker scene_blocker(scene_);
  const QSignalBlocker table_blocker(table_);
  for (const AnnotationRecord& record : records_) {
    if (record.item->scene()) record.item->scene()->removeItem(record.item);
    delete record.item;
  }
  records_.clear();
  table_->setRowCount(0);
}

void AnnotationSet::take_items_off_scene() {
  for (const AnnotationRecord& record : records_) {
    if (record.item->scene() == scene_) scene_->removeItem(record.item);
  }
}

void AnnotationSet::put_items_on_scene() {
  for (const AnnotationRecord& record : records_) scene_->addItem(record.item);
}

int AnnotationSet::row_of(const QGraphicsItem* item) const {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].item == item) return static_cast<int>(i);
  }
  return -1;
}

void AnnotationSet::recolour(const QStringList& classes) {
  if (records_.empty()) return;
  const ClassIds ids(classes);
  std::array<QColor, CLASS_COLORS.size()> colors;
  for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = class_color(static_cast<int>(i));
  for (const AnnotationRecord& record : records_) {
    const int id = id_of(record, classes, ids);
    apply_annotation_look(record.item, colors[static_cast<std::size_t>(id) % colors.size()],
                          record.item->isSelected());
  }
}

std::vector<LabelShape> AnnotationSet::label_shapes(const QStringList& classes) const {
  const ClassIds ids(classes);
  std::vector<LabelShape> shapes(records_.size());
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const AnnotationRecord& record = records_[i];
    shapes[i].class_id = id_of(record, classes, ids);
    shapes[i].points = record.item->mapToScene(record.item->polygon());
    shapes[i].from_file = record.from_file;
  }
  return shapes;
}

bool AnnotationSet::any_moved_since_save() const {
  return std::any_of(records_.begin(), records_.end(),
                     [](const AnnotationRecord& record) { return moved_since_save(record.item); });
}

void AnnotationSet::mark_saved() {
  for (AnnotationRecord& record : records_) {
    mark_position_saved(record.item);
    record.from_file = true;
  }
}

}  // namespace orvane
