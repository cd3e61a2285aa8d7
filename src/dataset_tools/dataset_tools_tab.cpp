// Temporary stubs until the dataset tools land.
#include "app/app_core.h"

void OrvaneStudio::run_health_check() {}
void OrvaneStudio::show_dataset_analytics() {}
void OrvaneStudio::export_and_split_dataset() {}
