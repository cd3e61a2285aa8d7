// Dataset tools benchmark: builds a folder of 100,000 label files of 10 shapes
// each (and as many small images) and prints the median times of the health
// check and the class analytics over it, then exports 10,000 image/label pairs
// (detection format) and compares that with `cp -p` of the same files.
//
// Usage: bench_dataset_tools [RUNS [FILES]]   (defaults 5 and 100000)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dataset_tools/analytics.h"
#include "dataset_tools/health.h"
#include "dataset_tools/split_export.h"

using namespace orvane;

namespace {

// A PNG of 8 x 8 grey pixels: the "small image" of every pair.
const unsigned char kSmallPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x00, 0x00, 0x00, 0x00, 0xe1,
    0x64, 0xe1, 0x57, 0x00, 0x00, 0x00, 0x0e, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0x68,
    0x80, 0x02, 0x06, 0xca, 0x18, 0x00, 0x80, 0x84, 0x20, 0x01, 0x0d, 0x80, 0x24, 0x61, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

// Ten shapes as the annotator writes them: rectangles (4 vertices), pentagons
// (5) and circles (32) at random places, with six-decimal coordinates.
std::string label_text(std::mt19937& random) {
  static const int kVertices[] = {4, 4, 5, 32, 4, 32, 5, 4, 4, 32};
  std::uniform_real_distribution<double> centre(0.1, 0.9), radius(0.02, 0.1), turn(0.0, 6.28);
  std::string text;
  char number[64];
  for (int shape = 0; shape < 10; ++shape) {
    text += std::to_string(random() % 5);
    const double cx = centre(random), cy = centre(random), r = radius(random), a = turn(random);
    const int n = kVertices[shape];
    for (int v = 0; v < n; ++v) {
      const double angle = a + 6.283185307179586 * v / n;
      std::snprintf(number, sizeof number, " %.6f %.6f", cx + r * std::cos(angle),
                    cy + r * std::sin(angle));
      text += number;
    }
    text += '\n';
  }
  return text;
}

void write_or_die(const QString& path, std::string_view bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size())) {
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    std::exit(1);
  }
}

// Writes `count` image/label pairs into `folder`; returns the image paths.
QStringList make_dataset(const QString& folder, int count) {
  QDir().mkpath(folder);
  std::mt19937 random(42);
  const std::string_view png(reinterpret_cast<const char*>(kSmallPng), sizeof kSmallPng);
  QStringList images;
  images.reserve(count);
  for (int i = 0; i < count; ++i) {
    const QString base = folder + QStringLiteral("/img_%1").arg(i, 6, 10, QLatin1Char('0'));
    write_or_die(base + QStringLiteral(".png"), png);
    write_or_die(base + QStringLiteral(".txt"), label_text(random));
    images.append(base + QStringLiteral(".png"));
  }
  write_or_die(folder + QStringLiteral("/classes.txt"), "car\nperson\nbike\nbus\ntruck\n");
  return images;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Fn>
double seconds(Fn&& fn) {
  QElapsedTimer timer;
  timer.start();
  fn();
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

QString shell_quote(const QString& path) {
  QString quoted = path;
  quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
  const int export_pairs = std::min(files, 10000);
  const QStringList classes = {"car", "person", "bike", "bus", "truck"};

  QTemporaryDir work;
  if (!work.isValid()) return 1;
  const QString big = work.filePath(QStringLiteral("big"));
  const QString small = work.filePath(QStringLiteral("pairs"));
  std::printf("building %d label files of 10 shapes and %d images...\n", files, files);
  std::fflush(stdout);
  const QStringList big_images = make_dataset(big, files);
  const QStringList small_images = make_dataset(small, export_pairs);

  std::vector<double> health, analytics, exports, copies;
  int overlaps = 0;
  size_t class_rows = 0;
  for (int run = 0; run < runs; ++run) {
    health.push_back(seconds([&] {
      DatasetListing listing;
      QString error;
      if (!list_dataset_folder(big, listing, error)) std::exit(1);
      const HealthReport report = check_dataset_health(big, listing);
      overlaps = static_cast<int>(report.overlap_count);
      (void)health_report_text(report);
    }));
    analytics.push_back(
        seconds([&] { class_rows = count_dataset_classes(big_images, classes).size(); }));

    // Each copy starts from flushed disks, the two take turns going first, and
    // nothing is deleted between runs (freeing blocks slows the next writes),
    // so neither pays for the other's work.
    const QString out = work.filePath(QStringLiteral("export_%1").arg(run));
    const QString copy = work.filePath(QStringLiteral("cp_%1").arg(run));
    ExportOutcome outcome;
    auto time_export = [&] {
      std::system("sync");
      exports.push_back(seconds([&] {
        SplitAssignment split = assign_split(collect_annotated_pairs(small_images), 0.7, 0.2,
                                             shuffle_with_process_generator);
        outcome = export_split_dataset(out, split, LabelFormat::Detection, classes);
      }));
    };
    const std::string command =
        QStringLiteral("cp -rp %1 %2").arg(shell_quote(small), shell_quote(copy)).toStdString();
    int status = 0;
    auto time_copy = [&] {
      std::system("sync");
      copies.push_back(seconds([&] { status = std::system(command.c_str()); }));
    };
    if (run % 2 == 0) {
      time_export();
      time_copy();
    } else {
      time_copy();
      time_export();
    }
    if (!outcome.ok || outcome.images_written != export_pairs || status != 0) {
      std::fprintf(stderr, "export failed: %s\n", qPrintable(outcome.error));
      return 1;
    }
    std::printf("run %d: health %.3f s, analytics %.3f s, export %.3f s, cp -p %.3f s\n", run + 1,
                health.back(), analytics.back(), exports.back(), copies.back());
    std::fflush(stdout);
  }

  std::printf("runs: %d (medians)\n", runs);
  std::printf("health check, %d label files: %.3f s (target < 3 s; %d duplicate pairs)\n", files,
              median(health), overlaps);
  std::printf("analytics, %d images: %.3f s (target < 2 s; %zu classes)\n", files,
              median(analytics), class_rows);
  const double ratio = median(exports) / median(copies);
  std::printf("export of %d pairs (detection): %.3f s\n", export_pairs, median(exports));
  std::printf("cp -p of the same files: %.3f s\n", median(copies));
  std::printf("export / cp -p: %.2f (target <= 1.5)\n", ratio);

  // One stray label file of 300,000 small shapes: the overlap check of a
  // single file must not freeze the window.
  std::string huge;
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 0.98);
  for (int k = 0; k < 300'000; ++k) {
    char line[96];
    std::snprintf(line, sizeof line, "0 %.6f %.6f 0.010000 0.010000\n", unit(random), unit(random));
    huge += line;
  }
  qint64 huge_pairs = 0;
  const double huge_seconds = seconds([&] { huge_pairs = count_duplicate_pairs(huge); });
  std::printf("overlap check of one file of 300,000 boxes: %.3f s (%lld duplicate pairs)\n",
              huge_seconds, static_cast<long long>(huge_pairs));
  return 0;
}
