// The resizer's batch, run on every image of a folder the way the tab runs it:
//
//   resizer IN OUT [--width 1000] [--dpi 300] [--max-kb 200]
//           [--format JPEG|PNG|WEBP] [--rotate 0|90|180|270] [--threads N]
//
// Width in pixels with the aspect ratio locked; --max-kb 0 turns the size
// ceiling off. Prints the files written, the wall time and the images per
// second; exits 1 when a file failed.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

#include "resizer/batch_writer.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: resizer IN OUT [--width 1000] [--dpi 300] [--max-kb 200] "
               "[--format JPEG|PNG|WEBP] [--rotate 0|90|180|270] [--threads N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  QStringList positional;
  QString width = QStringLiteral("1000"), dpi = QStringLiteral("300"),
          max_kb = QStringLiteral("200"), format = QStringLiteral("JPEG"),
          rotate = QStringLiteral("0");
  int threads = 0;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (!a.startsWith(QStringLiteral("--"))) {
      positional.append(a);
      continue;
    }
    if (i + 1 >= args.size()) return usage();
    const QString value = args[++i];
    if (a == QStringLiteral("--width")) {
      width = value;
    } else if (a == QStringLiteral("--dpi")) {
      dpi = value;
    } else if (a == QStringLiteral("--max-kb")) {
      max_kb = value;
    } else if (a == QStringLiteral("--format")) {
      format = value.toUpper();
    } else if (a == QStringLiteral("--rotate")) {
      rotate = value;
    } else if (a == QStringLiteral("--threads")) {
      threads = value.toInt();
    } else {
      return usage();
    }
  }
  if (positional.size() != 2) return usage();

  const QDir in(positional[0]);
  QStringList queue;
  for (const QString& name : in.entryList(QDir::Files, QDir::Name)) {
    static const QStringList suffixes = {"jpg", "jpeg", "png", "webp", "bmp"};
    if (suffixes.contains(QFileInfo(name).suffix().toLower())) queue.append(in.filePath(name));
  }
  QDir().mkpath(positional[1]);

  orvane::BatchSettings settings;
  settings.size.width_text = width;
  settings.size.unit = QStringLiteral("px");
  settings.size.lock_aspect = true;
  settings.dpi = dpi.toDouble();
  settings.rotation = rotate.toInt();
  settings.format_choice = format;
  settings.limit_size = max_kb.toDouble() > 0;
  settings.target_kb_text = max_kb;
  const orvane::ParsedBatchSettings parsed = orvane::parse_batch_settings(settings);
  if (!parsed.settings) {
    std::fprintf(stderr, "%s\n", qPrintable(parsed.error));
    return 2;
  }

  QElapsedTimer timer;
  timer.start();
  const orvane::BatchReport report =
      orvane::run_resize_batch(queue, *parsed.settings, positional[1], {}, threads);
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf(
      "files\t%d\nwritten\t%d\nfailed\t%lld\nabove ceiling\t%d\nseconds\t%.3f\n"
      "images/s\t%.2f\n",
      report.total, report.written, static_cast<long long>(report.failures.size()),
      report.over_limit, seconds, report.total / seconds);
  return report.failures.isEmpty() ? 0 : 1;
}
