// COCO import benchmark: writes a COCO instances file of 5,000 images and
// 40,000 objects (polygons of 12 to 40 vertices, boxes alone, objects of two
// polygons, and 1 % crowd masks in compressed RLE, as COCO's own files mix
// them) beside 5,000 image files, then prints the median time of the whole
// import (reading and checking the JSON, the images' headers, the conversion
// and the label files written), of the JSON reading alone, and of writing as
// many small files alone (the file system's part, which no importer avoids).
//
// Usage: bench_convert [RUNS [IMAGES [OBJECTS]]]   (defaults 5, 5000, 40000)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dataset_tools/coco_import.h"
#include "dataset_tools/dataset_import.h"
#include "fileio/atomic_write.h"
#include "fileio/file_read.h"

using namespace orvane;

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A PNG's signature and header chunk: all the import reads of an image.
QByteArray png_header(int width, int height) {
  QByteArray b("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (const int v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) b.append(char((v >> shift) & 0xff));
  }
  b.append("\x08\x02\0\0\0\0\0\0\0", 9);  // depth, colour type, methods, CRC
  return b;
}

void append_polygon(std::string& out, std::mt19937& random) {
  std::uniform_real_distribution<double> cx(60, kWidth - 60), cy(60, kHeight - 60), r(10, 50);
  const int n = 12 + int(random() % 29);
  const double x = cx(random), y = cy(random), radius = r(random);
  char number[48];
  out += '[';
  for (int v = 0; v < n; ++v) {
    const double a = 6.283185307179586 * v / n;
    std::snprintf(number, sizeof number, "%s%.2f,%.2f", v ? "," : "", x + radius * std::cos(a),
                  y + radius * std::sin(a));
    out += number;
  }
  out += ']';
}

// COCO's compressed counts of a mask with one filled rectangle, as a JSON string's
// contents.
std::string rle_string(int x, int y, int w, int h) {
  std::vector<long> counts;
  long zeros = long(x) * kHeight + y;
  for (int c = 0; c < w; ++c) {
    counts.push_back(zeros);
    counts.push_back(h);
    zeros = kHeight - h;
  }
  counts.push_back(long(kHeight - y - h) + long(kWidth - x - w) * kHeight);
  std::string s;
  for (size_t i = 0; i < counts.size(); ++i) {
    long v = counts[i] - (i > 2 ? counts[i - 2] : 0);
    bool more = true;
    while (more) {
      long c = v & 0x1f;
      v >>= 5;
      more = (c & 0x10) ? v != -1 : v != 0;
      if (more) c |= 0x20;
      s += char(c + 48);
      if (s.back() == '\\') s += '\\';  // escaped in JSON
    }
  }
  return s;
}

std::string coco_json(int images, int objects, std::mt19937& random) {
  std::string out = R"({"info":{},"licenses":[],"images":[)";
  for (int i = 0; i < images; ++i) {
    out += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i + 1) +
           R"(,"file_name":"img_)" + std::to_string(i) + R"(.png","width":640,"height":480})";
  }
  out += R"(],"categories":[)";
  for (int c = 0; c < 80; ++c) {
    out += (c ? "," : "") + std::string(R"({"id":)") + std::to_string(c + 1) +
           R"(,"name":"class_)" + std::to_string(c) + R"(","supercategory":"x"})";
  }
  out += R"(],"annotations":[)";
  for (int a = 0; a < objects; ++a) {
    const int kind = int(random() % 100);
    out += (a ? "," : "") + std::string(R"({"id":)") + std::to_string(a + 1) + R"(,"image_id":)" +
           std::to_string(a % images + 1) + R"(,"category_id":)" +
           std::to_string(random() % 80 + 1) + R"(,"area":1000.0,"bbox":[100.5,80.25,60,40])";
    if (kind < 60) {
      out += R"(,"iscrowd":0,"segmentation":[)";
      append_polygon(out, random);
      out += "]";
    } else if (kind < 85) {
      out += R"(,"iscrowd":0)";
    } else if (kind < 99) {
      out += R"(,"iscrowd":0,"segmentation":[)";
      append_polygon(out, random);
      out += ',';
      append_polygon(out, random);
      out += "]";
    } else {
      out += R"(,"iscrowd":1,"segmentation":{"size":[480,640],"counts":")" +
             rle_string(int(random() % 300), int(random() % 200), 120, 90) + "\"}";
    }
    out += '}';
  }
  return out + "]}";
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int images = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
  const int objects = argc > 3 ? std::max(1, std::atoi(argv[3])) : 40000;

  QTemporaryDir dir;
  const QByteArray header = png_header(kWidth, kHeight);
  // Each run imports into a folder of its own, as a first import does: label
  // files replaced run after run would time the file system's reuse of
  // freed inodes instead.
  const auto image_folder = [&](int run) {
    const QString folder = dir.filePath(QStringLiteral("images_%1").arg(run));
    QDir().mkpath(folder);
    for (int i = 0; i < images; ++i) {
      write_file_atomically(QDir(folder).filePath(QStringLiteral("img_%1.png").arg(i)), header,
                            ExistingFile::kReplace, Sync::kLater);
    }
    return folder;
  };
  std::mt19937 random(7);
  const std::string json = coco_json(images, objects, random);
  const QString json_path = dir.filePath(QStringLiteral("instances.json"));
  write_file_atomically(json_path, QByteArray::fromStdString(json));
  std::printf("COCO file: %d images, %d objects, %.1f MB\n", images, objects,
              json.size() / 1048576.0);

  ImportSettings settings;
  settings.source_path = json_path;
  std::vector<double> whole, reading, floor;
  ImportReport report;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    std::string text;
    CocoDataset coco;
    QString error;
    if (read_whole_file(json_path, text, &error, kMaxCocoJsonBytes) != ReadStatus::Ok ||
        !read_coco(text, coco, error)) {
      std::fprintf(stderr, "bench_convert: %s\n", qPrintable(error));
      return 1;
    }
    reading.push_back(timer.nsecsElapsed() / 1e9);
    timer.restart();
    settings.images_folder = settings.output_folder = image_folder(run);
    sync_file_system(settings.images_folder);
    timer.restart();
    report = import_dataset(settings);
    whole.push_back(timer.nsecsElapsed() / 1e9);
    // The floor: as many label-sized files written the same way into a new
    // folder, which any import pays in the file system.
    const QString bare = dir.filePath(QStringLiteral("bare_%1").arg(run));
    QDir().mkpath(bare);
    sync_file_system(bare);
    timer.restart();
    const QByteArray lines(400, 'x');
    for (int i = 0; i < images; ++i) {
      write_file_atomically(QDir(bare).filePath(QStringLiteral("img_%1.txt").arg(i)), lines,
                            ExistingFile::kKeep, Sync::kLater);
    }
    floor.push_back(timer.nsecsElapsed() / 1e9);
  }
  if (!report.error.isEmpty() || report.labelled == 0) {
    std::fprintf(stderr, "bench_convert: %s\n", qPrintable(import_report_text(report)));
    return 1;
  }
  std::printf("labelled %d images, %d shapes (%d merged)\n", report.labelled, report.shapes,
              report.merged);
  std::printf("JSON read and checked: %.3f s (median of %d)\n", median(reading), runs);
  std::printf("whole import:          %.3f s (median of %d)\n", median(whole), runs);
  std::printf("writing %d files alone: %.3f s (median of %d)\n", images, median(floor), runs);
  return 0;
}
