#include "annotator/image_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/test_files.h"

namespace {

TEST(ImageFolder, ImageExtensions) {
  const struct {
    const char* name;
    bool image;
  } cases[] = {
      {"a.jpg", true},   {"a.JPG", true},  {"a.jpeg", true},     {"a.Png", true},
      {"a.bmp", true},   {"a.webp", true}, {"a.tif", false},     {"a.txt", false},
      {"jpg", false},    {".jpg", false},  {"a.jpg.txt", false}, {"a.txt.png", true},
      {"a.jpgx", false}, {"a.", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(is_annotator_image_name(QString(c.name)), c.image) << c.name;
}

TEST(ImageFolder, CodePointOrder) {
  EXPECT_TRUE(code_point_less(u"B.PNG", u"a.jpg"));  // upper case first
  EXPECT_TRUE(code_point_less(u"a", u"ab"));
  EXPECT_FALSE(code_point_less(u"ab", u"ab"));
  // U+FF21 (fullwidth A) sorts before U+1F408 (a cat, a surrogate pair in UTF-16).
  EXPECT_TRUE(code_point_less(QString::fromUtf8("\uFF21"), QString::fromUtf8("\U0001F408")));
  EXPECT_FALSE(code_point_less(QString::fromUtf8("\U0001F408"), QString::fromUtf8("\uFF21")));
}

TEST(ImageFolder, ListsDirectImagesSortedAndLabelNames) {
  QTemporaryDir dir;
  for (const char* name : {"B.PNG", "a.jpg", "c.txt", "a.txt", "z z ä.webp", ".hidden.bmp",
                           "notes.md", "sub/inner.jpg"}) {
    write_file(dir.filePath(QString::fromUtf8(name)), "x");
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));  // a folder is not an image
  const ImageFolderListing listing = list_image_folder(dir.path());
  EXPECT_TRUE(listing.error.isEmpty());
  const QString p = dir.path() + "/";
  EXPECT_EQ(listing.image_paths, (QStringList{p + ".hidden.bmp", p + "B.PNG", p + "a.jpg",
                                              p + QString::fromUtf8("z z ä.webp")}));
  EXPECT_EQ(listing.txt_names, (QSet<QString>{"c.txt", "a.txt"}));
  EXPECT_EQ(txt_names_in(dir.path()), listing.txt_names);
  // A trailing separator does not double it.
  EXPECT_EQ(list_image_folder(dir.path() + "/").image_paths, listing.image_paths);
}

TEST(ImageFolder, MissingFolderIsAnError) {
  QTemporaryDir dir;
  const ImageFolderListing listing = list_image_folder(dir.filePath("vanished"));
  EXPECT_FALSE(listing.error.isEmpty());
  EXPECT_TRUE(listing.image_paths.isEmpty());
  write_file(dir.filePath("file"), "x");
  EXPECT_FALSE(list_image_folder(dir.filePath("file")).error.isEmpty());
}

TEST(ImageFolder, ListEntries) {
  EXPECT_EQ(image_list_entry("/d/a b.jpg", true), QString::fromUtf8("[✓] a b.jpg"));
  EXPECT_EQ(image_list_entry("/d/a b.jpg", false), "[  ] a b.jpg");
}

}  // namespace
