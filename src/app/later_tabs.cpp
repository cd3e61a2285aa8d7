// Pages whose contents are built by later tabs of the workstation.
#include "app/app_core.h"

namespace orvane {

void OrvaneStudio::setup_resizer_tab() {}
void OrvaneStudio::setup_splitter_tab() {}
void OrvaneStudio::setup_aug_tab() {}
void OrvaneStudio::setup_config_tab() {}
void OrvaneStudio::setup_progress_tab() {}
void OrvaneStudio::setup_inference_tab() {}

}  // namespace orvane
