// Annotator benchmark: drives the real window offscreen over a corpus built in
// a temporary folder and prints the medians of several runs:
//   - load_directory of 20,000 small images with 10,000 label files, until the
//     first image is shown;
//   - next image for a big JPEG with 200 shapes: decoded on demand, and
//     already read ahead (with the peak memory), against cv::imdecode of that
//     file alone, the three taken in turn;
//   - a label file of 5,000 shapes of 32 vertices read and shown, and saved;
//   - selecting a row in a table of 2,000 shapes.
// Usage: bench_annotator [big.jpg] [--runs N]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsPolygonItem>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "annotator/annotator_tab.h"
#include "annotator/image_read_ahead.h"
#include "app/main_window.h"
#include "canvas/zoomable_view.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Answers every folder dialog with one folder and nothing else.
class FolderDialogs : public Dialogs {
 public:
  QString folder;
  QString get_existing_directory(QWidget*, const QString&, const QString&) override {
    return folder;
  }
  void critical(QWidget*, const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
};

bool write_bytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray encode(const cv::Mat& image, const char* ext, std::vector<int> params = {}) {
  std::vector<uchar> bytes;
  cv::imencode(ext, image, bytes, params);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray read_bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// `count` polygons of `vertices` vertices each, spread over the image, as a
// label file with class ids 0..2.
QByteArray label_text(int count, int vertices, std::mt19937& rng) {
  std::uniform_real_distribution<double> centre(0.05, 0.95);
  std::uniform_real_distribution<double> radius(0.005, 0.04);
  QByteArray text;
  char buffer[32];
  for (int i = 0; i < count; ++i) {
    const double cx = centre(rng), cy = centre(rng), r = radius(rng);
    text += QByteArray::number(i % 3);
    for (int k = 0; k < vertices; ++k) {
      const double a = 2 * M_PI * k / vertices;
      std::snprintf(buffer, sizeof buffer, " %.6f %.6f", std::clamp(cx + r * std::cos(a), 0.0, 1.0),
                    std::clamp(cy + r * std::sin(a), 0.0, 1.0));
      text += buffer;
    }
    text += '\n';
  }
  return text;
}

// A 6000 x 4000 picture with smooth gradients and some noise, at quality 90:
// about as hard to decode as a photograph.
QByteArray synthesise_24mp_jpeg() {
  cv::Mat image(4000, 6000, CV_8UC3);
  for (int y = 0; y < image.rows; ++y) {
    auto* row = image.ptr<cv::Vec3b>(y);
    for (int x = 0; x < image.cols; ++x) {
      row[x] = cv::Vec3b(static_cast<uchar>(x * 255 / image.cols),
                         static_cast<uchar>(y * 255 / image.rows),
                         static_cast<uchar>(((x / 200) + (y / 200)) % 2 ? 200 : 60));
    }
  }
  cv::Mat noise(image.size(), CV_8UC3);
  cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(12));
  cv::add(image, noise, image);
  cv::GaussianBlur(image, image, cv::Size(3, 3), 0);
  cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
  cv::add(image, noise, image);
  return encode(image, ".jpg", {cv::IMWRITE_JPEG_QUALITY, 90});
}

struct Window {
  std::unique_ptr<OrvaneStudio> studio = std::make_unique<OrvaneStudio>();
  FolderDialogs* dialogs = nullptr;

  Window() {
    auto owned = std::make_unique<FolderDialogs>();
    dialogs = owned.get();
    studio->set_dialogs(std::move(owned));
    studio->tabs->setCurrentWidget(studio->tab_workspace);
    studio->show();
    settle();
  }
  void load(const QString& folder) {
    dialogs->folder = folder;
    studio->tab_workspace->load_directory();
  }
  // Lets the pending layout and paint events run: the image is on screen.
  static void settle() { QCoreApplication::processEvents(); }
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Paint;
    return false;
  }
};

// Resets the process's peak resident size (VmHWM), so it covers what follows.
void reset_peak_memory() {
  QFile file(QStringLiteral("/proc/self/clear_refs"));
  if (!file.open(QIODevice::WriteOnly) || file.write("5") != 1)
    std::fprintf(stderr, "cannot reset the peak memory figure\n");
}

// A "VmRSS:" or "VmHWM:" line of /proc/self/status, in MB.
double memory_mb(const char* key) {
  QFile file(QStringLiteral("/proc/self/status"));
  if (!file.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.startsWith(key)) {
      return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ')[0].toDouble() /
             1024.0;
    }
  }
  return -1;
}

