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

#include "annotator/label_dialog.h"
#include "app/app_core.h"
#include "canvas/interactive_canvas.h"
#include "canvas/zoomable_view.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

class AnnotatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<OrvaneStudio>();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window->set_dialogs(std::move(scripted));
  }
  void TearDown() override { close_window(); }

  // Closes and destroys the window, as the user closing it does.
  void close_window() {
    if (!window) return;
    window->close();
    window.reset();
  }

  QString path(const QString& name) const { return dir.filePath(name); }

  void load(const QString& folder) {
    dialogs->directories.push_back(folder);
    window->load_directory();
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
    window->combo_mode->setCurrentText(mode);
    answer_label(label);
    window->handle_new_poly(shape);
  }

  QStringList list_texts() const {
    QStringList texts;
    for (int i = 0; i < window->list_images->count(); ++i) {
      texts.push_back(window->list_images->item(i)->text());
    }
    return texts;
  }

  QStringList table_rows() const {
    QStringList rows;
    for (int r = 0; r < window->table_objects->rowCount(); ++r) {
      rows.push_back(window->table_objects->item(r, 0)->text() + "|" +
                     window->table_objects->item(r, 1)->text());
    }
    return rows;
  }

  QStringList record_rows() const {
    QStringList rows;
    for (const AnnotationRecord& record : window->annotations) {
      rows.push_back(record.label + "|" + record.type);
    }
    return rows;
  }

  // Polygon items on the canvas that are not the drawing preview.
  int shapes_on_canvas() const {
    int n = 0;
    for (QGraphicsItem* item : window->canvas->items()) {
      n += qgraphicsitem_cast<QGraphicsPolygonItem*>(item) != nullptr &&
           item != window->canvas->temp_poly_item;
    }
    return n;
  }

  QStringList selected_table_rows() const {
    QStringList rows;
    for (const QModelIndex& index : window->table_objects->selectionModel()->selectedRows()) {
      rows.push_back(QString::number(index.row()));
    }
    return rows;
  }

  // A mouse event on the canvas view's viewport at a scene position; moves
  // carry the held buttons.
  void mouse(QEvent::Type type, const QPointF& scene_pos, Qt::MouseButton button,
             Qt::MouseButtons held) {
    QWidget* viewport = window->canvas_view->viewport();
    const QPointF at = window->canvas_view->mapFromScene(scene_pos);
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
  ScriptedDialogs* dialogs = nullptr;
};
