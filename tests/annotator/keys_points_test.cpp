// The annotator at the keyboard and with point handles, through the shown
// window: keys sent with Qt's test helpers, handles dragged with the mouse.
#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QRegularExpression>
#include <QShortcut>

#include "annotator_fixture.h"
#include "app/help_dialog.h"
#include "labels/label_file.h"

namespace orvane {
namespace {

class KeysTest : public AnnotatorTest {
 protected:
  // The one shape of a label file of a 200 x 100 image, within a screen pixel.
  static void expect_points(const QByteArray& file, const QPolygonF& expected) {
    const LabelFileContent saved = parse_label_file(file, 1, 200, 100);
    ASSERT_EQ(saved.shapes.size(), 1u);
    const QPolygonF& points = saved.shapes[0].points;
    ASSERT_EQ(points.size(), expected.size());
    for (qsizetype i = 0; i < points.size(); ++i) {
      EXPECT_NEAR(points[i].x(), expected[i].x(), 1.0) << i;
      EXPECT_NEAR(points[i].y(), expected[i].y(), 1.0) << i;
    }
  }
  void show_active() {
    show_annotator();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void key(QWidget* focus, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    focus->setFocus();
    QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
  }
};

TEST_F(KeysTest, StepKeysModeKeysEscAndSaveAndTextFieldsKeepTheirKeys) {
  images({"a.png", "b.png", "c.png"}, 200, 100);
  put("classes.txt", "cat\n");
  put("a.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());
  show_active();
  QWidget* view = tab->canvas_view;
  const struct {
    int key;
    QWidget* focus;
    int position;
  } steps[] = {{Qt::Key_D, view, 1},
               {Qt::Key_Right, view, 2},
               {Qt::Key_Right, view, 2},
               {Qt::Key_A, view, 1},
               {Qt::Key_Left, view, 0},
               {Qt::Key_Right, tab->spin_ai_conf, 0},
               {Qt::Key_D, tab->spin_ai_conf, 0}};
  for (const auto& step : steps) {
    SCOPED_TRACE(QKeySequence(step.key).toString().toStdString());
    key(step.focus, step.key);
    EXPECT_EQ(tab->current_idx, step.position);
  }

  for (int i = 4; i >= 0; --i) {
    key(view, Qt::Key_1 + i);
    EXPECT_EQ(tab->combo_mode->currentIndex(), i);
  }
  key(tab->spin_ai_conf, Qt::Key_3);  // typed into the spin box
  EXPECT_EQ(tab->combo_mode->currentIndex(), 0);

  // Esc drops the polygon in progress; the mode stays.
  key(view, Qt::Key_2);
  mouse(QEvent::MouseButtonPress, QPointF(120, 60), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, QPointF(120, 60), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(tab->canvas->drawing);
  key(view, Qt::Key_Escape);
  EXPECT_FALSE(tab->canvas->drawing);
  EXPECT_EQ(tab->canvas->temp_poly_item, nullptr);
  EXPECT_EQ(tab->combo_mode->currentText(), "Polygon");

  // Ctrl+S writes a shape moved without a drag (nothing else would).
  tab->annotations[0].item->setPos(20, 10);
  key(view, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(read_file(path("a.txt")), "0 0.200000 0.200000 0.600000 0.200000 0.600000 0.600000\n");
}

TEST_F(KeysTest, LabelDialogTypingReplacesTheOfferedName) {
  images({"a.png"});
  put("classes.txt", "leaf\n");
  load(dir.path());
  tab->last_label = "leaf";
  dialogs->exec_answers.push_back([](QDialog& dialog) {
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* focus = dialog.focusWidget();
    EXPECT_EQ(focus, static_cast<LabelDialog&>(dialog).combo);
    if (focus) QTest::keyClicks(focus, "bamboo");
    return QDialog::Accepted;
  });
  tab->handle_new_poly(kTriangle);
  EXPECT_EQ(tab->classes, (QStringList{"leaf", "bamboo"}));
  EXPECT_EQ(shapes(), QStringList{"bamboo|Select/Move"});

  // One Enter takes the offered name, the completer's or the open list's row above.
  for (const char* typed : {"", "b", "list"}) {
    dialogs->exec_answers.push_back([typed](QDialog& dialog) {
      dialog.show();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
      QComboBox* combo = static_cast<LabelDialog&>(dialog).combo;
      QWidget* keys = combo;
      if (QString(typed) == "list") {
        combo->showPopup();
        keys = combo->view();
        QTest::keyClick(keys, Qt::Key_Up);
      } else {
        QTest::keyClicks(keys, typed);
      }
      QTest::keyClick(keys, Qt::Key_Return);
      return dialog.isVisible() ? int(QDialog::Rejected) : dialog.result();
    });
    tab->handle_new_poly(kTriangle);
  }
  EXPECT_EQ(shapes(), (QStringList{"bamboo|Select/Move", "bamboo|Select/Move", "bamboo|Select/Move",
                                   "leaf|Select/Move"}));
}

TEST_F(KeysTest, HelpListsEveryKeyOfTheWindow) {
  QString guide = help_guide_text();
  guide.remove(QRegularExpression("<[^>]*>"));
  const QList<QShortcut*> shortcuts = window->findChildren<QShortcut*>();
  EXPECT_GE(shortcuts.size(), 12);
  for (const QShortcut* shortcut : shortcuts) {
    const QString keys = shortcut->key().toString();
    EXPECT_TRUE(guide.contains(
        QRegularExpression("(^|[\\s,/])" + QRegularExpression::escape(keys) + "([\\s,:/]|$)")))
        << keys.toStdString();
  }
}

// A rectangle of a 200 x 100 image; its third corner is dragged by its handle.
TEST_F(KeysTest, DraggedPointIsWrittenWhenTheDragEnds) {
  images({"a.png"}, 200, 100);
  put("classes.txt", "cat\n");
  const QByteArray line =
      "0 0.100000 0.200000 0.500000 0.200000 0.500000 0.600000 0.100000 0.600000\n";
  put("a.txt", line);
  load(dir.path());
  show_annotator();
  QGraphicsPolygonItem* shape = tab->annotations[0].item;
  EXPECT_TRUE(shape->childItems().isEmpty());
  tab->table_objects->selectRow(0);
  ASSERT_EQ(shape->childItems().size(), 4);  // a handle per point

  const QPointF corner(100, 60), target(150, 80);
  mouse(QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, target, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(read_file(path("a.txt")), line);  // not yet: the drag goes on
  mouse(QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);

  // The box stays a box: the corner's neighbours follow it (to within a
  // screen pixel of the pointer).
  expect_points(read_file(path("a.txt")), {{20, 20}, {150, 20}, {150, 80}, {20, 80}});
  EXPECT_EQ(shape->pos(), QPointF(0, 0));
  EXPECT_TRUE(shape->isSelected());

  // A point edit is one undo step, written through like the edit itself.
  const QByteArray edited = read_file(path("a.txt"));
  ASSERT_NE(edited, line);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(read_file(path("a.txt")), line);
  QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(read_file(path("a.txt")), edited);
}

// What is drawn is what is written: a handle or a whole shape dragged beyond
// the image stops at its edge, and a shape that is not a box moves one point.
TEST_F(KeysTest, DraggedHandlesAndShapesStayInsideTheImage) {
  const QByteArray box =
      "0 0.100000 0.200000 0.500000 0.200000 0.500000 0.600000 0.100000 0.600000\n";
  const QByteArray skewed =
      "0 0.100000 0.200000 0.500000 0.250000 0.500000 0.600000 0.100000 0.600000\n";
  struct Case {
    QByteArray line;
    QPointF from, to;
    QPolygonF expected;
  } cases[] = {
      {box, {100, 60}, {260, 130}, {{20, 20}, {200, 20}, {200, 100}, {20, 100}}},
      {box, {60, 40}, {60, 150}, {{20, 60}, {100, 60}, {100, 100}, {20, 100}}},
      {skewed, {100, 60}, {150, 80}, {{20, 20}, {100, 25}, {150, 80}, {20, 60}}},
  };
  images({"a.png"}, 200, 100);
  put("classes.txt", "cat\n");
  for (const Case& c : cases) {
    put("a.txt", c.line);
    load(dir.path());
    show_annotator();
    tab->table_objects->selectRow(0);
    mouse(QEvent::MouseButtonPress, c.from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, (c.from + c.to) / 2, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, c.to, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, c.to, Qt::LeftButton, Qt::NoButton);
    SCOPED_TRACE(c.line.toStdString());
    expect_points(read_file(path("a.txt")), c.expected);
  }
}

// On a large photo at fit (about 1/8 scale here), outlines stay 2 screen
// pixels wide, 4 when selected: a line of 2 image pixels would vanish.
TEST_F(KeysTest, OutlinesKeepTheirScreenWidthOnALargePhotoAtFit) {
  images({"a.png"}, 6000, 3000);
  put("classes.txt", "cat\n");
  put("a.txt", "0 0.2 0.2 0.8 0.2 0.8 0.8 0.2 0.8\n");
  load(dir.path());
  show_annotator();
  const double scale = tab->canvas_view->transform().m11();
  ASSERT_LT(scale, 0.25);
  const double perimeter_px = 2 * (3600 + 1800) * scale;
  auto outline_pixels = [this] {
    const QImage shot = tab->canvas_view->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        count += c.green() > 200 && c.red() < 100 && c.blue() < 150;
      }
    }
    return count;
  };
  const int plain = outline_pixels();
  EXPECT_GE(plain, perimeter_px);
  tab->table_objects->selectRow(0);
  EXPECT_GE(outline_pixels(), plain * 3 / 2);
}

}  // namespace
}  // namespace orvane
