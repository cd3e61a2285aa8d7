#include "training/eta.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orvane {

QString format_eta(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  // The time of day first, in doubles: a whole number of seconds beyond 2^63 has no integer.
  double day = std::fmod(std::floor(seconds), 86400.0);
  if (day < 0) day += 86400;
  const int whole = static_cast<int>(day);
  return QStringLiteral("%1:%2:%3")
      .arg(whole / 3600, 2, 10, QLatin1Char('0'))
      .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

EpochReport epoch_report(int finished, int total, double elapsed) {
  EpochReport report;
  // In 64 bits and doubles: an epoch near the top of int overflows a difference or a percentage
  // in int. The bar never leaves 0...100; no time is left past the last epoch, nor in a run of
  // no epochs.
  const std::int64_t done = finished, all = total;
  if (all > 0)
    report.percent =
        static_cast<int>(std::clamp(static_cast<double>(done) / all * 100, 0.0, 100.0));
  const double left = all > 0 ? static_cast<double>(std::max<std::int64_t>(all - done, 0)) : 0;
  const double remaining = left * (elapsed / static_cast<double>(std::max<std::int64_t>(done, 1)));
  report.text = QStringLiteral("Epoch %1/%2 (%3%) | ETA: %4")
                    .arg(finished)
                    .arg(total)
                    .arg(report.percent)
                    .arg(format_eta(remaining));
  return report;
}

}  // namespace orvane
