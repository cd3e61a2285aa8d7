// A real main window with scripted dialogs and a scratch folder, and helpers
// to drive the annotator tab the way a user does.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGraphicsPolygonItem>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "annotator/annotator_tab.h"
#include "annotator/label_dialog.h"
#include "app/main_window.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

// Readable failure messages for texts.
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
  return os << '"' << text.toStdString() << '"';
}

namespace orvane {

class AnnotatorTest : public ::testing::Test {
 protected:
  // A triangle, and its line as class 0 of a 100 x 100 image.
  inline static const QPolygonF kTriangle{{{10, 10}, {60, 10}, {60, 60}}};
  static constexpr char kTriangleLine[] =
      "0 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n";

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<OrvaneStudio>();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window->set_dialogs(std::move(scripted));
    tab = window->tab_workspace;
    window->tabs->setCurrentWidget(tab);
  }
  void TearDown() override { close_window(); }

  // Closes and destroys the window, as the user closing it does.
  void close_window() {
    if (!window) return;
    window->close();
    window.reset();
    tab = nullptr;
  }

  QString path(const QString& name) const { return dir.filePath(name); }
  void put(const QString& name, const QByteArray& bytes) { write_file(path(name), bytes); }
  void images(std::initializer_list<const char*> names, int width = 100, int height = 100) {
    for (const char* name : names) write_image(path(name), width, height);
  }

  void load(const QString& folder) {
    dialogs->directories.push_back(folder);
    tab->load_directory();
  }

  // The next label dialog is answered with `text` typed in (or cancelled).
  void answer_label(const QString& text, bool accept = true) {
    dialogs->exec_answers.push_back([text, accept](QDialog& dialog) {
      static_cast<LabelDialog&>(dialog).combo->setEditText(text);
      return accept ? QDialog::Accepted : QDialog::Rejected;
    });
  }

  // Finishes a shape in `mode` as the canvas does, named `label`.
  void draw(const QPolygonF& shape, const QString& label,
            const QString& mode = QStringLiteral("Polygon")) {
    tab->combo_mode->setCurrentText(mode);
    answer_label(label);
    tab->handle_new_poly(shape);
  }

  QStringList list_texts() const {
    QStringList texts;
    for (int i = 0; i < tab->list_images->count(); ++i) texts << tab->list_images->item(i)->text();
    return texts;
  }

  // The shapes as "label|type", after checking that the object table lists
  // the same and that the canvas shows exactly these shapes.
  QStringList shapes() const {
    QStringList records, rows;
    for (const AnnotationRecord& record : tab->annotations)
      records << record.label + "|" + record.type;
    for (int r = 0; r < tab->table_objects->rowCount(); ++r) {
      rows << tab->table_objects->item(r, 0)->text() + "|" + tab->table_objects->item(r, 1)->text();
    }
    EXPECT_EQ(rows, records);
    int on_canvas = 0;  // polygon items other than the drawing preview
    for (QGraphicsItem* item : tab->canvas->items()) {
      on_canvas += qgraphicsitem_cast<QGraphicsPolygonItem*>(item) != nullptr &&
                   item != tab->canvas->temp_poly_item;
    }
    EXPECT_EQ(on_canvas, records.size());
    return records;
  }

  // Where the window is: "index: status line"; the list's row goes along.
  QString position() const {
    EXPECT_EQ(tab->list_images->currentRow(), tab->current_idx);
    return QString::number(tab->current_idx) + ": " + tab->lbl_img_status->text();
  }
  QString step(QPushButton* button) {
    button->click();
    return position();
  }

  QStringList selected_table_rows() const {
    QStringList rows;
    for (const QModelIndex& index : tab->table_objects->selectionModel()->selectedRows())
      rows << QString::number(index.row());
    return rows;
  }

  // Message boxes so far, as "kind|title|text".
  QStringList messages() const {
    QStringList out;
    for (const DialogCall& call : dialogs->messages())
      out << call.kind + "|" + call.title + "|" + call.text;
    return out;
  }

  // A mouse event on the canvas view's viewport at a scene position; moves
  // carry the held buttons.
  void mouse(QEvent::Type type, const QPointF& scene_pos, Qt::MouseButton button,
             Qt::MouseButtons held) {
    QWidget* viewport = tab->canvas_view->viewport();
    const QPointF at = tab->canvas_view->mapFromScene(scene_pos);
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
  void drag(const QPointF& from, const QPointF& to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }

  // Shows the window at its size so the view maps scene points to pixels.
  void show_annotator() {
    window->tabs->setCurrentWidget(window->tab_workspace);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  QTemporaryDir dir;
  std::unique_ptr<OrvaneStudio> window;
  AnnotatorTab* tab = nullptr;  // the window's annotator tab
  ScriptedDialogs* dialogs = nullptr;
};

}  // namespace orvane
