#include "imaging/image_extensions.h"

namespace orvane {

const QStringList& image_extensions(ImageJob job) {
  static const QStringList kAnnotator = {".jpg", ".jpeg", ".png", ".bmp", ".webp"};
  // The health check counts ".bmp" too: a bitmap the annotator labels must
  // not make its label file look orphaned.
  static const QStringList kHealth = {".png", ".jpg", ".jpeg", ".webp", ".bmp"};
  static const QStringList kResizer = {".jpg", ".jpeg", ".png", ".webp", ".bmp"};
  switch (job) {
    case ImageJob::kHealth:
      return kHealth;
    case ImageJob::kResizer:
      return kResizer;
    case ImageJob::kAnnotator:
    case ImageJob::kSplitter:
    case ImageJob::kEnricher:
    case ImageJob::kInference:
      break;
  }
  return kAnnotator;
}

bool ends_with_image_extension(QStringView file_name, ImageJob job) {
  for (const QString& ext : image_extensions(job)) {
    if (file_name.endsWith(ext, Qt::CaseInsensitive)) return true;
  }
  return false;
}

bool is_image_extension(QStringView extension, ImageJob job) {
  for (const QString& ext : image_extensions(job)) {
    if (extension.compare(ext, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

QString image_file_filter(ImageJob job) {
  QStringList patterns;
  for (const QString& ext : image_extensions(job)) patterns << QLatin1Char('*') + ext;
  return QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

}  // namespace orvane
