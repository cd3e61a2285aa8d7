#include "imaging/image_io.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/source_image.h"
#include "support/fifo_trap.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

QByteArray encode(const cv::Mat& image, const char* ext, std::vector<int> params = {}) {
  std::vector<uchar> bytes;
  EXPECT_TRUE(cv::imencode(ext, image, bytes, params));
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

// 40 x 20: left half red, right half blue (BGR).
cv::Mat two_halves() {
  cv::Mat image(20, 40, CV_8UC3, cv::Scalar(0, 0, 255));
  image(cv::Rect(20, 0, 20, 20)).setTo(cv::Scalar(255, 0, 0));
  return image;
}

// A JPEG whose EXIF block holds only the orientation tag.
QByteArray jpeg_with_orientation(const cv::Mat& image, int orientation) {
  const QByteArray plain = encode(image, ".jpg", {cv::IMWRITE_JPEG_QUALITY, 95});
  QByteArray tiff("II*\0\x08\0\0\0", 8);              // little-endian TIFF, first IFD at 8
  tiff += QByteArray("\x01\0", 2);                    // one entry
  tiff += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8);  // 0x0112 orientation, SHORT, count 1
  tiff += char(orientation);
  tiff += QByteArray(7, '\0');  // value padding, no next IFD
  const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
  const int length = static_cast<int>(payload.size()) + 2;
  QByteArray app1("\xFF\xE1", 2);
  app1 += char(length >> 8);
  app1 += char(length & 0xFF);
  return plain.left(2) + app1 + payload + plain.mid(2);
}

bool is_red(const cv::Mat& image, int row, int col) {
  const cv::Vec3b p = image.at<cv::Vec3b>(row, col);
  return p[2] > 200 && p[0] < 60;
}
bool is_blue(const cv::Mat& image, int row, int col) {
  const cv::Vec3b p = image.at<cv::Vec3b>(row, col);
  return p[0] > 200 && p[2] < 60;
}

TEST(ImageIo, DecodesTo8BitThreeChannelBgr) {
  for (const char* ext : {".png", ".jpg", ".bmp", ".webp"}) {
    const DecodedImage decoded = decode_image_bytes(encode(two_halves(), ext));
    ASSERT_TRUE(decoded.error.isEmpty()) << ext << decoded.error.toStdString();
    EXPECT_EQ(decoded.image.type(), CV_8UC3) << ext;
    EXPECT_EQ(decoded.image.size(), cv::Size(40, 20)) << ext;
    EXPECT_TRUE(is_red(decoded.image, 10, 5) && is_blue(decoded.image, 10, 35)) << ext;
  }
  QTemporaryDir dir;  // read through the bytes, so any path works
  const QString path = dir.filePath("ein Bild ü 猫 🐈.png");
  write_file(path, encode(two_halves(), ".png"));
  EXPECT_EQ(read_image_file(path).image.size(), cv::Size(40, 20));
  EXPECT_FALSE(read_image_file(dir.filePath("missing.png")).error.isEmpty());

  const DecodedImage grey =
      decode_image_bytes(encode(cv::Mat(5, 7, CV_8UC1, cv::Scalar(77)), ".png"));
  ASSERT_EQ(grey.image.type(), CV_8UC3);
  EXPECT_EQ(grey.image.at<cv::Vec3b>(2, 2), cv::Vec3b(77, 77, 77));
  const DecodedImage rgba =
      decode_image_bytes(encode(cv::Mat(5, 7, CV_8UC4, cv::Scalar(10, 20, 30, 0)), ".png"));
  ASSERT_EQ(rgba.image.type(), CV_8UC3);
  EXPECT_EQ(rgba.image.at<cv::Vec3b>(1, 1), cv::Vec3b(10, 20, 30));
}

TEST(ImageIo, ExifOrientationIsApplied) {
  // 6: the stored picture is shown turned 90 degrees clockwise, so the left
  // (red) half ends up on top.
  const DecodedImage rotated = decode_image_bytes(jpeg_with_orientation(two_halves(), 6));
  ASSERT_TRUE(rotated.error.isEmpty()) << rotated.error.toStdString();
  ASSERT_EQ(rotated.image.size(), cv::Size(20, 40));
  EXPECT_TRUE(is_red(rotated.image, 5, 10) && is_blue(rotated.image, 35, 10));
  // 3: upside down, so red moves to the right.
  const DecodedImage turned = decode_image_bytes(jpeg_with_orientation(two_halves(), 3));
  ASSERT_EQ(turned.image.size(), cv::Size(40, 20));
  EXPECT_TRUE(is_red(turned.image, 10, 35));
  // 1: as stored.
  EXPECT_TRUE(is_red(decode_image_bytes(jpeg_with_orientation(two_halves(), 1)).image, 10, 5));
}

