#include "inference/inference_files.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "imaging/image_extensions.h"

namespace orvane {
namespace {

QString absolute(const QString& path) {
  return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

std::filesystem::path fs_path(const QString& path) {
  return std::filesystem::path(path.toStdU16String());
}

}  // namespace

QStringList list_inference_images(const QString& folder) {
  QStringList images;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted)) {
    if (is_image_extension(QLatin1Char('.') + QFileInfo(name).suffix(), ImageJob::kInference))
      images << QDir::cleanPath(dir.filePath(name));
  }
  return images;
}

ExportDestination export_destination(const QString& exported, const QString& export_dir) {
  const QStringList parts = QDir::fromNativeSeparators(exported).split('/', Qt::SkipEmptyParts);
  if (parts.isEmpty() || parts.last() == QLatin1String("..") || parts.last() == QLatin1String("."))
    return {{}, QStringLiteral("The engine returned no usable export path: %1").arg(exported)};
  const QString destination = QDir(export_dir).filePath(parts.last());
  const QString dest_abs = absolute(destination);
  const QString dir_abs = absolute(export_dir);
  if (dest_abs == dir_abs || dir_abs.startsWith(dest_abs + '/'))
    return {{},
            QStringLiteral("Refusing to replace %1: it is the export folder or holds it.")
                .arg(destination)};
  const QString exported_abs = absolute(exported);
  if (dir_abs == exported_abs || dir_abs.startsWith(exported_abs + '/'))
    return {{}, QStringLiteral("Refusing to move %1 into itself.").arg(exported)};
  return {destination, {}};
}

QString move_export(const QString& exported, const QString& destination) {
  if (absolute(exported) == absolute(destination)) return {};
  std::error_code error;
  const std::filesystem::path from = fs_path(absolute(exported));
  const std::filesystem::path to = fs_path(absolute(destination));
  if (std::filesystem::exists(std::filesystem::symlink_status(to))) {
    std::filesystem::remove_all(to, error);
    if (error)
      return QStringLiteral("Cannot replace %1: %2")
          .arg(destination, QString::fromStdString(error.message()));
  }
  std::filesystem::rename(from, to, error);
  if (error) {  // another file system: copy, then remove the original
    error.clear();
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive, error);
    if (!error) std::filesystem::remove_all(from, error);
  }
  if (error)
    return QStringLiteral("Cannot move %1 to %2: %3")
        .arg(exported, destination, QString::fromStdString(error.message()));
  return {};
}

QString found_text(const std::vector<int>& classes, const std::map<int, QString>& names) {
  if (classes.empty()) return QStringLiteral("No objects found");
  std::map<int, int> counts;
  for (const int cls : classes) ++counts[cls];
  std::vector<std::pair<int, QString>> parts;
  for (const auto& [cls, count] : counts) {
    const auto name = names.find(cls);
    parts.emplace_back(count, name != names.end() ? name->second : QString::number(cls));
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  QStringList listed;
  for (const auto& [count, name] : parts) listed << QStringLiteral("%1 %2").arg(count).arg(name);
  return QStringLiteral("%1 %2 found: %3")
      .arg(classes.size())
      .arg(classes.size() == 1 ? QStringLiteral("object") : QStringLiteral("objects"))
      .arg(listed.join(QStringLiteral(", ")));
}

}  // namespace orvane
