#include "common/process_signals.h"

#include <csignal>

namespace orvane {

void ignore_file_size_signal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace orvane
