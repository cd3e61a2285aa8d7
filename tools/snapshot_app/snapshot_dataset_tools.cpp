#include "snapshot.h"

// The split and analytics dialogs are added with the dataset tools.
void snapshot_dataset_tools(const SnapshotContext&) {}