TEST(ImageIo, BadBytesGiveAnErrorNotAnImage) {
  const QByteArray jpeg = encode(two_halves(), ".jpg");
  const QByteArray png = encode(two_halves(), ".png");
  const std::pair<const char*, QByteArray> cases[] = {
      {"empty", QByteArray()},
      {"text", QByteArray("hello, not an image\n")},
      {"truncated jpeg", jpeg.left(jpeg.size() / 2)},
      {"jpeg without its last byte", jpeg.left(jpeg.size() - 1)},
      {"truncated png", png.left(png.size() / 2)},
      {"jpeg header only", jpeg.left(4)},
  };
  for (const auto& [what, bytes] : cases) {
    const DecodedImage decoded = decode_image_bytes(bytes);
    EXPECT_TRUE(decoded.image.empty() && !decoded.error.isEmpty()) << what;
  }
  EXPECT_EQ(decode_image_bytes({}).error, "the file is empty");
  EXPECT_EQ(decode_image_bytes(jpeg.left(jpeg.size() - 10)).error, "the file is truncated");
}

TEST(ImageIo, JpegCompleteness) {
  const QByteArray jpeg = encode(two_halves(), ".jpg");
  EXPECT_TRUE(jpeg_is_complete(jpeg));
  EXPECT_TRUE(jpeg_is_complete(jpeg + QByteArray(5000, '\xFF') + "trailing data"));
  EXPECT_TRUE(jpeg_is_complete(jpeg_with_orientation(two_halves(), 6)));
  cv::Mat noise(64, 64, CV_8UC3);
  cv::randu(noise, 0, 255);
  const QByteArray progressive = encode(noise, ".jpg", {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
  EXPECT_TRUE(jpeg_is_complete(progressive));
  for (qsizetype cut = 2; cut < progressive.size(); cut += 97) {
    EXPECT_FALSE(jpeg_is_complete(progressive.left(cut))) << cut;
  }
  EXPECT_TRUE(jpeg_is_complete(encode(two_halves(), ".png").left(30)));  // not a JPEG
}

TEST(ImageIo, RefusesHugeImagesFromTheHeader) {
  // A bare BMP header for 15000 x 15000 pixels (225 megapixels) without any
  // pixel data: refused from the header, before decoding.
  QByteArray bmp;
  QDataStream out(&bmp, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint16(0x4D42) << quint32(54) << quint32(0) << quint32(54);  // "BM", size, offset
  out << quint32(40) << qint32(15000) << qint32(15000) << quint16(1) << quint16(24);
  for (int i = 0; i < 6; ++i) out << quint32(0);  // no compression, default sizes
  const DecodedImage decoded = decode_image_bytes(bmp);
  EXPECT_TRUE(decoded.image.empty());
  EXPECT_TRUE(decoded.error.contains("15000 x 15000")) << decoded.error.toStdString();
  EXPECT_TRUE(decoded.error.contains("200 megapixels")) << decoded.error.toStdString();
}

// The SIZ marker segment of a JPEG 2000 codestream (or of the codestream box
// of a JP2 file) rewritten to declare width x height in one tile.
QByteArray with_j2k_size(QByteArray bytes, quint32 width, quint32 height) {
  const qsizetype siz = bytes.indexOf(QByteArray("\xFF\x4F\xFF\x51", 4));
  EXPECT_GE(siz, 0);
  const auto put = [&](qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
  };
  put(siz + 8, width);
  put(siz + 12, height);
  put(siz + 16, 0);  // image offset
  put(siz + 20, 0);
  put(siz + 24, width);  // one tile
  put(siz + 28, height);
  return bytes;
}

// A little-endian TIFF header alone: width and length tags, nothing else.
QByteArray tiff_header(quint32 width, quint32 height) {
  QByteArray tiff;
  QDataStream out(&tiff, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("II*\0", 4);
  out << quint32(8) << quint16(2);
  out << quint16(256) << quint16(4) << quint32(1) << width;
  out << quint16(257) << quint16(4) << quint32(1) << height;
  out << quint32(0);
  return tiff;
}

// An extended WebP header alone, for a canvas of width x height.
QByteArray webp_header(quint32 width, quint32 height) {
  QByteArray webp;
  QDataStream out(&webp, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(22);
  out.writeRawData("WEBPVP8X", 8);
  out << quint32(10) << quint32(0);
  for (quint32 v : {width - 1, height - 1}) out << quint8(v) << quint8(v >> 8) << quint8(v >> 16);
  return webp;
}

// Every format the decoder takes has its size read from its own header before
// a pixel is decoded: a few bytes declaring 225 megapixels are refused at
// once, whatever Qt's readers make of them, while small files of the same
// formats still decode. Formats whose header is not read are refused.
TEST(ImageIo, ThePixelLimitHoldsForEveryFormat) {
  // JPEG 2000 needs a side of 32 pixels or more for its default levels.
  cv::Mat small;
  cv::resize(two_halves(), small, {64, 64}, 0, 0, cv::INTER_NEAREST);
  const QByteArray jp2 = encode(small, ".jp2");
  const QByteArray codestream = jp2.mid(jp2.indexOf(QByteArray("\xFF\x4F\xFF\x51", 4)));
  const struct {
    const char* name;
    QByteArray bytes;
    const char* error;  // "" for an image that decodes
  } cases[] = {
      {"JPEG 2000 codestream", with_j2k_size(codestream, 15000, 15000), "15000 x 15000 pixels"},
      {"JP2 file", with_j2k_size(jp2, 15000, 15000), "15000 x 15000 pixels"},
      {"TIFF", tiff_header(15000, 15000), "15000 x 15000 pixels"},
      {"WebP canvas", webp_header(16000, 16000), "16000 x 16000 pixels"},
      // Sides whose product does not fit in 64 bits.
      {"JPEG 2000 codestream of 32-bit sides", with_j2k_size(codestream, 0xFFFFFFFF, 0xFFFFFFFF),
       "4294967295 x 4294967295 pixels"},
      {"TIFF of 32-bit sides", tiff_header(0xFFFFFFFF, 0xFFFFFFFF),
       "4294967295 x 4294967295 pixels"},
      {"small JPEG 2000 codestream", codestream, ""},
      {"small JP2 file", jp2, ""},
      {"small TIFF", encode(small, ".tiff"), ""},
      {"small WebP", encode(small, ".webp", {cv::IMWRITE_WEBP_QUALITY, 101}), ""},
      {"portable pixmap", encode(small, ".ppm"), "not a readable image"},
  };
  for (const auto& c : cases) {
    const DecodedImage decoded = decode_image_bytes(c.bytes);
    EXPECT_TRUE(decoded.error.contains(QLatin1String(c.error)))
        << c.name << ": " << decoded.error.toStdString();
    if (*c.error == 0) {
      EXPECT_EQ(decoded.image.size(), small.size()) << c.name;
      EXPECT_TRUE(decoded.error.isEmpty()) << c.name;
    } else {
      EXPECT_TRUE(decoded.image.empty()) << c.name;
    }
  }
}

// A FIFO, a folder or a device under an image's name is refused without
// being opened blocking; a link to an image is read.
TEST(ImageIo, OnlyRegularFilesAreRead) {
  QTemporaryDir dir;
  const FifoTrap fifo(dir.filePath("fifo.jpg"));
  ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.jpg")));
  ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("zero.jpg")));
  write_file(dir.filePath("photo.png"), encode(two_halves(), ".png"));
  ASSERT_TRUE(QFile::link(dir.filePath("photo.png"), dir.filePath("link.png")));
  const struct {
    const char* name;
    const char* error;
  } cases[] = {
      {"fifo.jpg", "Not a regular file"},
      {"folder.jpg", "Is a directory"},
      {"zero.jpg", "Not a regular file"},
      {"link.png", ""},
  };
  for (const auto& c : cases) {
    const DecodedImage view = read_image_file(dir.filePath(c.name));
    const SourceImage source = read_source_file(dir.filePath(c.name));
    EXPECT_EQ(view.error, c.error) << c.name;
    EXPECT_EQ(source.error, c.error) << c.name;
    EXPECT_EQ(view.image.empty(), *c.error != 0) << c.name;
  }
  EXPECT_FALSE(fifo.fired()) << "the FIFO was opened blocking";
}

TEST(ImageIo, ConvertsToRgb32AndSharesPixels) {
  const QImage image = bgr_to_qimage(two_halves());
  ASSERT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(image.size(), QSize(40, 20));
  EXPECT_EQ(image.pixel(5, 10), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(35, 10), qRgb(0, 0, 255));
  EXPECT_EQ(qAlpha(reinterpret_cast<const QRgb*>(image.constBits())[0]), 255);
  EXPECT_EQ(bgr_to_qimage(cv::Mat(3, 3, CV_8UC1, cv::Scalar(9))).pixel(1, 1), qRgb(9, 9, 9));
  const QImage bgra = bgr_to_qimage(cv::Mat(3, 3, CV_8UC4, cv::Scalar(1, 2, 3, 0)));
  EXPECT_EQ(reinterpret_cast<const QRgb*>(bgra.constBits())[4], qRgba(3, 2, 1, 255));
  // A region of a larger image (rows not contiguous) converts too.
  EXPECT_EQ(bgr_to_qimage(two_halves()(cv::Rect(18, 0, 4, 2))).pixel(3, 1), qRgb(0, 0, 255));
  EXPECT_TRUE(bgr_to_qimage(cv::Mat()).isNull());
  EXPECT_TRUE(bgr_to_qimage(cv::Mat(2, 2, CV_32FC3)).isNull());
  EXPECT_EQ(bgr_to_pixmap(two_halves()).size(), QSize(40, 20));

  // The sharing pixmap shows the image's own pixels and keeps them alive.
  cv::Mat source = two_halves();
  const uchar* pixels = source.data;
  QPixmap pixmap = bgr_pixmap_sharing(source);
  source = cv::Mat();
  const QImage shown = pixmap.toImage();
  EXPECT_EQ(shown.constBits(), pixels);
  EXPECT_EQ(shown.pixel(5, 10), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(35, 10), qRgb(0, 0, 255));
  // Not 8-bit BGR: converted instead.
  EXPECT_EQ(bgr_pixmap_sharing(cv::Mat(2, 3, CV_8UC1, cv::Scalar(5))).toImage().pixel(1, 1),
            qRgb(5, 5, 5));
}

}  // namespace
