// Responsiveness benchmark: drives the real window offscreen through each long
// job on a folder of photographs and prints, per job, the longest stall of the
// event loop (a timer due every 10 ms), the time from Cancel to the job's end,
// and the job's time in the window against the same work called directly.
//
//   responsiveness CORPUS [--images N] [--runs R]
//
// Goals: stall <= 50 ms, cancel <= 1000 ms, window / direct <= 1.05.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <random>
#include <thread>
#include <vector>

#include "annotator/annotator_tab.h"
#include "app/main_window.h"
#include "dataset_tools/health.h"
#include "dataset_tools/split_config_dialog.h"
#include "dataset_tools/split_export.h"
#include "engine/python_engine.h"
#include "enricher/augment.h"
#include "enricher/enricher_tab.h"
#include "enricher/transforms.h"
#include "fixtures/standin_engine.h"
#include "imaging/image_encode.h"
#include "imaging/image_extensions.h"
#include "imaging/source_image.h"
#include "inference/inference_tab.h"
#include "resizer/batch_writer.h"
#include "resizer/resizer_tab.h"
#include "splitter/splitter_tab.h"
#include "splitter/tile_grid.h"
#include "training/live_metrics_page.h"
#include "training/progress_tab.h"
#include "ui/dialogs.h"

using namespace orvane;

namespace {

// Answers every box at once: folders from a queue, the split dialog accepted
// with its defaults, every question with Yes.
class BenchDialogs : public Dialogs {
 public:
  std::deque<QString> folders;
  void information(QWidget*, const QString&, const QString&) override {}
  void warning(QWidget*, const QString&, const QString& text) override { complain(text); }
  void critical(QWidget*, const QString&, const QString& text) override { complain(text); }
  bool question(QWidget*, const QString&, const QString&) override { return true; }
  QString get_existing_directory(QWidget*, const QString&, const QString&) override {
    if (folders.empty()) return {};
    QString folder = folders.front();
    folders.pop_front();
    return folder;
  }
  int exec(QDialog& dialog) override {
    if (auto* config = qobject_cast<SplitConfigDialog*>(&dialog)) {
      config->validate();
      return config->result();
    }
    return QDialog::Rejected;
  }

