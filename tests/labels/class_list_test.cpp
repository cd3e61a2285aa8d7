#include "labels/class_list.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "labels/class_colors.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

TEST(ClassList, ParsesLinesTrimmedWithoutEmpties) {
  const std::pair<QByteArray, QStringList> cases[] = {
      {"cat\ndog\n", {"cat", "dog"}},
      {"  cat \r\n\r\n\tdog\r\n   \n", {"cat", "dog"}},
      {"cat\rdog", {"cat", "dog"}},
      {"cat\ncat\ndog\n", {"cat", "cat", "dog"}},  // repeats kept
      {"\357\273\277cat\ndog\n", {"cat", "dog"}},  // byte-order mark
      {"\xEF\xBB\xBF", {}},
      {"", {}},
      {"\xE7\x8C\xAB\nK\xC3\xA4tzchen\n\xD0\xBA\xD0\xBE\xD1\x82 \xF0\x9F\x90\x88\n",
       {"猫", "Kätzchen", "кот 🐈"}},
      {"caf\xE9\n", {"café"}},  // not UTF-8: read as Latin-1
      {"traffic light\n", {"traffic light"}},
      // U+FEFF starting (or ending) a name would be read back as a byte-order
      // mark once the name leads the file, shifting every id after it.
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "car\n\xEF\xBB\xBF\n\xEF\xBB\xBF"
       "dog\xEF\xBB\xBF\n",
       {"car", "dog"}},
      {"c\xEF\xBB\xBFt\n", {"c\uFEFFt"}},  // inside a name it is part of the name
  };
  for (const auto& [bytes, names] : cases)
    EXPECT_EQ(parse_class_list(bytes), names) << bytes.toStdString();
}

TEST(ClassList, WrittenNamesReadBackWithTheSameIds) {
  const QStringList typed = {"\uFEFFcar", " dog\uFEFF", "\uFEFF"};
  QStringList kept;
  for (const QString& name : typed) {
    const QString clean = clean_class_name(name);
    if (!clean.isEmpty()) kept << clean;
  }
  EXPECT_EQ(kept, (QStringList{"car", "dog"}));
  EXPECT_EQ(parse_class_list(format_class_list(kept)), kept);
}

TEST(ClassList, FormatIdsAndFile) {
  EXPECT_EQ(format_class_list({"cat", "dog"}), "cat\ndog\n");
  EXPECT_EQ(format_class_list({}), "");
  const QStringList names{"猫", "traffic light"};
  EXPECT_EQ(parse_class_list(format_class_list(names)), names);

  const QStringList classes{"cat", "dog", "cat"};  // an id is the first position
  EXPECT_EQ(class_id_of(classes, "cat"), 0);
  EXPECT_EQ(class_id_of(classes, "dog"), 1);
  EXPECT_EQ(class_id_of(classes, "Cat"), -1);
  EXPECT_EQ(class_id_of({}, "cat"), -1);

  QTemporaryDir dir;
  const ClassListFile missing = read_class_list_file(dir.filePath("classes.txt"));
  EXPECT_FALSE(missing.exists);
  EXPECT_TRUE(missing.names.isEmpty());
  write_file(dir.filePath("classes.txt"), "\357\273\277a\nb\n");  // with a byte-order mark
  const ClassListFile present = read_class_list_file(dir.filePath("classes.txt"));
  EXPECT_TRUE(present.exists);
  EXPECT_EQ(present.names, (QStringList{"a", "b"}));
  EXPECT_TRUE(present.error.isEmpty());
}

TEST(ClassColors, TenColoursRepeatByClassId) {
  EXPECT_EQ(class_color(0), QColor("#00FF00"));
  EXPECT_EQ(class_color(9), QColor("#008000"));
  EXPECT_EQ(class_color(10), class_color(0));
  EXPECT_EQ(class_color(23), QColor("#FFFF00"));
  EXPECT_EQ(class_color(-4), class_color(0));
  const QStringList classes{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"};
  EXPECT_EQ(label_color(classes, "k"), label_color(classes, "a"));
  EXPECT_EQ(label_color(classes, "b"), QColor("#FF0000"));
  EXPECT_EQ(label_color(classes, "unknown"), QColor("#00FF00"));
}

}  // namespace
