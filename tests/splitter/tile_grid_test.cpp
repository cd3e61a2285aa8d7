// The tile grid: modes, rectangles, indices and the folder's image files.
#include "splitter/tile_grid.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/test_files.h"

namespace orvane {
namespace {

TEST(TileGrid, ModesAreTheDivisorPairsFromOneRow) {
  EXPECT_EQ(grid_modes(7), QStringList({"1 Rows x 7 Cols", "7 Rows x 1 Cols"}));
  EXPECT_EQ(grid_modes(1), QStringList({"1 Rows x 1 Cols"}));
  for (const QString& mode : grid_modes(100)) {
    const auto grid = parse_grid_mode(mode);
    ASSERT_TRUE(grid) << mode.toStdString();
    EXPECT_EQ(grid->rows * grid->cols, 100);
  }
  EXPECT_FALSE(parse_grid_mode("2 Rows x 0 Cols"));
  EXPECT_FALSE(parse_grid_mode(""));
}

TEST(TileGrid, RemainderGoesToTheLastRowAndColumn) {
  const std::vector<cv::Rect> rects = tile_rects(1000, 750, {2, 3});
  ASSERT_EQ(rects.size(), 6u);
  EXPECT_EQ(rects[0], cv::Rect(0, 0, 333, 375));
  EXPECT_EQ(rects[1], cv::Rect(333, 0, 333, 375));
  EXPECT_EQ(rects[2], cv::Rect(666, 0, 334, 375));
  EXPECT_EQ(rects[3], cv::Rect(0, 375, 333, 375));  // tiles 4-6: the bottom row
  EXPECT_EQ(rects[5], cv::Rect(666, 375, 334, 375));
  // Smaller than the grid: all but the last column are empty.
  const std::vector<cv::Rect> small = tile_rects(3, 2, {1, 5});
  EXPECT_TRUE(small[0].empty());
  EXPECT_EQ(small[4], cv::Rect(0, 0, 3, 2));
}

TEST(TileGrid, IndicesArePaddedToTheDigitsOfTheParts) {
  const struct {
    int index, parts;
    const char* text;
  } cases[] = {{1, 4, "1"}, {4, 4, "4"}, {1, 12, "01"}, {12, 12, "12"}, {7, 100, "007"}};
  for (const auto& c : cases) EXPECT_EQ(part_index_text(c.index, c.parts), c.text);
  EXPECT_EQ(tile_file_name("a.b", "01", ".JPG"), "a.b_part_01.JPG");
}

TEST(TileGrid, GathersImagesByExtensionInAnyCaseOnce) {
  QTemporaryDir dir;
  for (const char* name : {"b.png", "A.JPG", "c.jpeg", "a.jpg", "d.WebP", "e.txt", "f.bmp"})
    write_file(dir.filePath(name), "x");
  QDir(dir.path()).mkpath("sub.jpg");
  write_file(dir.filePath("sub.jpg/inner.jpg"), "x");
  QStringList names;
  for (const QString& path : gather_split_images(dir.path()))
    names.append(QFileInfo(path).fileName());
  EXPECT_EQ(names, QStringList({"A.JPG", "a.jpg", "c.jpeg", "b.png", "f.bmp", "d.WebP"}));
}

}  // namespace
}  // namespace orvane
