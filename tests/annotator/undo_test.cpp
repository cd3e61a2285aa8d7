// Undo and redo of shape changes through the real window's keys, checked
// against the label file on disk after every step.
#include <QTest>

#include "annotator/annotator_fixture.h"

using namespace orvane;

namespace {

class UndoTest : public AnnotatorTest {
 protected:
  void SetUp() override {
    AnnotatorTest::SetUp();
    images({"a.png", "b.png"}, 400, 300);
    put("classes.txt", "person\n");
    load(dir.path());
    show_annotator();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void undo() { QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier); }
  void redo_shift_z() {
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  }
  void redo_y() { QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier); }
  // The label file of `image` ("" when there is none), after checking that
  // the window shows as many shapes as it holds lines.
  QByteArray file(const QString& image = "a") {
    const QByteArray bytes = read_file(path(image + ".txt"));
    EXPECT_EQ(shapes().size(), bytes.count('\n'));
    return bytes;
  }
};

TEST_F(UndoTest, EveryChangeIsUndoneAndRedoneInTheFile) {
  std::vector<QByteArray> states{file()};  // no file yet
  draw(QPolygonF({{40, 30}, {200, 30}, {120, 150}}), "person");
  states.push_back(file());
  draw(QPolygonF({{250, 100}, {350, 100}, {350, 200}, {250, 200}}), "car", "Rectangle");
  states.push_back(file());
  tab->combo_mode->setCurrentText("Select/Move");
  drag(QPointF(120, 80), QPointF(140, 120));  // moves the triangle
  states.push_back(file());
  tab->table_objects->selectRow(1);
  tab->ann_delete_selected();
  states.push_back(file());
  for (std::size_t i = 1; i < states.size(); ++i) ASSERT_NE(states[i], states[i - 1]) << i;

  for (std::size_t i = states.size() - 1; i-- > 0;) {
    undo();
    EXPECT_EQ(file(), states[i]) << "undo to " << i;
  }
  EXPECT_FALSE(QFile::exists(path("a.txt")));
  undo();  // nothing left to undo
  EXPECT_EQ(file(), QByteArray());
  for (std::size_t i = 1; i < states.size(); ++i) {
    if (i % 2) {
      redo_shift_z();
    } else {
      redo_y();
    }
    EXPECT_EQ(file(), states[i]) << "redo to " << i;
  }
  EXPECT_EQ(tab->classes, (QStringList{"person", "car"}));  // classes are not undone

  // A change after undoing drops what was undone.
  undo();
  undo();
  draw(QPolygonF({{10, 10}, {60, 10}, {60, 60}}), "person");
  const QByteArray branched = file();
  redo_y();
  EXPECT_EQ(file(), branched);
  undo();
  EXPECT_EQ(file(), states[2]);
}

TEST_F(UndoTest, CopiedFramesAreStepsAndAnotherImageEndsTheHistory) {
  draw(QPolygonF({{40, 30}, {200, 30}, {120, 150}}), "person");
  const QByteArray a = file();
  tab->btn_next_img->click();
  undo();  // b was just shown: nothing of a's history reaches it
  EXPECT_EQ(read_file(path("a.txt")), a);
  EXPECT_EQ(file("b"), QByteArray());

  tab->btn_copy_prev->click();
  EXPECT_EQ(file("b"), a);
  undo();
  EXPECT_EQ(file("b"), QByteArray());
  redo_y();
  EXPECT_EQ(file("b"), a);

  tab->btn_prev_img->click();
  undo();  // back on a, its earlier history is gone
  EXPECT_EQ(file("a"), a);
  EXPECT_EQ(read_file(path("b.txt")), a);
}

}  // namespace
