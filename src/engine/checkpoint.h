// Whether the engine's checkpoint files are whole. The engine writes weights/last.pt and best.pt
// in place as zip archives; a process ended in the middle of a write leaves a cut file, which
// loads no more.
#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

// True when `path` is a whole zip archive: its end record at the end of the file, its central
// directory where that record says, and each entry's local header where the directory says.
// Any thread.
bool is_whole_checkpoint(const QString& path);

// The checkpoints of the run folder `save_dir` (weights/last.pt, weights/best.pt) that exist but
// are not whole, as full paths. Any thread.
QStringList damaged_checkpoints(const QString& save_dir);

}  // namespace orvane
