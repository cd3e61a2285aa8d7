// Class change benchmark: builds a folder of 20,000 label files of 10 shapes
// each, then prints the median times of renaming a class (every file read and
// counted, classes.txt written) and of merging one class into another (every
// file read, most rewritten), plan and apply apart, and of the merge's undo.
//
// Usage: bench_class_rename [RUNS [FILES]]   (defaults 5 and 20000)
#include <QCoreApplication>
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

#include "labels/class_edit.h"

using namespace orvane;

namespace {

const QStringList kClasses = {"cat", "dog", "bird", "fish", "horse"};

// Ten shapes as the annotator writes them: rectangles, pentagons and circles.
std::string label_text(std::mt19937& random) {
  static const int kVertices[] = {4, 4, 5, 32, 4, 32, 5, 4, 4, 32};
  std::uniform_real_distribution<double> centre(0.1, 0.9), radius(0.02, 0.1);
  std::string text;
  char number[64];
  for (int shape = 0; shape < 10; ++shape) {
    text += std::to_string(random() % kClasses.size());
    const double cx = centre(random), cy = centre(random), r = radius(random);
    const int n = kVertices[shape];
    for (int v = 0; v < n; ++v) {
      const double angle = 6.283185307179586 * v / n;
      std::snprintf(number, sizeof number, " %.6f %.6f", cx + r * std::cos(angle),
                    cy + r * std::sin(angle));
      text += number;
    }
    text += '\n';
  }
  return text;
}

void write_or_die(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

ClassEditPlan plan_or_die(const QString& folder, const QStringList& labels,
                          const QStringList& classes, const ClassEdit& edit) {
  ClassEditPlan plan = plan_class_edit(folder, labels, classes, edit);
  if (!plan.error.isEmpty()) {
    std::fprintf(stderr, "plan failed: %s\n", qPrintable(plan.error));
    std::exit(1);
  }
  return plan;
}

void apply_or_die(const ClassEditPlan& plan) {
  const ClassEditResult result = apply_class_edit(plan);
  if (!result.error.isEmpty()) {
    std::fprintf(stderr, "apply failed: %s\n", qPrintable(result.error));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;
  QTemporaryDir dir;
  const QString folder = dir.path();
  std::mt19937 random(7);
  QStringList labels;
  for (int i = 0; i < files; ++i) {
    labels << folder + QStringLiteral("/img_%1.txt").arg(i, 6, 10, QLatin1Char('0'));
    write_or_die(labels.back(), QByteArray::fromStdString(label_text(random)));
  }
  write_or_die(folder + QStringLiteral("/classes.txt"),
               QByteArrayLiteral("cat\ndog\nbird\nfish\nhorse\n"));
  std::printf("%d label files of 10 shapes, %d runs (medians, warm cache)\n", files, runs);

  std::vector<double> rename_plan, rename_apply, rename_total, merge_plan, merge_apply, undo;
  QElapsedTimer timer;
  for (int run = 0; run < runs; ++run) {
    QStringList renamed = kClasses;
    renamed[2] = QStringLiteral("owl");
    timer.start();
    const ClassEditPlan rename =
        plan_or_die(folder, labels, kClasses, {ClassEditKind::kRename, 2, -1, "owl", {}});
    const double planned = timer.nsecsElapsed() / 1e6;
    apply_or_die(rename);
    const double total = timer.nsecsElapsed() / 1e6;
    rename_plan.push_back(planned);
    rename_apply.push_back(total - planned);
    rename_total.push_back(total);
    if (run == 0) std::printf("rename: %s\n", qPrintable(rename.summary()));
    apply_or_die(rename.reversed());

    timer.start();
    const ClassEditPlan merge =
        plan_or_die(folder, labels, kClasses, {ClassEditKind::kMerge, 0, 2, {}, {}});
    merge_plan.push_back(timer.nsecsElapsed() / 1e6);
    timer.start();
    apply_or_die(merge);
    merge_apply.push_back(timer.nsecsElapsed() / 1e6);
    if (run == 0) std::printf("merge: %s\n", qPrintable(merge.summary()));
    timer.start();
    apply_or_die(merge.reversed());
    undo.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("rename  plan %8.1f ms  apply %8.1f ms  total %8.1f ms\n", median(rename_plan),
              median(rename_apply), median(rename_total));
  std::printf("merge   plan %8.1f ms  apply %8.1f ms  total %8.1f ms\n", median(merge_plan),
              median(merge_apply), median(merge_plan) + median(merge_apply));
  std::printf("undo of the merge (apply)                 %8.1f ms\n", median(undo));
  return 0;
}
