#include "labels/label_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labels/label_paths.h"

using namespace orvane;

using namespace label_text;

TEST(LabelText, NumbersAndClassIds) {
  const struct {
    const char* token;
    bool number, class_id;
  } cases[] = {
      {"0.25", true, false},   {"+0.5", true, false}, {"-3", true, true},    {"+3", true, true},
      {"1e-3", true, false},   {".5", true, false},   {"7", true, true},     {"abc", false, false},
      {"0.5x", false, false},  {"", false, false},    {"+-1", false, false}, {"1,5", false, false},
      {"1e999", false, false},
  };
  for (const auto& c : cases) {
    double number;
    long long id;
    EXPECT_EQ(parse_number(c.token, number), c.number) << c.token;
    EXPECT_EQ(parse_class_id(c.token, id) == IdParse::kOk, c.class_id) << c.token;
  }
  long long big = 0;
  EXPECT_EQ(parse_class_id("99999999999999999999", big), IdParse::kOutOfRange);
  EXPECT_EQ(parse_class_id("-99999999999999999999", big), IdParse::kOutOfRange);
  std::vector<std::string_view> fields;
  split_fields(" 0\t0.1  0.2\r", fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"0", "0.1", "0.2"}));
}

TEST(LabelText, LabelPathReplacesOnlyTheLastExtension) {
  const std::pair<QString, QString> cases[] = {
      {"/data/cats/img_01.jpg", "/data/cats/img_01.txt"},
      {"/data/cats/archive.tar.png", "/data/cats/archive.tar.txt"},
      {"/data/my.folder/a.JPEG", "/data/my.folder/a.txt"},
      {"/data.set/noext", "/data.set/noext.txt"},
      {"/data/.hidden", "/data/.hidden.txt"},
      {"/data/..two.webp", "/data/..two.txt"},
      {"/d/ümlaut bild 猫.png", "/d/ümlaut bild 猫.txt"},
  };
  for (const auto& [image, label] : cases)
    EXPECT_EQ(label_path_for_image(image), label) << image.toStdString();
  EXPECT_EQ(name_without_extension("img10.jpg"), "img10");
  EXPECT_EQ(name_without_extension("classes"), "classes");
}
