#include "snapshot.h"

// The annotator with a loaded folder is added with the annotator tab.
void snapshot_annotator(const SnapshotContext&) {}
