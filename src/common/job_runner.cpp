#include "common/job_runner.h"

#include <new>
#include <opencv2/core.hpp>

namespace orvane {

QString current_exception_reason() {
  try {
    throw;
  } catch (const cv::Exception& e) {
    // `err` is the message alone, without OpenCV's file and line.
    return QString::fromStdString(e.err);
  } catch (const std::bad_alloc&) {
    return QStringLiteral("not enough memory");
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("an unknown error");
  }
}

QString failure_listing(const QStringList& failures, int listed) {
  QString text;
  for (qsizetype i = 0; i < failures.size() && i < listed; ++i) {
    text += QLatin1Char('\n') + failures[i];
  }
  if (failures.size() > listed) {
    text += QStringLiteral("\n... and %1 more.").arg(failures.size() - listed);
  }
  return text;
}

QString flush_failure_text(const QString& reason) {
  return QStringLiteral("The written files may not all have reached the disk: %1").arg(reason);
}

}  // namespace orvane
