#include "imaging/codecs.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QFileInfo>
#include <QStringList>
#include <climits>
#include <mutex>
#include <string>

namespace orvane {

namespace {

using DecodeFn = bool (*)(const cv::Mat*, int, cv::Mat*, std::string*);
using EncodeFn = bool (*)(const char*, const cv::Mat*, const std::vector<int>*,
                          std::vector<unsigned char>*, std::string*);

constexpr char kModuleName[] = "liborvane_codecs.so";

struct Module {
  DecodeFn decode = nullptr;
  EncodeFn encode = nullptr;
  QString error;  // why the module could not be loaded
};

QString program_folder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  return QFileInfo(QString::fromLocal8Bit(path)).absolutePath();
}

const Module& module() {
  static Module loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    QStringList tried;
    for (const QString& candidate : codecs_module_candidates()) {
      if (!QFileInfo(candidate).isFile()) continue;
      // Kept loaded for the life of the process.
      void* handle = ::dlopen(candidate.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        tried << QString::fromLocal8Bit(::dlerror());
        continue;
      }
      loaded.decode = reinterpret_cast<DecodeFn>(::dlsym(handle, "orvane_codecs_decode"));
      loaded.encode = reinterpret_cast<EncodeFn>(::dlsym(handle, "orvane_codecs_encode"));
      if (loaded.decode != nullptr && loaded.encode != nullptr) return;
      tried << candidate + QStringLiteral(": not the image codecs module");
    }
    loaded.decode = nullptr;
    loaded.encode = nullptr;
    loaded.error =
        QStringLiteral("the image codecs (%1) cannot be loaded%2")
            .arg(QLatin1String(kModuleName),
                 tried.isEmpty() ? QString()
                                 : QStringLiteral(": ") + tried.join(QStringLiteral("; ")));
  });
  return loaded;
}

}  // namespace

QStringList codecs_module_candidates() {
  QStringList candidates;
  const QString folder = program_folder();
  if (!folder.isEmpty()) {
    candidates << folder + QLatin1Char('/') + QLatin1String(kModuleName)
               << folder + QStringLiteral("/../lib/orvane-studio/") + QLatin1String(kModuleName);
  }
#ifdef ORVANE_CODECS_BUILD_PATH
  candidates << QStringLiteral(ORVANE_CODECS_BUILD_PATH);
#endif
  return candidates;
}

cv::Mat codecs_decode(const cv::Mat& encoded, int flags, QString& error) {
  const Module& codecs = module();
  cv::Mat image;
  if (codecs.decode == nullptr) {
    error = codecs.error;
    return image;
  }
  std::string reason;
  if (!codecs.decode(&encoded, flags, &image, &reason)) {
    error = QString::fromStdString(reason);
    return {};
  }
  return image;
}

bool codecs_encode(const char* ext, const cv::Mat& image, const std::vector<int>& params,
                   std::vector<unsigned char>& bytes, QString& error) {
  const Module& codecs = module();
  if (codecs.encode == nullptr) {
    error = codecs.error;
    return false;
  }
  std::string reason;
  if (!codecs.encode(ext, &image, &params, &bytes, &reason)) {
    error = QString::fromStdString(reason);
    return false;
  }
  return true;
}

}  // namespace orvane
