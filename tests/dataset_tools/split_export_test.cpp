#include "dataset_tools/split_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <map>

#include "common/background_job.h"
#include "support/test_files.h"

using namespace orvane;

TEST(SplitExport, SplitSizes) {
  // n, train %, val %, and the train, val, test sizes.
  const std::array<int, 6> cases[] = {
      {10, 70, 20, 7, 2, 1},
      {9, 70, 20, 6, 1, 2},
      {3, 70, 20, 2, 0, 1},
      {1, 70, 20, 0, 0, 1},
      {2, 70, 20, 1, 0, 1},
      {10, 34, 33, 3, 3, 4},
      {0, 70, 20, 0, 0, 0},
      {5, 100, 0, 5, 0, 0},
      // The products fall just below the whole number and are truncated.
      {100, 29, 0, 28, 0, 72},
      {100, 57, 0, 56, 0, 44},
      {100, 58, 0, 57, 0, 43},
      {100, 0, 29, 0, 28, 72},
  };
  for (const auto& [n, train, val, train_n, val_n, test_n] : cases) {
    const SplitSizes s = split_sizes(n, train / 100.0, val / 100.0);
    EXPECT_EQ((std::array{s.train, s.val, s.test}), (std::array{train_n, val_n, test_n}))
        << n << " at " << train << "/" << val;
  }
}

TEST(SplitExport, AssignmentCutsTheShuffledOrder) {
  std::vector<LabelledImage> pairs;
  for (const char* name : {"a", "b", "c", "d"}) pairs.push_back({name, QString(name) + ".txt"});
  const SplitAssignment split =
      assign_split(pairs, 0.5, 0.25, [](auto& p) { std::reverse(p.begin(), p.end()); });
  auto names = [](const std::vector<LabelledImage>& part) {
    QStringList out;
    for (const LabelledImage& pair : part) out.append(pair.image_path);
    return out;
  };
  EXPECT_EQ(names(split.parts[0]), (QStringList{"d", "c"}));
  EXPECT_EQ(names(split.parts[1]), (QStringList{"b"}));
  EXPECT_EQ(names(split.parts[2]), (QStringList{"a"}));

  // The process-wide generator draws a new order each time.
  std::vector<LabelledImage> many;
  for (int i = 0; i < 20; ++i) many.push_back({QString::number(i), {}});
  auto first = many, second = many;
  shuffle_with_process_generator(first);
  shuffle_with_process_generator(second);
  EXPECT_NE(names(first), names(second));
}

TEST(SplitExport, BoxConversion) {
  const std::pair<std::string, std::string> cases[] = {
      // "" when the line is left out
      {"0 0.1 0.2 0.3 0.4 0.2 0.6", "0 0.200000 0.400000 0.200000 0.400000\n"},
      {"3 0.5 0.25", "3 0.500000 0.250000 0.000000 0.000000\n"},
      // Already a box: read as two points it would become 0.35 0.35 0.3 0.3.
      {"1 0.5 0.5 0.2 0.2", "1 0.500000 0.500000 0.200000 0.200000\n"},
      {"007\t0.1 0.1  0.3 0.3 0.1 0.3\r", "007 0.200000 0.200000 0.200000 0.200000\n"},
      {"0 0.1", ""},
      {"0 0.1 abc", ""},
      {"0 nan 0.1 0.2 0.2 0.3 0.3", ""},
  };
  for (const auto& [line, box] : cases) {
    std::string out;
    EXPECT_EQ(append_box_line(line, out), !box.empty()) << line;
    EXPECT_EQ(out, box) << line;
  }
  const BoxConversion file =
      convert_label_to_boxes("0 0.1 0.1 0.3 0.3 0.1 0.3\r\n\r\n0 x 1\n2\n1 0.5 0.5 0.5 0.5");
  EXPECT_EQ(file.text,
            "0 0.200000 0.200000 0.200000 0.200000\n1 0.500000 0.500000 0.500000 0.500000\n");
  EXPECT_EQ(file.left_out, 2);
}

