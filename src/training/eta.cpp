#include "training/eta.h"

#include <algorithm>
#include <cmath>

namespace orvane {

QString format_eta(double seconds) {
  if (!std::isfinite(seconds)) seconds = 0;
  const long long whole = static_cast<long long>(std::floor(seconds));
  const long long day = ((whole % 86400) + 86400) % 86400;
  return QStringLiteral("%1:%2:%3")
      .arg(day / 3600, 2, 10, QLatin1Char('0'))
      .arg(day / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(day % 60, 2, 10, QLatin1Char('0'));
}

EpochReport epoch_report(int finished, int total, double elapsed) {
  EpochReport report;
  report.percent = total > 0 ? static_cast<int>(double(finished) / total * 100) : 0;
  const double remaining = (total - finished) * (elapsed / std::max(finished, 1));
  report.text = QStringLiteral("Epoch %1/%2 (%3%) | ETA: %4")
                    .arg(finished)
                    .arg(total)
                    .arg(report.percent)
                    .arg(format_eta(remaining));
  return report;
}

}  // namespace orvane
