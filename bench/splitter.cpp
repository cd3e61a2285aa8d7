// Tile splitter benchmark: the tab's batch over a folder.
//   splitter IN OUT --rows R --cols C [--no-subfolders]
// Prints the tab's closing message and the wall time.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "splitter/tile_grid.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString in_dir;
  QString out_dir;
  orvane::SplitSettings settings;
  int rows = 0;
  int cols = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
      rows = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--cols") == 0 && i + 1 < argc) {
      cols = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--no-subfolders") == 0) {
      settings.subfolders = false;
    } else if (in_dir.isEmpty()) {
      in_dir = QString::fromLocal8Bit(argv[i]);
    } else {
      out_dir = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (in_dir.isEmpty() || out_dir.isEmpty() || rows < 1 || cols < 1) {
    std::fprintf(stderr, "usage: %s IN OUT --rows R --cols C [--no-subfolders]\n", argv[0]);
    return 2;
  }
  settings.out_dir = out_dir;
  settings.grid = {rows, cols};

  QElapsedTimer timer;
  timer.start();
  const QStringList files = orvane::gather_split_images(in_dir);
  const orvane::SplitOutcome outcome = orvane::split_images(files, settings);
  const double seconds = timer.nsecsElapsed() / 1e9;
  if (!outcome.folder_error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(outcome.folder_error));
    return 1;
  }
  std::printf("Split %d images into %d tile parts.\n", outcome.images, outcome.tiles);
  for (const QString& failure : outcome.failures) std::printf("failed: %s\n", qPrintable(failure));
  std::printf("wall %.3f s\n", seconds);
  return outcome.failures.isEmpty() ? 0 : 1;
}