TEST(SplitExport, ManifestTextAndNamesReadBackExactly) {
  EXPECT_EQ(data_yaml_text("C:\\data\\out", {"car", "person"}),
            "path: C:/data/out\ntrain: train/images\nval: val/images\ntest: test/images\n\nnames:\n"
            "  0: car\n  1: person\n");
  EXPECT_TRUE(data_yaml_text("/out", {}).endsWith("\n\nnames:\n"));

  const QStringList plain = {"car",   "traffic light", "C#",          "C++", "a:b",
                             "x, y",  "person's bag",  "Straße",      "猫",  "naïve-café",
                             "v1.0a", "yesterday",     "null pointer"};
  const QStringList quoted = {
      "a: b",        "x #y",       "  lead",   "trail ", "end:",   "-dash", "?q",
      ":c",          ",",          "[x]",      "{y}",    "#h",     "&a",    "*s",
      "!t",          "|p",         ">g",       "'sq'",   "\"dq\"", "%p",    "@at",
      "`bt",         "yes",        "No",       "ON",     "off",    "TRUE",  "fAlSe",
      "null",        "NULL",       "~",        "123",    "-4.5",   "0x1F",  "1e3",
      ".inf",        "1_000",      "y",        "=",      "<<",     "",      "back\\slash \"q\": 1",
      "line\nbreak", "2024-01-01", "ünï: çödé"};
  const QStringList names = plain + quoted;
  const QString text = data_yaml_text("/data/my: out", names);
  const YAML::Node manifest = YAML::Load(text.toStdString());
  EXPECT_EQ(manifest["path"].as<std::string>(), "/data/my: out");
  ASSERT_EQ(manifest["names"].size(), static_cast<size_t>(names.size()));
  for (qsizetype i = 0; i < names.size(); ++i) {
    const YAML::Node node = manifest["names"][static_cast<int>(i)];
    EXPECT_EQ(QString::fromStdString(node.as<std::string>()), names[i]) << i;
    // A quoted scalar carries the non-specific tag "!": readers take it as text.
    EXPECT_EQ(node.Tag() == "!", i >= plain.size()) << names[i].toStdString();
    // Other names are written unaltered.
    EXPECT_EQ(text.contains(QStringLiteral("\n  %1: %2\n").arg(i).arg(names[i])), i < plain.size())
        << names[i].toStdString();
  }
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    src = source_dir.path();
    out = out_dir.path() + "/export";
  }

  LabelledImage pair(const QString& base, const QByteArray& label_text) {
    const QString image = src + "/" + base + ".jpg";
    write_file(image, "jpeg:" + base.toUtf8());
    if (!label_text.isNull()) write_file(src + "/" + base + ".txt", label_text);
    return {image, src + "/" + base + ".txt"};
  }

  static QString numbered(int i) { return QStringLiteral("img%1").arg(i, 3, 10, QLatin1Char('0')); }

  QTemporaryDir source_dir, out_dir;
  QString src, out;
};

