// Reading ahead: which images are decoded where, kept, read again, dropped.
// (A file that fails is checked through the window, in read_ahead_test.)
#include "annotator/image_read_ahead.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "support/test_files.h"

using namespace orvane;

namespace {

// read_image_file, with a record of every call: the path and whether it ran
// on the test's own thread.
struct RecordingDecoder {
  struct Call {
    QString path;
    bool on_owner;
  };
  std::mutex mutex;
  std::vector<Call> calls;
  const std::thread::id owner = std::this_thread::get_id();

  ImageReadAhead::Decoder decoder() {
    return [this](const QString& path) {
      {
        std::lock_guard lock(mutex);
        calls.push_back({path, std::this_thread::get_id() == owner});
      }
      return read_image_file(path);
    };
  }
  int count(const QString& path) {
    std::lock_guard lock(mutex);
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.path == path; }));
  }
};

class ImageReadAheadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  // Image i of the folder: 40 x 30, every channel 10 * (i + 1).
  QString image(int i) const { return dir.filePath(QStringLiteral("img%1.bmp").arg(i)); }
  void write(int i, int value, int width = 40) {
    write_image(image(i), width, 30, value, value, value);
  }
  // The shown image i with its neighbours, as the annotator asks for them.
  QStringList around(int i, int count) const {
    QStringList near{image(i)};
    if (i + 1 < count) near.push_back(image(i + 1));
    if (i > 0) near.push_back(image(i - 1));
    return near;
  }
  static int value_of(const DecodedImage& decoded) {
    return decoded.image.empty() ? -1 : decoded.image.at<cv::Vec3b>(0, 0)[0];
  }

  QTemporaryDir dir;
  RecordingDecoder recorder;
};

TEST_F(ImageReadAheadTest, SteppingInOrderShowsImagesDecodedAheadKeepingAtMostThree) {
  constexpr int kCount = 6;
  for (int i = 0; i < kCount; ++i) write(i, 10 * (i + 1));
  ImageReadAhead ahead(recorder.decoder());
  for (int i = 0; i < kCount; ++i) {
    ahead.focus(around(i, kCount));
    EXPECT_EQ(value_of(ahead.read(image(i))), 10 * (i + 1)) << i;
    ASSERT_TRUE(ahead.wait_until_idle(10000));
    EXPECT_EQ(ahead.held(), around(i, kCount).size()) << i;
  }
  // Back one: the previous image is still there; the one before it, dropped
  // at the last step, is read ahead again.
  ahead.focus(around(kCount - 2, kCount));
  EXPECT_EQ(value_of(ahead.read(image(kCount - 2))), 10 * (kCount - 1));
  ASSERT_TRUE(ahead.wait_until_idle(10000));
  for (int i = 0; i < kCount; ++i)
    EXPECT_EQ(recorder.count(image(i)), i == kCount - 3 ? 2 : 1) << i;
  for (const RecordingDecoder::Call& call : recorder.calls) {
    if (call.path != image(0)) {
      EXPECT_FALSE(call.on_owner) << call.path.toStdString();
    }
  }
}

TEST_F(ImageReadAheadTest, FileChangedSinceReadAheadIsReadAgain) {
  struct Case {
    const char* name;
    int width;        // of the new picture (40: same file size)
    int later_by_ms;  // moves the modification time on
  } const cases[] = {{"new size", 50, 0}, {"new modification time", 40, 2000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write(0, 10);
    write(1, 20);
    ImageReadAhead ahead(recorder.decoder());
    ahead.focus(around(0, 2));
    ahead.read(image(0));
    ASSERT_TRUE(ahead.wait_until_idle(10000));
    ASSERT_EQ(ahead.held(), 2);
    const QDateTime before = QFileInfo(image(1)).lastModified();
    write(1, 90, c.width);
    QFile file(image(1));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(before.addMSecs(c.later_by_ms), QFileDevice::FileModificationTime));
    file.close();
    ahead.focus(around(1, 2));
    const DecodedImage shown = ahead.read(image(1));
    EXPECT_EQ(value_of(shown), 90);
    EXPECT_EQ(shown.image.cols, c.width);
  }
}

TEST_F(ImageReadAheadTest, StopDuringADecodeThrowsItAwayAndStartsNoOther) {
  for (int i = 0; i < 3; ++i) write(i, 10 * (i + 1));
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  int calls = 0;  // on the worker only, until it has ended
  ImageReadAhead ahead([&](const QString& path) {
    if (++calls == 1) {
      entered.set_value();
      released.wait_for(std::chrono::seconds(20));
    }
    return read_image_file(path);
  });
  ahead.focus(around(1, 3));
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  ahead.request_stop();
  release.set_value();
  ahead.stop();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ahead.held(), 0);
  // Still usable: the image is decoded on demand, and nothing more is read ahead.
  ahead.focus(around(1, 3));
  EXPECT_EQ(value_of(ahead.read(image(1))), 20);
  EXPECT_TRUE(ahead.wait_until_idle(0));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ahead.held(), 0);
}

}  // namespace
