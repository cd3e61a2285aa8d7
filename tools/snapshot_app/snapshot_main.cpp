// Renders every tab and dialog offscreen to PNG files.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

#include "snapshot.h"

void save_snapshot(const SnapshotContext& context, QWidget* widget, const QString& name) {
  widget->show();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  const QString path = QDir(context.out_dir).filePath(name + QStringLiteral(".png"));
  if (!widget->grab().save(path)) {
    std::fprintf(stderr, "snapshot: cannot write %s\n", qPrintable(path));
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  QTemporaryDir work;
  SnapshotContext context{QDir(QString::fromLocal8Bit(argv[1])).absolutePath(), work.path()};
  QDir().mkpath(context.out_dir);

  const SnapshotScene scenes[] = {snapshot_shell,     snapshot_annotator, snapshot_dataset_tools,
                                  snapshot_splitter,  snapshot_enricher,  snapshot_training,
                                  snapshot_inference, snapshot_resizer};
  for (SnapshotScene scene : scenes) scene(context);
  return 0;
}
