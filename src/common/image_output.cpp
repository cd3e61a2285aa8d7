#include "common/image_output.h"

#include <QFile>
#include <new>
#include <opencv2/imgcodecs.hpp>

namespace orvane {

EncodedBytes encode_image(const cv::Mat& image, const QString& extension) {
  EncodedBytes result;
  if (image.empty()) {
    result.error = QStringLiteral("the image is empty");
    return result;
  }
  try {
    if (!cv::imencode(extension.toStdString(), image, result.bytes)) {
      result.error = QStringLiteral("the image could not be encoded as %1").arg(extension);
    }
  } catch (const cv::Exception& e) {
    result.error = QString::fromStdString(e.err);
  } catch (const std::bad_alloc&) {
    result.error = QStringLiteral("not enough memory to encode it");
  }
  if (!result.error.isEmpty()) result.bytes.clear();
  return result;
}

QString write_bytes(const QString& path, const std::vector<uchar>& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return file.errorString();
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    const QString error = file.errorString();
    file.close();
    file.remove();
    return error;
  }
  if (!file.flush()) {
    const QString error = file.errorString();
    file.close();
    file.remove();
    return error;
  }
  file.close();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  return {};
}

}  // namespace orvane