 private:
  static void complain(const QString& text) {
    std::fprintf(stderr, "responsiveness: %s\n", text.toLocal8Bit().constData());
  }
};

// The longest gap between the firings of a 10 ms timer while it runs.
class StallMeter {
 public:
  StallMeter() {
    timer_.setInterval(10);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
  }
  void start() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
    timer_.start();
  }
  double stop_ms() {
    timer_.stop();
    longest_ = std::max(longest_, clock_.nsecsElapsed() - last_);
    return longest_ / 1e6;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

struct Figures {
  double direct_ms = 0;
  double window_ms = 0;
  double stall_ms = 0;
  double cancel_ms = -1;
};

// Runs `start` and spins the event loop until `finished` fires.
// Output folders of the previous round, emptied before the timing starts.
std::vector<QString> g_pending;

// An output folder: made now if missing, emptied before the next timing.
QString fresh_later(const QTemporaryDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  QDir().mkpath(path);
  g_pending.push_back(path);
  return path;
}

void empty_pending() {
  for (const QString& path : g_pending) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
  }
  g_pending.clear();
}

template <class Tab>
double run_in_window(Tab* tab, const std::function<void()>& start, StallMeter* meter,
                     double* stall_ms) {
  QEventLoop loop;
  QObject::connect(&tab->work(), &orvane::TabWork::job_finished, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  if (meter) meter->start();
  clock.start();
  start();
  if (tab->work().running()) loop.exec();
  const double ms = clock.nsecsElapsed() / 1e6;
  if (meter) *stall_ms = meter->stop_ms();
  return ms;
}

// Starts the job, cancels it once a quarter of `direct_ms` has passed, and
// returns the time from Cancel to the job's end.
template <class Tab>
double cancel_in_window(Tab* tab, const std::function<void()>& start, double direct_ms) {
  QEventLoop loop;
  QObject::connect(&tab->work(), &orvane::TabWork::job_finished, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  start();
  if (!tab->work().running()) return -1;
  // Its own timer: a job that ends first must not fire it after this returns.
  QTimer cancel;
  cancel.setSingleShot(true);
  QObject::connect(&cancel, &QTimer::timeout, tab, [&] {
    clock.start();
    tab->work().cancel_job();
  });
  cancel.start(int(std::max(50.0, direct_ms / 4)));
  loop.exec();
  return clock.isValid() ? clock.nsecsElapsed() / 1e6 : -1;
}

double time_ms(const std::function<void()>& work) {
  QElapsedTimer clock;
  clock.start();
  work();
  return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// `runs` rounds of the direct call and the run in the window, in turn (so a
// busy machine weighs on both alike), then one run cancelled.
template <class Tab>
Figures measure(Tab* tab, int runs, const std::function<void()>& direct,
                const std::function<void()>& start, StallMeter& meter) {
  Figures f;
  std::vector<double> direct_ms, window_ms;
  for (int i = 0; i < runs; ++i) {
    empty_pending();
    direct_ms.push_back(time_ms(direct));
    empty_pending();
    double stall = 0;
    window_ms.push_back(run_in_window(tab, start, &meter, &stall));
    f.stall_ms = std::max(f.stall_ms, stall);
  }
  f.direct_ms = median(direct_ms);
  f.window_ms = median(window_ms);
  empty_pending();
  f.cancel_ms = cancel_in_window(tab, start, f.direct_ms);
  return f;
}

void print(const char* job, const Figures& f) {
  std::printf("%-16s %10.0f %10.0f %8.2f %10.1f %10.0f\n", job, f.direct_ms, f.window_ms,
              f.direct_ms > 0 ? f.window_ms / f.direct_ms : 0.0, f.stall_ms, f.cancel_ms);
  std::fflush(stdout);
}

QString fresh(const QTemporaryDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path;
}

// The enricher's "Simulate Augmentation Frame" on a 20-megapixel picture whose
// label file holds one traced outline of 100,000 points crossing the
// picture's right edge (clamped onto it, as a label file keeps it): the
// frame's skew and turn move it across the edge, and the clipping cuts it.
// Prints the longest stall of the event loop from each click until the frame
// is on the canvas, the median of those times, and the same work called
// directly.
void enricher_preview(OrvaneStudio& window, BenchDialogs& dialogs, const QTemporaryDir& dir,
                      StallMeter& meter, int runs) {
  const QString folder = fresh(dir, QStringLiteral("preview-in"));
  cv::Mat coarse(48, 72, CV_8UC3), picture;
  cv::randu(coarse, cv::Scalar::all(0), cv::Scalar::all(255));
  cv::resize(coarse, picture, cv::Size(5472, 3648), 0, 0, cv::INTER_CUBIC);
  QFile image(folder + QStringLiteral("/traced.jpg"));
  if (!image.open(QIODevice::WriteOnly) ||
      image.write(encode_with_default_settings(picture, ImageFormat::Jpeg).bytes) <= 0) {
    std::fprintf(stderr, "responsiveness: the enricher's picture could not be written\n");
    return;
  }
  image.close();
  QByteArray outline = "0";
  constexpr int kPoints = 100000;
  for (int i = 0; i < kPoints; ++i) {
    const double t = 2 * std::numbers::pi * i / kPoints;
    const double r = 0.3 * (1 + 0.05 * std::sin(40 * t));
    outline += QByteArray(" ") + QByteArray::number(std::min(1.0, 0.85 + r * std::cos(t)), 'f', 6) +
               " " + QByteArray::number(0.5 + r * 1.5 * std::sin(t), 'f', 6);
  }
  QFile label(folder + QStringLiteral("/traced.txt"));
  label.open(QIODevice::WriteOnly);
  label.write(outline + "\n");
  label.close();

  EnricherTab* tab = window.tab_aug;
  window.tabs->setCurrentWidget(tab);
  dialogs.folders.push_back(folder);
  tab->btn_aug_in->click();
  auto generator = std::make_shared<std::mt19937>(1);
  tab->set_random_source([generator] { return std::generate_canonical<double, 32>(*generator); });
  QCoreApplication::processEvents();
  const ShapedImage base = tab->aug_active_base();
  const UniformSource random = make_uniform_source();
  // Clicks `button` and spins the event loop until what it asked for is on the
  // canvas; the longest stall goes to `stall`.
  double stall = 0;
  const auto press_and_wait = [&](QPushButton* button) {
    QElapsedTimer clock;
    meter.start();
    clock.start();
    button->click();
    while (tab->aug_pending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double ms = clock.nsecsElapsed() / 1e6;
    stall = std::max(stall, meter.stop_ms());
    return ms;
  };
  Figures f;
  std::vector<double> direct_ms, window_ms;
  for (int i = 0; i < runs; ++i) {
    direct_ms.push_back(time_ms(
        [&] { simulate_frame(base, draw_augmentation(AugRanges{}, base.image.size(), random)); }));
    window_ms.push_back(press_and_wait(tab->btn_aug_preview));
  }
  f.stall_ms = stall;
  stall = 0;
  f.direct_ms = median(direct_ms);
  f.window_ms = median(window_ms);
  print("enricher preview", f);

  // The manual transforms of the same picture, called directly, and a 90° turn
  // in the window.
  const std::array<QPointF, 4> corners = {QPointF(500, 300), QPointF(5000, 200),
                                          QPointF(5300, 3500), QPointF(300, 3300)};
  const struct {
    const char* name;
    std::function<void()> work;
  } manual[] = {
      {"  crop (direct)", [&] { crop_shaped(base, cv::Rect(200, 100, 5000, 3400)); }},
      {"  warp (direct)", [&] { warp_shaped(base, plan_warp(corners, base.image.size())); }},
      {"  turn (direct)", [&] { rotate_shaped(base, 25); }},
  };
  for (const auto& m : manual) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) ms.push_back(time_ms(m.work));
    Figures direct;
    direct.direct_ms = median(ms);
    print(m.name, direct);
  }
  Figures turn;
  direct_ms.clear();
  window_ms.clear();
  for (int i = 0; i < runs; ++i) {
    direct_ms.push_back(time_ms([&] { rotate_shaped(tab->aug_display(), -90); }));
    window_ms.push_back(press_and_wait(tab->btn_aug_cw));
  }
  turn.direct_ms = median(direct_ms);
  turn.window_ms = median(window_ms);
  turn.stall_ms = stall;
  print("enricher 90° CW", turn);
}
// The Live Metrics page, shown, fed from a thread of its own as a training run feeds it: one
// queued call per epoch, `epochs` of them `pause_us` apart (0: as fast as the thread can send,
// so that they pile up), every measure of a segmentation run; then an AutoML search's list of
// trials sent whole each time it grows, up to `trials`. The window time runs until the page
// has taken the last of them.
Figures live_metrics_run(OrvaneStudio& window, StallMeter& meter, int epochs, int pause_us,
                         int trials) {
  LiveMetricsPage* page = window.tab_progress->live_metrics;
  window.tabs->setCurrentWidget(window.tab_progress);
  window.tab_progress->tabs_analytics->setCurrentWidget(page);
  page->clear_epochs();
  page->clear_trials();
  page->show_search(trials > 0);
  QCoreApplication::processEvents();
  const auto epoch_values = [](int epoch) {
    EpochMetrics metrics{epoch, {}};
    const double fall = std::exp(-0.002 * epoch), wobble = 0.03 * std::sin(1.7 * epoch);
    for (Measure measure : all_measures()) {
      const int index = static_cast<int>(measure);
      metrics.values[measure] = measure < Measure::Precision ? (1 + index % 4) * fall + wobble
                                : measure < Measure::LrPg0   ? 1 - 0.8 * fall + wobble
                                                             : 0.01 * fall;
    }
    return metrics;
  };
  const int steps = 20;
  QEventLoop loop;
  Figures f;
  QElapsedTimer clock;
  meter.start();
  clock.start();
  std::thread sender([&] {
    for (int epoch = 1; epoch <= epochs; ++epoch) {
      QMetaObject::invokeMethod(
          page, [page, metrics = epoch_values(epoch)] { page->add_epoch(metrics); },
          Qt::QueuedConnection);
      if (pause_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(pause_us));
    }
    TrialResults list;
    for (int step = 1; trials > 0 && step <= steps; ++step) {
      while (list.size() < qsizetype(trials) * step / steps) {
        const int trial = int(list.size()) + 1;
        list << TrialResult{trial, 0.5 + 0.3 * std::sin(0.01 * trial), 0.01, 0.1};
      }
      QMetaObject::invokeMethod(
          page, [page, list] { page->set_trials(list); }, Qt::QueuedConnection);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  sender.join();
  f.window_ms = clock.nsecsElapsed() / 1e6;
  // Whatever the page left for a later turn of the event loop counts too.
  QTimer::singleShot(200, &loop, &QEventLoop::quit);
  loop.exec();
  f.stall_ms = meter.stop_ms();
  if (page->history().epochs().size() != size_t(epochs) || page->trials().size() != trials)
    std::fprintf(stderr, "responsiveness: the page holds %d epochs and %d trials\n",
                 int(page->history().epochs().size()), int(page->trials().size()));
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.isEmpty()) {
    std::fprintf(stderr, "usage: responsiveness CORPUS [--images N] [--runs R]\n");
    return 2;
  }
  int limit = 12;
  int runs = 3;
  for (qsizetype i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QLatin1String("--images")) limit = args[i + 1].toInt();
    if (args[i] == QLatin1String("--runs")) runs = std::max(1, args[i + 1].toInt());
  }
  QStringList images;
  for (const QString& name : QDir(args[0]).entryList(QDir::Files, QDir::Name)) {
    if (name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)) {
      images << QDir(args[0]).filePath(name);
    }
  }
  images = images.mid(0, limit);
  if (images.isEmpty()) {
    std::fprintf(stderr, "responsiveness: no JPEG photographs in %s\n", qPrintable(args[0]));
    return 2;
  }
  QTemporaryDir dir;
  auto dialogs_owner = std::make_unique<BenchDialogs>();
  BenchDialogs* dialogs = dialogs_owner.get();
  OrvaneStudio window(std::make_unique<PythonEngine>(standin_options()));
  window.set_dialogs(std::move(dialogs_owner));
  window.show();
  QCoreApplication::processEvents();
  StallMeter meter;

  std::printf("%d photographs, offscreen\n", int(images.size()));
  std::printf("%-16s %10s %10s %8s %10s %10s\n", "job", "direct ms", "window ms", "ratio",
              "stall ms", "cancel ms");

  // Resizer: width 1000, JPEG, 200 KB ceiling.
  {
    ResizerTab* tab = window.tab_resizer;
    tab->resizer_queue = images;
    tab->resizer_update_queue_ui();
    tab->chk_enable_dim->setChecked(true);
    tab->entry_resize_w->setText(QStringLiteral("1000"));
    tab->combo_resizer_format->setCurrentText(QStringLiteral("JPEG"));
    tab->chk_enable_comp->setChecked(true);
    tab->entry_target_kb->setText(QStringLiteral("200"));
    BatchSettings settings;  // as the fields above say
    settings.size.width_text = QStringLiteral("1000");
    settings.format_choice = QStringLiteral("JPEG");
    settings.limit_size = true;
    settings.target_kb_text = QStringLiteral("200");
    const auto start = [&] {
      dialogs->folders.push_back(fresh_later(dir, QStringLiteral("resized")));
      tab->btn_run_resizer->click();
    };
    print("resizer", measure(
                         tab, runs,
                         [&] {
                           run_resize_batch(images, *parse_batch_settings(settings).settings,
                                            fresh_later(dir, QStringLiteral("resized-direct")));
                         },
                         start, meter));
  }

  // Splitter: 4 parts as 2 x 2, in part folders.
  const QString split_in = fresh(dir, QStringLiteral("split-in"));
  for (const QString& image : images) {
    QFile::link(image, split_in + QLatin1Char('/') + QFileInfo(image).fileName());
  }
  {
    SplitterTab* tab = window.tab_splitter;
    tab->entry_split_in->setText(split_in);
    tab->spin_split_parts->setValue(4);
    tab->combo_grid_mode->setCurrentText(QStringLiteral("2 Rows x 2 Cols"));
    SplitSettings settings;
    settings.out_dir = dir.filePath(QStringLiteral("tiles-direct"));
    settings.grid = {2, 2};
    const QStringList files = gather_split_images(split_in);
    const auto start = [&] {
      tab->entry_split_out->setText(fresh_later(dir, QStringLiteral("tiles")));
      tab->btn_split->click();
    };
    print("splitter", measure(
                          tab, runs,
                          [&] {
                            fresh_later(dir, QStringLiteral("tiles-direct"));
                            split_images(files, settings);
                          },
                          start, meter));
  }

  // Enricher: 8 variants of the first photograph.
  {
    EnricherTab* tab = window.tab_aug;
    dialogs->folders.push_back(split_in);
    tab->btn_aug_in->click();
    tab->spin_aug_gen_count->setValue(8);
    const cv::Mat base = read_source_file(gather_split_images(split_in).value(0)).image;
    const auto start = [&] {
      dialogs->folders.push_back(fresh_later(dir, QStringLiteral("variants")));
      tab->btn_aug_out->click();
      tab->btn_aug_enrich->click();
    };
    print("enricher", measure(
                          tab, runs,
                          [&] {
                            enrich_batch(base, AugRanges{}, 8, make_uniform_source(),
                                         fresh_later(dir, QStringLiteral("variants-direct")), 1);
                          },
                          start, meter));
  }

  // The dataset tools on the photographs with a label file each.
  const QString dataset = fresh(dir, QStringLiteral("dataset"));
  QStringList dataset_images;
  for (int copy = 0; copy < 20; ++copy) {  // many small pairs: the export's own cost
    for (const QString& image : images) {
      const QString name = QStringLiteral("%1_%2").arg(copy).arg(QFileInfo(image).fileName());
      const QString path = dataset + QLatin1Char('/') + name;
      QFile::link(image, path);
      QFile label(dataset + QLatin1Char('/') + QFileInfo(name).completeBaseName() +
                  QStringLiteral(".txt"));
      label.open(QIODevice::WriteOnly);
      label.write("0 0.1 0.1 0.4 0.1 0.4 0.5\n0 0.5 0.5 0.2 0.2\n");
      dataset_images << path;
    }
  }
  dataset_images.sort();
  AnnotatorTab* annotator = window.tab_workspace;
  annotator->image_folder = dataset;
  annotator->image_paths = dataset_images;
  annotator->classes = {QStringLiteral("object")};
  {
    const auto direct = [&] {
      const SplitAssignment split = assign_split(collect_annotated_pairs(dataset_images), 0.7, 0.2,
                                                 shuffle_with_process_generator);
      export_split_dataset(fresh_later(dir, QStringLiteral("export-direct")), split,
                           LabelFormat::Detection, {QStringLiteral("object")});
    };
    const auto start = [&] {
      dialogs->folders.push_back(fresh_later(dir, QStringLiteral("export")));
      annotator->export_and_split_dataset();
    };
    print("export", measure(annotator, runs, direct, start, meter));
  }
  // The health check reads label files only: a large folder of them, with
  // empty image files.
  const QString labelled = fresh(dir, QStringLiteral("labelled"));
  for (int i = 0; i < 20000; ++i) {
    QFile(labelled + QStringLiteral("/%1.jpg").arg(i)).open(QIODevice::WriteOnly);
    QFile label(labelled + QStringLiteral("/%1.txt").arg(i));
    label.open(QIODevice::WriteOnly);
    label.write("0 0.1 0.1 0.4 0.1 0.4 0.5\n0 0.5 0.5 0.2 0.2\n0 0.5 0.5 0.2 0.21\n");
  }
  annotator->image_folder = labelled;
  {
    const auto direct = [&] {
      DatasetListing listing;
      QString error;
      list_dataset_folder(labelled, listing, error);
      check_dataset_health(labelled, listing);
    };
    const auto start = [&] { annotator->run_health_check(); };
    print("health check", measure(annotator, runs, direct, start, meter));
  }
  // The viewer with the stand-in engine: the model loaded, then each
  // photograph predicted (300 ms each in the engine) and shown, in turn.
  {
    InferenceTab* tab = window.tab_inference;
    window.tabs->setCurrentWidget(tab);
    QFile model(dir.filePath(QStringLiteral("best.pt")));
    model.open(QIODevice::WriteOnly);
    model.write(R"({"standin_model": 1, "predict_delay": 0.3})");
    model.close();
    tab->entry_inf_weights->setText(model.fileName());
    tab->entry_inf_folder->setText(split_in);
    QEventLoop shown;
    QObject::connect(tab, &InferenceTab::prediction_finished, &shown, &QEventLoop::quit);
    Figures f;
    QElapsedTimer clock;
    meter.start();
    clock.start();
    tab->init_inference();
    shown.exec();
    for (int i = 0; i < std::min<int>(8, int(images.size())); ++i) {
      tab->inf_next_image();
      shown.exec();
    }
    f.window_ms = clock.nsecsElapsed() / 1e6;
    f.stall_ms = meter.stop_ms();
    print("viewer (engine)", f);
  }
  enricher_preview(window, *dialogs, dir, meter, runs);
  // Live Metrics: 10,000 epochs 1 ms apart, the same all at once, then 100,000 trials.
  print("live 10k epochs", live_metrics_run(window, meter, 10000, 1000, 0));
  print("live 10k burst", live_metrics_run(window, meter, 10000, 0, 0));
  print("live 100k trials", live_metrics_run(window, meter, 0, 0, 100000));
  std::printf("goals: stall <= 50 ms, cancel <= 1000 ms, ratio <= 1.05\n");
  return 0;
}