void print_row(const char* what, double value, const char* goal) {
  std::printf("  %-52s %9.1f ms   (%s)\n", what, value, goal);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString jpeg_path;
  int runs = 7;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      jpeg_path = QString::fromLocal8Bit(argv[i]);
    }
  }

  QTemporaryDir work;
  if (!work.isValid()) return 1;
  std::mt19937 rng(42);
  std::printf("building the corpus in %s ...\n", qPrintable(work.path()));
  std::fflush(stdout);

  // 1. 20,000 small images, every other one with a label file.
  const QString big_folder = work.filePath(QStringLiteral("folder_20000"));
  QDir().mkpath(big_folder);
  {
    cv::Mat small(48, 64, CV_8UC3);
    cv::randu(small, 0, 255);
    const QByteArray small_jpeg = encode(small, ".jpg");
    const QByteArray labels = label_text(3, 8, rng);
    for (int i = 0; i < 20000; ++i) {
      const QString stem =
          QStringLiteral("%1/frame_%2").arg(big_folder).arg(i, 5, 10, QLatin1Char('0'));
      write_bytes(stem + QStringLiteral(".jpg"), small_jpeg);
      if (i % 2 == 0) write_bytes(stem + QStringLiteral(".txt"), labels);
    }
    write_bytes(big_folder + QStringLiteral("/classes.txt"), "a\nb\nc\n");
  }

  // 2. Three copies of the big JPEG with 200 shapes each: stepping between the
  // first two keeps all three decoded.
  const QString photo_folder = work.filePath(QStringLiteral("photos"));
  QDir().mkpath(photo_folder);
  const QByteArray photo = jpeg_path.isEmpty() ? synthesise_24mp_jpeg() : read_bytes(jpeg_path);
  if (photo.isEmpty()) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(jpeg_path));
    return 1;
  }
  for (const char* name : {"photo_a", "photo_b", "photo_c"}) {
    write_bytes(QStringLiteral("%1/%2.jpg").arg(photo_folder, QLatin1String(name)), photo);
    write_bytes(QStringLiteral("%1/%2.txt").arg(photo_folder, QLatin1String(name)),
                label_text(200, 12, rng));
  }
  write_bytes(photo_folder + QStringLiteral("/classes.txt"), "a\nb\nc\n");

  // 3. 5,000 shapes of 32 vertices; 4. 2,000 shapes.
  const QString dense_folder = work.filePath(QStringLiteral("dense"));
  QDir().mkpath(dense_folder);
  {
    cv::Mat picture(720, 1280, CV_8UC3, cv::Scalar(90, 120, 200));
    const QByteArray picture_jpeg = encode(picture, ".jpg");
    write_bytes(dense_folder + QStringLiteral("/d5000.jpg"), picture_jpeg);
    write_bytes(dense_folder + QStringLiteral("/d5000.txt"), label_text(5000, 32, rng));
    write_bytes(dense_folder + QStringLiteral("/t2000.jpg"), picture_jpeg);
    write_bytes(dense_folder + QStringLiteral("/t2000.txt"), label_text(2000, 32, rng));
    write_bytes(dense_folder + QStringLiteral("/classes.txt"), "a\nb\nc\n");
  }

  Window window;
  AnnotatorTab& studio = *window.studio->tab_workspace;
  std::printf("measuring, %d runs each (medians; window offscreen, shown) ...\n", runs);
  std::fflush(stdout);

  // 1. Load the big folder.
  std::vector<double> load_times;
  for (int i = 0; i < runs + 1; ++i) {
    window.load(photo_folder);  // something else shown before each run
    Window::settle();
    const auto start = Clock::now();
    window.load(big_folder);
    Window::settle();
    if (i > 0) load_times.push_back(ms_since(start));
  }
  if (studio.image_paths.size() != 20000 || studio.display_cv_img.empty()) {
    std::fprintf(stderr, "the big folder did not load\n");
    return 1;
  }

  // 2. Next image with the big JPEGs, three ways in turn, so that a change of
  // load on the machine weighs on each alike: decoding alone; a step with
  // nothing read ahead (decoded on demand); a step to an image read ahead.
  reset_peak_memory();
  const double rss_before = memory_mb("VmRSS:");
  window.load(photo_folder);
  Window::settle();
  ImageReadAhead& read_ahead = studio.image_read_ahead();
  PaintCounter paints;
  studio.canvas_view->viewport()->installEventFilter(&paints);
  int most_held = 0;
  std::vector<double> decode_times, next_times, ahead_times, ahead_call_times;
  auto step = [&](bool read_ahead_first, double* call_ms) {
    if (read_ahead_first) {
      if (!read_ahead.wait_until_idle(60000)) std::fprintf(stderr, "read ahead: timed out\n");
      most_held = std::max(most_held, read_ahead.held());
    } else {
      read_ahead.reset();
    }
    const int painted = paints.count;
    const auto start = Clock::now();
    (studio.current_idx == 0 ? studio.btn_next_img : studio.btn_prev_img)->click();
    if (call_ms) *call_ms = ms_since(start);
    Window::settle();
    const double total = ms_since(start);
    if (paints.count == painted) std::fprintf(stderr, "the step painted nothing\n");
    return total;
  };
  for (int i = 0; i < runs + 1; ++i) {
    const auto start = Clock::now();
    const cv::Mat encoded(1, static_cast<int>(photo.size()), CV_8UC1,
                          const_cast<char*>(photo.constData()));
    const cv::Mat decoded = cv::imdecode(encoded, cv::IMREAD_COLOR);
    const double decode = ms_since(start);
    if (decoded.empty()) return 1;
    const double on_demand = step(false, nullptr);
    double call = 0;
    const double ahead = step(true, &call);
    if (i == 0) continue;
    decode_times.push_back(decode);
    next_times.push_back(on_demand);
    ahead_times.push_back(ahead);
    ahead_call_times.push_back(call);
  }
  read_ahead.wait_until_idle(60000);
  const double rss_peak = memory_mb("VmHWM:");
  const double image_mb = studio.display_cv_img.total() * 3 / 1e6;
  const cv::Size photo_size = studio.display_cv_img.size();
  studio.canvas_view->viewport()->removeEventFilter(&paints);
  if (studio.annotations.size() != 200) {
    std::fprintf(stderr, "the photo shapes did not load (%zu)\n", studio.annotations.size());
    return 1;
  }

  // 3. 5,000 shapes read and shown; saved.
  window.load(dense_folder);
  Window::settle();
  std::vector<double> read_times, save_times;
  for (int i = 0; i < runs + 1; ++i) {
    const auto start = Clock::now();
    studio.load_current_image();
    Window::settle();
    if (i > 0) read_times.push_back(ms_since(start));
  }
  if (studio.annotations.size() != 5000) {
    std::fprintf(stderr, "the dense shapes did not load (%zu)\n", studio.annotations.size());
    return 1;
  }
  for (int i = 0; i < runs + 1; ++i) {
    // An unchanged file is not written: one shape is moved a pixel each time.
    studio.annotations[0].item->setPos(i % 2, 0);
    const auto start = Clock::now();
    studio.save_current_annotations();
    if (i > 0) save_times.push_back(ms_since(start));
  }

  // 4. Row selection in a table of 2,000 shapes.
  studio.next_image();
  Window::settle();
  if (studio.annotations.size() != 2000) {
    std::fprintf(stderr, "the table shapes did not load (%zu)\n", studio.annotations.size());
    return 1;
  }
  std::vector<double> select_times;
  std::uniform_int_distribution<int> any_row(0, 1999);
  for (int i = 0; i < 10 * runs + 1; ++i) {
    const int row = any_row(rng);
    const auto start = Clock::now();
    studio.table_objects->selectRow(row);
    Window::settle();
    if (i > 0) select_times.push_back(ms_since(start));
  }

  const double decode = median(decode_times);
  const double next = median(next_times);
  const double ahead = median(ahead_times);
  std::printf("\nresults (median of %d runs; the first run of each is a warm-up):\n", runs);
  print_row("load_directory 20,000 images / 10,000 labels", median(load_times), "goal < 1000 ms");
  std::printf("  big JPEG %d x %d (%.1f MP) + 200 shapes, the three in turn:\n", photo_size.width,
              photo_size.height, photo_size.area() / 1e6);
  print_row("cv::imdecode of the JPEG alone", decode, "reference");
  print_row("step decoded on demand, click to painted", next, "baseline");
  print_row("step to an image read ahead, click to painted", ahead, "goal <= 25 ms");
  print_row("  of which the click itself", median(ahead_call_times), "");
  std::printf("  %-52s %9.2f x\n", "ratio on demand / imdecode", next / decode);
  std::printf("  %-52s %9.3f x\n", "ratio read ahead / on demand", ahead / next);
  std::printf("  %-52s %9.0f MB   (RSS before the folder %.0f MB; one image %.0f MB)\n",
              "peak memory (VmHWM) while stepping", rss_peak, rss_before, image_mb);
  std::printf("  %-52s %9d\n", "most decoded images held", most_held);
  print_row("5,000 x 32-vertex shapes read and shown", median(read_times), "goal < 150 ms");
  print_row("5,000 x 32-vertex shapes saved", median(save_times), "goal < 50 ms");
  print_row("select a row, table of 2,000 shapes, painted", median(select_times), "goal < 30 ms");
  std::printf("(big JPEG: %s, %.1f MB)\n",
              jpeg_path.isEmpty() ? "synthesised 6000 x 4000, quality 90" : qPrintable(jpeg_path),
              photo.size() / 1e6);
  window.studio.reset();
  return 0;
}
