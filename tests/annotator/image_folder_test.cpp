#include "annotator/image_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/test_files.h"

using namespace orvane;

namespace {

TEST(ImageFolder, ImageNamesOrderAndListEntries) {
  const std::pair<const char*, bool> cases[] = {
      {"a.jpg", true},   {"a.JPG", true},  {"a.jpeg", true},     {"a.Png", true},
      {"a.bmp", true},   {"a.webp", true}, {"a.tif", false},     {"a.txt", false},
      {"jpg", false},    {".jpg", false},  {"a.jpg.txt", false}, {"a.txt.png", true},
      {"a.jpgx", false}, {"a.", false},
  };
  for (const auto& [name, image] : cases)
    EXPECT_EQ(is_annotator_image_name(QString(name)), image) << name;

  EXPECT_TRUE(code_point_less(u"B.PNG", u"a.jpg"));  // upper case first
  EXPECT_TRUE(code_point_less(u"a", u"ab"));
  EXPECT_FALSE(code_point_less(u"ab", u"ab"));
  // U+FF21 (fullwidth A) sorts before U+1F408 (a cat, a surrogate pair in UTF-16).
  EXPECT_TRUE(code_point_less(u"\uFF21", u"\U0001F408"));
  EXPECT_FALSE(code_point_less(u"\U0001F408", u"\uFF21"));

  EXPECT_EQ(image_list_entry("/d/a b.jpg", true), "[✓] a b.jpg");
  EXPECT_EQ(image_list_entry("/d/a b.jpg", false), "[  ] a b.jpg");
}

TEST(ImageFolder, ListsDirectImagesSortedAndLabelNames) {
  QTemporaryDir dir;
  for (const char* name : {"B.PNG", "a.jpg", "c.txt", "a.txt", "z z ä.webp", ".hidden.bmp",
                           "notes.md", "sub/inner.jpg"}) {
    write_file(dir.filePath(name), "x");
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));  // a folder is not an image
  const ImageFolderListing listing = list_image_folder(dir.path());
  EXPECT_TRUE(listing.error.isEmpty());
  const QString p = dir.path() + "/";
  EXPECT_EQ(listing.image_paths,
            (QStringList{p + ".hidden.bmp", p + "B.PNG", p + "a.jpg", p + "z z ä.webp"}));
  EXPECT_EQ(listing.txt_names, (QSet<QString>{"c.txt", "a.txt"}));
  EXPECT_EQ(txt_names_in(dir.path()), listing.txt_names);
  // A trailing separator does not double it.
  EXPECT_EQ(list_image_folder(dir.path() + "/").image_paths, listing.image_paths);

  const ImageFolderListing missing = list_image_folder(dir.filePath("vanished"));
  EXPECT_FALSE(missing.error.isEmpty());
  EXPECT_TRUE(missing.image_paths.isEmpty());
  EXPECT_FALSE(list_image_folder(dir.filePath("notes.md")).error.isEmpty());  // not a folder
}

}  // namespace