TEST_F(ExportTest, DetectionTreeWithMetadata) {
  SplitAssignment split;
  split.parts[0] = {pair("a", "0 0.1 0.2 0.3 0.4 0.2 0.6\nbad\n"),
                    pair("b", "1 0.5 0.5 0.2 0.2\n")};
  split.parts[2] = {pair("c d ü", "0 0.1 0.1\n")};
  const QDateTime old_time = QDateTime::fromSecsSinceEpoch(1'500'000'000);
  {
    QFile image(src + "/a.jpg");
    ASSERT_TRUE(image.open(QIODevice::ReadWrite));
    ASSERT_TRUE(image.setFileTime(old_time, QFileDevice::FileModificationTime));
    ASSERT_TRUE(image.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
  }
  const ExportOutcome outcome =
      export_split_dataset(out, split, LabelFormat::Detection, {"car", "person"});
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.images_written, 3);
  EXPECT_EQ(outcome.lines_left_out, 1);
  EXPECT_EQ(folder_entries(out), (QStringList{"data.yaml", "test", "train", "val"}));
  for (const char* part : kSplitParts)
    EXPECT_EQ(folder_entries(out + "/" + part), (QStringList{"images", "labels"})) << part;
  EXPECT_EQ(folder_entries(out + "/train/images"), (QStringList{"a.jpg", "b.jpg"}));
  EXPECT_EQ(folder_entries(out + "/val/images"), QStringList());
  EXPECT_EQ(read_file(out + "/train/images/a.jpg"), "jpeg:a");
  const QFileInfo copied(out + "/train/images/a.jpg");
  EXPECT_EQ(copied.lastModified(), old_time);
  EXPECT_EQ(copied.permissions() & 0x0fff, QFile::permissions(src + "/a.jpg") & 0x0fff);
  EXPECT_EQ(read_file(out + "/train/labels/a.txt"), "0 0.200000 0.400000 0.200000 0.400000\n");
  EXPECT_EQ(read_file(out + "/train/labels/b.txt"), "1 0.500000 0.500000 0.200000 0.200000\n");
  EXPECT_EQ(read_file(out + "/test/labels/c d ü.txt"), "0 0.100000 0.100000 0.000000 0.000000\n");
  EXPECT_TRUE(read_file(out + "/data.yaml").startsWith("path: " + QDir::cleanPath(out).toUtf8()));
}

TEST_F(ExportTest, SegmentationCopiesLabelsAndSkipsVanishedOnes) {
  SplitAssignment split;
  split.parts[1] = {pair("a", "0 0.1 0.2 0.3 0.4 0.2 0.6\nbad\n"), pair("gone", QByteArray())};
  const ExportOutcome outcome = export_split_dataset(out, split, LabelFormat::Segmentation, {"x"});
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(read_file(out + "/val/labels/a.txt"), "0 0.1 0.2 0.3 0.4 0.2 0.6\nbad\n");
  EXPECT_EQ(QFileInfo(out + "/val/labels/a.txt").lastModified(),
            QFileInfo(src + "/a.txt").lastModified());
  EXPECT_EQ(folder_entries(out + "/val/images"), (QStringList{"a.jpg", "gone.jpg"}));
  EXPECT_EQ(folder_entries(out + "/val/labels"), (QStringList{"a.txt"}));
}

TEST_F(ExportTest, TheFirstFailureInOrderStopsTheExport) {
  // Enough pairs to be exported in parallel; three of them cannot be copied.
  SplitAssignment split;
  for (int i = 0; i < 150; ++i)
    split.parts[i < 100 ? 0 : 2].push_back(pair(numbered(i), "0 0.1 0.1\nbad\n"));
  ASSERT_TRUE(export_split_dataset(out, split, LabelFormat::Detection, {}).ok);
  EXPECT_EQ(folder_entries(out + "/test/labels").size(), 50);
  for (const char* blocked : {"/test/images/img130.jpg", "/train/images/img030.jpg"}) {
    ASSERT_TRUE(QFile::remove(out + blocked));
    ASSERT_TRUE(QDir().mkpath(out + blocked));
  }
  ASSERT_TRUE(QFile::remove(src + "/img020.jpg"));  // a source that vanished
  const ExportOutcome outcome = export_split_dataset(out, split, LabelFormat::Detection, {});
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(outcome.error.contains(src + "/img020.jpg")) << outcome.error.toStdString();
  EXPECT_TRUE(outcome.error.contains("No such file or directory"));
  EXPECT_EQ(outcome.images_written, 20);
  EXPECT_EQ(outcome.lines_left_out, 20);
}

TEST_F(ExportTest, ExportingBackIntoTheTreeTheDatasetCameFromDeletesNoSource) {
  // The dataset was loaded from an earlier export's train/images.
  src = out + "/train/images";
  SplitAssignment split;
  split.parts[0] = {pair("a", "0 0 0 1 1\n"), pair("b", "0 0 0 1 1\n")};
  split.parts[1] = {pair("c", "0 0 0 1 1\n"), pair("d", "0 0 0 1 1\n")};
  const ExportOutcome outcome = export_split_dataset(out, split, LabelFormat::Detection, {"x"});
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(folder_entries(src),
            (QStringList{"a.jpg", "a.txt", "b.jpg", "b.txt", "c.jpg", "c.txt", "d.jpg", "d.txt"}));
  EXPECT_EQ(read_file(src + "/c.jpg"), "jpeg:c");
  EXPECT_EQ(folder_entries(out + "/val/images"), (QStringList{"c.jpg", "d.jpg"}));
}

TEST_F(ExportTest, ImagesSharingALabelFileExportTogether) {
  // a.jpg and a.png share a.txt; they may be written at the same moment.
  for (int round = 0; round < 2; ++round) {
    SplitAssignment split;
    for (int i = 0; i < 200; ++i) {
      split.parts[0].push_back(pair(numbered(i), "0 0.1 0.1 0.2 0.2\n"));
      write_file(src + "/" + numbered(i) + ".png", "png");
      split.parts[0].push_back(
          {src + "/" + numbered(i) + ".png", src + "/" + numbered(i) + ".txt"});
    }
    const ExportOutcome outcome = export_split_dataset(out, split, LabelFormat::Detection, {});
    ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  }
  EXPECT_EQ(folder_entries(out + "/train/labels").size(), 200);
  EXPECT_EQ(read_file(out + "/train/labels/img007.txt"), "0 0.100000 0.100000 0.200000 0.200000\n");
}

// Cancelled at the first pair or after the last, or stopped by a write beyond
// the file-size limit (a full disk): the earlier export stays as it was.
TEST_F(ExportTest, CancelOrFailureLeavesTheEarlierExportWhole) {
  SplitAssignment earlier, moved;  // every pair into another part
  for (int i = 0; i < 40; ++i) {
    earlier.parts[0].push_back(pair(numbered(i), "0 0.1 0.1\n"));
    moved.parts[1 + i % 2].push_back(earlier.parts[0].back());
  }
  write_file(src + "/img020.jpg", QByteArray(64 * 1024, 'x'));
  for (const int cancel_at : {1, -1, 0}) {  // pairs exported (-1: all); 0: img020.jpg too large
    ASSERT_TRUE(export_split_dataset(out, earlier, LabelFormat::Detection, {}).ok);
    std::map<QString, QByteArray> before;
    for (const QString& file : files_below(out)) before[file] = read_file(out + "/" + file);
    JobControl control;
    control.set_progress_sink([&](int done, int total) {
      if (done == (cancel_at < 0 ? total : cancel_at)) control.call_off();
    });
    if (cancel_at != 0) {
      EXPECT_TRUE(export_split_dataset(out, moved, LabelFormat::Detection, {}, &control).cancelled);
    } else if (const pid_t child = fork(); child == 0) {
      const rlimit limit{16 * 1024, 16 * 1024};
      setrlimit(RLIMIT_FSIZE, &limit);
      std::signal(SIGXFSZ, SIG_IGN);
      const ExportOutcome failed = export_split_dataset(out, moved, LabelFormat::Detection, {});
      _exit(failed.error.contains("File too large") ? 0 : 1);
    } else {
      int status = -1;
      EXPECT_TRUE(waitpid(child, &status, 0) == child && status == 0) << "not stopped by the limit";
    }
    for (const auto& [file, bytes] : before)
      EXPECT_EQ(read_file(out + "/" + file), bytes) << cancel_at << " " << file.toStdString();
  }
  ASSERT_TRUE(export_split_dataset(out, moved, LabelFormat::Detection, {}).ok);
  EXPECT_EQ(files_below(out + "/train"), QStringList()) << "complete, it removes them";
}

// A label path that is a folder leaves its image out, named in the failures.
TEST_F(ExportTest, ALabelPathThatIsAFolderLeavesOnlyItsImageOut) {
  ASSERT_TRUE(QDir().mkpath(src + "/b.txt"));
  SplitAssignment split;
  split.parts[0] = {pair("a", "0 0 0 1 1\n"), pair("b", QByteArray()), pair("c", "0 0 0 1 1\n")};
  for (const LabelFormat format : {LabelFormat::Detection, LabelFormat::Segmentation}) {
    const QString to = out + QString::number(static_cast<int>(format));
    EXPECT_EQ(export_failures_text(export_split_dataset(to, split, format, {})),
              "\n\n1 of 3 images could not be exported:\nb.jpg: cannot read b.txt: Is a directory");
    EXPECT_EQ(files_below(to), (QStringList{"data.yaml", "train/images/a.jpg", "train/images/c.jpg",
                                            "train/labels/a.txt", "train/labels/c.txt"}));
  }
}
