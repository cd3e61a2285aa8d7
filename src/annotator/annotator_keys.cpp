// The annotator's keys: stepping through the images, picking the drawing
// mode, abandoning the shape in progress and saving. They act while the tab is
// shown; the stepping and mode keys stay with a text field or spin box that
// has the focus, where they are typing.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>

#include "annotator/annotator_tab.h"
#include "canvas/interactive_canvas.h"

namespace orvane {

namespace {

bool typing_has_focus() {
  const QWidget* focus = QApplication::focusWidget();
  if (!focus) return false;
  return qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus) ||
         qobject_cast<const QPlainTextEdit*>(focus) ||
         qobject_cast<const QAbstractSpinBox*>(focus) ||
         qobject_cast<const QAbstractSpinBox*>(focus->parentWidget());
}

}  // namespace

void AnnotatorTab::setup_keys() {
  auto add = [this](const QKeySequence& keys, bool typing_key, auto action) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, typing_key, action] {
      if (typing_key && typing_has_focus()) return;
      (this->*action)();
    });
  };
  add(QKeySequence(Qt::Key_D), true, &AnnotatorTab::next_image);
  add(QKeySequence(Qt::Key_Right), true, &AnnotatorTab::next_image);
  add(QKeySequence(Qt::Key_A), true, &AnnotatorTab::prev_image);
  add(QKeySequence(Qt::Key_Left), true, &AnnotatorTab::prev_image);
  add(QKeySequence(Qt::Key_Escape), false, &AnnotatorTab::abandon_shape);
  add(QKeySequence::Save, false, &AnnotatorTab::save_current_annotations);
  for (int i = 0; i < combo_mode->count(); ++i) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_1 + i), this);
    connect(shortcut, &QShortcut::activated, this, [this, i] {
      if (!typing_has_focus()) combo_mode->setCurrentIndex(i);
    });
  }
}

void AnnotatorTab::abandon_shape() { canvas->reset_drawing(); }

}  // namespace orvane
