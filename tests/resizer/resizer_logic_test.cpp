// The resizer's logic units: pixel conversion, size prediction, texts,
// output names and formats, and the quality search's probes.
#include <gtest/gtest.h>

#include <vector>

#include "resizer/batch_writer.h"
#include "resizer/quality_search.h"
#include "resizer/resize_math.h"

namespace orvane {
namespace {

TEST(ToPx, ConvertsUnitsAndRoundsHalfToEven) {
  const struct {
    const char* text;
    const char* unit;
    double dpi;
    std::optional<int> px;
  } cases[] = {
      {"10", "cm", 300, 1181}, {"2.5", "px", 300, 2},  {"3.5", "px", 300, 4},
      {" 12 ", "px", 300, 12}, {"", "cm", 300, {}},    {"1", "in", 72, 72},
      {"72", "pt", 300, 300},  {"25.4", "mm", 96, 96}, {"-4", "px", 300, -4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_px(c.text, c.unit, c.dpi), c.px) << c.text << " " << c.unit;
  }
  for (const char* bad : {"abc", "10 px", "1e999"}) {
    EXPECT_THROW(to_px(bad, "px", 300), ResizeInputError) << bad;
  }
  EXPECT_DOUBLE_EQ(parse_dpi(""), 300.0);
  EXPECT_DOUBLE_EQ(parse_dpi("72.5"), 72.5);
  EXPECT_THROW(parse_dpi("abc"), ResizeInputError);
}

TEST(TargetSize, FollowsTheLockAndTheEnableBox) {
  const auto fields = [](const char* w, const char* h, bool lock = true, bool enabled = true,
                         const char* unit = "px") {
    return SizeFields{enabled, w, h, unit, lock};
  };
  const struct {
    SizeFields fields;
    QSize expected;
  } cases[] = {
      {fields("10", "", true, true, "cm"), {1181, 590}},  // 590.5 rounds to even
      {fields("1000", ""), {1000, 500}},
      {fields("", "250"), {500, 250}},
      {fields("300", "100"), {300, 100}},
      {fields("", ""), {2000, 1000}},
      {fields("0", ""), {2000, 1000}},  // 0 counts as no value
      {fields("800", "", false), {800, 1000}},
      {fields("800", "600", true, false), {2000, 1000}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(target_size(2000, 1000, c.fields, 300.0), c.expected)
        << c.fields.width_text.toStdString() << " x " << c.fields.height_text.toStdString();
  }
  EXPECT_THROW(target_size(2000, 1000, fields("abc", ""), 300.0), ResizeInputError);
}

TEST(Texts, NumbersPrintAsThePredictionShowsThem) {
  const struct {
    double value;
    const char* text;
  } reals[] = {{300.0, "300.0"},       {72.5, "72.5"},  {123.4, "123.4"}, {0.1, "0.1"},
               {100000.0, "100000.0"}, {1e16, "1e+16"}, {0.0, "0.0"}};
  for (const auto& r : reals) EXPECT_EQ(format_real(r.value), r.text);

  EXPECT_EQ(prediction_text({800, 600}, 300.0, 251187),
            "Predicted Output: 800x600 px | 300.0 DPI | Orig: 245.3 KB");
  EXPECT_EQ(prediction_text({1, 2}, 72.5, 1024),
            "Predicted Output: 1x2 px | 72.5 DPI | Orig: 1.0 KB");
  EXPECT_EQ(rotation_degrees(QStringLiteral("270°")), 270);
}

TEST(OutputNaming, KeepsOrChangesTheExtension) {
  const struct {
    const char* source;
    const char* choice;
    const char* name;
  } cases[] = {
      {"/in/photo.JPG", "Match Original", "photo_scaled.JPG"},
      {"/in/logo.png", "JPEG", "logo_scaled.jpeg"},
      {"/in/logo.png", "WEBP", "logo_scaled.webp"},
      {"/in/a.b.c.png", "PNG", "a.b.c_scaled.png"},
      {"/in/my photo ü.jpeg", "Match Original", "my photo ü_scaled.jpeg"},
      {"/in/.hidden", "Match Original", ".hidden_scaled"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(output_file_name(QString::fromUtf8(c.source), c.choice), QString::fromUtf8(c.name))
        << c.source;
  }
  EXPECT_EQ(output_format(ImageFormat::Png, "Match Original"), ImageFormat::Png);
  EXPECT_EQ(output_format(ImageFormat::Bmp, "Match Original"), ImageFormat::Bmp);
  EXPECT_EQ(output_format(ImageFormat::Unknown, "Match Original"), ImageFormat::Jpeg);
  EXPECT_EQ(output_format(ImageFormat::Png, "WEBP"), ImageFormat::Webp);
}

TEST(QualitySearch, BinarySearchFromFifty) {
  const auto linear = [](qint64 per_step) { return [per_step](int q) { return q * per_step; }; };
  const struct {
    const char* name;
    std::function<qint64(int)> size_at;
    double limit;
    std::vector<int> probes;
    int best;
    bool fits;
  } cases[] = {
      {"nothing fits", linear(1000), 0.0, {50, 27, 15, 9, 6, 5}, 5, false},
      {"everything fits", linear(1), 1e9, {50, 73, 84, 90, 93, 94, 95}, 95, true},
      // 80 KB at quality 50 against 50 KB: down to 27, then by the sizes.
      {"50 KB", linear(1600), 50 * 1024.0, {50, 27, 38, 32, 35, 33}, 32, true},
      {"exact fit counts", linear(1000), 50000.0, {50, 73, 61, 55, 52, 51}, 50, true},
  };
  for (const auto& c : cases) {
    std::vector<int> seen;
    const QualitySearch search = quality_search(
        [&](int q) {
          seen.push_back(q);
          return c.size_at(q);
        },
        c.limit);
    EXPECT_EQ(search.probes, c.probes) << c.name;
    EXPECT_EQ(seen, c.probes) << c.name;
    EXPECT_EQ(search.best, c.best) << c.name;
    EXPECT_EQ(search.fits, c.fits) << c.name;
  }
}

}  // namespace
}  // namespace orvane
