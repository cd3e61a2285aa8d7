// The per-epoch progress report and its estimated time to completion.
#pragma once

#include <QString>

namespace orvane {

struct EpochReport {
  int percent = 0;
  QString text;  // "Epoch 1/3 (33%) | ETA: 00:01:20"
};

// Seconds as "%H:%M:%S" of the clock time that many seconds after midnight: whole seconds,
// rounded down; hours wrap at 24.
QString format_eta(double seconds);

// The report after `finished` of `total` epochs, `elapsed` seconds after the start: the mean
// duration so far times the epochs left. Any ints: the percentage stays within 0...100 and
// the estimate is 0 once `finished` reaches `total`
// (or for a `total` of no epochs).
EpochReport epoch_report(int finished, int total, double elapsed);

}  // namespace orvane
