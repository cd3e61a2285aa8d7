// Snapshot renderer: each area of the program adds a scene function that
// builds its window state offscreen and saves PNG pictures of it.
#pragma once

#include <QString>

class QWidget;

struct SnapshotContext {
  QString out_dir;   // where the PNG files go
  QString work_dir;  // a scratch folder for images and label files
};

// Lets pending events (layouts, paints) run, then saves `widget` as
// out_dir/<name>.png.
void save_snapshot(const SnapshotContext& context, QWidget* widget, const QString& name);

using SnapshotScene = void (*)(const SnapshotContext&);

// Scenes, one per area; each is defined in its own snapshot_*.cpp.
void snapshot_shell(const SnapshotContext& context);
void snapshot_annotator(const SnapshotContext& context);
void snapshot_dataset_tools(const SnapshotContext& context);
void snapshot_splitter(const SnapshotContext& context);
void snapshot_enricher(const SnapshotContext& context);
void snapshot_training(const SnapshotContext& context);
void snapshot_inference(const SnapshotContext& context);
void snapshot_resizer(const SnapshotContext& context);
