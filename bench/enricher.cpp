// Enricher benchmark: the tab's batch on one image with the default ranges.
//   enricher IMAGE OUT [--n 50]
// A label file beside the image is carried into every variant, as the tab
// does. Prints the tab's closing message and the wall time (decoding and the
// label file's reading included).
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "enricher/augment.h"
#include "imaging/source_image.h"
#include "labels/label_carry.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString image_path;
  QString out_dir;
  int n = 50;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--n") == 0 && i + 1 < argc) {
      n = std::atoi(argv[++i]);
    } else if (image_path.isEmpty()) {
      image_path = QString::fromLocal8Bit(argv[i]);
    } else {
      out_dir = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (image_path.isEmpty() || out_dir.isEmpty() || n < 1) {
    std::fprintf(stderr, "usage: %s IMAGE OUT [--n 50]\n", argv[0]);
    return 2;
  }

  QElapsedTimer timer;
  timer.start();
  // Decoded as the tab decodes the image it loads.
  const orvane::SourceImage decoded = orvane::read_source_file(image_path);
  if (decoded.image.empty()) {
    std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(image_path), qPrintable(decoded.error));
    return 1;
  }
  const cv::Mat base = orvane::as_bgr(decoded.image);
  const orvane::SourceClasses classes = orvane::read_source_classes(QFileInfo(image_path).path());
  orvane::SourceLabels labels =
      orvane::read_source_labels(image_path, QSize(base.cols, base.rows), classes);
  std::optional<orvane::VariantLabels> carried;
  if (labels.found && labels.error.isEmpty())
    carried = orvane::VariantLabels{std::move(labels.shapes), classes.names};
  QDir().mkpath(out_dir);
  const orvane::EnrichOutcome outcome = orvane::enrich_batch(
      base,
      orvane::draw_variants(orvane::AugRanges{}, n, base.size(), orvane::make_uniform_source()),
      out_dir, QDateTime::currentSecsSinceEpoch(), nullptr, carried ? &*carried : nullptr);
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf("Enrichment complete! Saved %d variant(s) of the manipulated image.\n",
              outcome.saved);
  if (outcome.label_files > 0) std::printf("labels carried: %d\n", outcome.label_files);
  for (const QString& failure : outcome.failures) std::printf("failed: %s\n", qPrintable(failure));
  std::printf("wall %.3f s\n", seconds);
  return outcome.failures.isEmpty() ? 0 : 1;
}
