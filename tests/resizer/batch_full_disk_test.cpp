// The resizer's batch on a full disk: a file that cannot be written whole is
// counted and named as a failure, and an earlier output under its name stays
// as it was.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/source_image.h"
#include "resizer/batch_writer.h"
#include "support/test_files.h"

namespace orvane {
namespace {

// A JPEG with detail, so its size follows its area.
QByteArray photo_jpeg(int w, int h, int seed) {
  cv::Mat image(h, w, CV_8UC3);
  cv::theRNG().state = static_cast<uint64>(seed);
  cv::randu(image, 0, 255);
  cv::GaussianBlur(image, image, {0, 0}, 1.0);
  std::vector<uchar> bytes;
  EXPECT_TRUE(cv::imencode(".jpg", image, bytes));
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

ResizeSettings keep_size() {
  ResizeSettings settings;
  settings.size.enabled = false;
  settings.format_choice = QStringLiteral("JPEG");
  return settings;
}

// Runs `body` in a child whose files may not grow beyond `limit` bytes:
// writes beyond it fail with EFBIG, as on a full disk. The child's exit code
// is body's result.
int exit_code_with_file_size_limit(rlim_t limit, const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    std::signal(SIGXFSZ, SIG_IGN);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// Every file of `folder` is a complete image; no temporary file is left.
void expect_only_whole_images(const QString& folder) {
  for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
    EXPECT_FALSE(name.endsWith(".tmp")) << name.toStdString();
    const SourceImage image = read_source_file(folder + "/" + name);
    EXPECT_FALSE(image.image.empty()) << name.toStdString() << ": " << image.error.toStdString();
  }
}

TEST(ResizerFullDisk, AFileTooLargeForTheDiskIsAFailureAndTheOldOutputStays) {
  QTemporaryDir dir;
  const QString in = dir.filePath("in"), out = dir.filePath("out");
  write_file(in + "/small.jpg", photo_jpeg(16, 16, 1));
  write_file(in + "/large.jpg", photo_jpeg(400, 300, 2));
  // Good outputs of an earlier run.
  const QByteArray earlier = photo_jpeg(8, 8, 3);
  write_file(out + "/small_scaled.jpeg", earlier);
  write_file(out + "/large_scaled.jpeg", earlier);
  const QStringList queue = {in + "/small.jpg", in + "/large.jpg"};
  const int code = exit_code_with_file_size_limit(16 * 1024, [&] {
    const BatchReport report = run_resize_batch(queue, keep_size(), out);
    const QString text = batch_summary(report, keep_size());
    if (!text.startsWith("Batch process finished. Exported 1 images.\n\n1 of 2 files failed:\n"
                         "large.jpg: cannot write "))
      return 1;
    return text.endsWith("large_scaled.jpeg: File too large") ? 0 : 2;
  });
  EXPECT_EQ(code, 0) << "1: wrong count or name, 2: wrong reason";
  EXPECT_EQ(read_file(out + "/large_scaled.jpeg"), earlier);
  EXPECT_NE(read_file(out + "/small_scaled.jpeg"), earlier);
  expect_only_whole_images(out);
}

// Forty images into a 64 KB file system: the message counts the files that
// are there whole and names the others; a second run over the good outputs
// leaves them as they were.
TEST(ResizerFullDisk, ASmallFileSystemFillsUp) {
  QTemporaryDir dir;
  const QString out = dir.filePath("small");
  ASSERT_TRUE(QDir().mkpath(out));
  if (mount("tmpfs", QFile::encodeName(out).constData(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no right to mount a file system";
  }
  QStringList queue;
  for (int i = 0; i < 40; ++i) {
    queue.append(dir.filePath(QStringLiteral("in/p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))));
    write_file(queue.back(), photo_jpeg(48, 48, i));
  }
  const BatchReport first = run_resize_batch(queue, keep_size(), out);
  const QStringList written = QDir(out).entryList(QDir::Files);
  EXPECT_GT(written.size(), 0);
  EXPECT_LT(written.size(), 40);
  EXPECT_EQ(first.written, written.size());
  EXPECT_EQ(first.failures.size(), 40 - written.size());
  const QString text = batch_summary(first, keep_size());
  EXPECT_TRUE(text.startsWith(QStringLiteral("Batch process finished. Exported %1 images.\n\n"
                                             "%2 of 40 files failed:\n")
                                  .arg(written.size())
                                  .arg(40 - written.size())))
      << text.toStdString();
  expect_only_whole_images(out);

  std::map<QString, QByteArray> before;
  for (const QString& name : written) before[name] = read_file(out + "/" + name);
  // Different pixels of the same size: each file must be replaced, and
  // there is no room for the new copy beside the old one.
  for (int i = 0; i < 40; ++i) write_file(queue[i], photo_jpeg(48, 48, 1000 + i));
  const BatchReport second = run_resize_batch(queue, keep_size(), out);
  EXPECT_LT(second.written, 40);
  EXPECT_EQ(second.written + second.failures.size(), 40);
  int replaced = 0;  // or new
  for (const QString& name : QDir(out).entryList(QDir::Files)) {
    const QByteArray now = read_file(out + "/" + name);
    EXPECT_FALSE(now.isEmpty()) << name.toStdString();
    if (!before.count(name) || before[name] != now) ++replaced;
  }
  EXPECT_EQ(replaced, second.written);
  for (const auto& [name, bytes] : before) {
    EXPECT_TRUE(QFile::exists(out + "/" + name)) << name.toStdString();
  }
  expect_only_whole_images(out);
  umount(QFile::encodeName(out).constData());
}

}  // namespace
}  // namespace orvane
