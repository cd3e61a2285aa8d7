// Reading ahead through the real window: a file changed or broken after it
// was read ahead, and closing the window while a neighbour is being decoded.
#include <opencv2/imgcodecs.hpp>

#include "annotator/annotator_fixture.h"

using namespace orvane;

namespace {

using ReadAheadTest = AnnotatorTest;

TEST_F(ReadAheadTest, NextShowsTheFileAsItIsNowOnDisk) {
  struct Case {
    const char* name;
    QByteArray new_b;  // "": a blue 60 x 40 picture
    QString expected;
  } const cases[] = {
      {"changed", "", "1: STATUS: PENDING"},
      {"broken", "BM not an image", "0: Cannot read b.bmp: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    images({"a.bmp", "b.bmp"});
    load(dir.path());
    ASSERT_TRUE(tab->image_read_ahead().wait_until_idle(10000));
    ASSERT_EQ(tab->image_read_ahead().held(), 2);
    if (c.new_b.isEmpty()) {
      write_image(path("b.bmp"), 60, 40, 255, 0, 0);
    } else {
      put("b.bmp", c.new_b);
    }
    EXPECT_TRUE(step(tab->btn_next_img).startsWith(c.expected)) << position();
    if (c.new_b.isEmpty()) {
      ASSERT_EQ(tab->display_cv_img.size(), cv::Size(60, 40));
      EXPECT_EQ(tab->display_cv_img.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 0, 0));
    }
  }
}

TEST_F(ReadAheadTest, ClosingWhileANeighbourIsDecodedEndsCleanly) {
  // Large enough that the decode of the next image is still under way when
  // the window closes.
  cv::Mat picture(3000, 4000, CV_8UC3);
  cv::randu(picture, 0, 255);
  std::vector<uchar> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
    put(name, QByteArray(reinterpret_cast<const char*>(jpeg.data()),
                         static_cast<qsizetype>(jpeg.size())));
  }
  put("a.txt", kTriangleLine);
  load(dir.path());
  tab->btn_next_img->click();
  EXPECT_EQ(position(), "1: STATUS: PENDING");
  EXPECT_FALSE(tab->image_read_ahead().wait_until_idle(0));
  close_window();
  EXPECT_EQ(read_file(path("a.txt")), kTriangleLine);
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"a.jpg", "a.txt", "b.jpg", "c.jpg", "d.jpg"}));
}

}  // namespace
