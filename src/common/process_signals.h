// Signals whose default action would end the whole program where a failed
// call is the answer we want.
#pragma once

namespace orvane {

// A write beyond the process's file-size limit (`ulimit -f`) raises SIGXFSZ,
// which by default kills the program with the write half done. Ignored, the
// write fails with EFBIG instead, and is reported as a full disk is. Call
// once at start-up, before any thread starts.
void ignore_file_size_signal();

}  // namespace orvane
