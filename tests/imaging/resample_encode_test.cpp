// Lanczos resampling, encoding with quality and DPI, and decoding of sources
// that keep alpha and grey.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/image_encode.h"
#include "imaging/lanczos.h"
#include "imaging/png_writer.h"
#include "imaging/source_image.h"

namespace orvane {
namespace {

QByteArray to_bytes(const std::vector<uchar>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

QByteArray jpeg_of(const cv::Mat& image, int quality = 90) {
  std::vector<uchar> out;
  cv::imencode(".jpg", image, out, {cv::IMWRITE_JPEG_QUALITY, quality});
  return to_bytes(out);
}

// A JPEG with an Exif block saying "rotate 90° clockwise to view".
QByteArray with_exif_orientation(const QByteArray& jpeg, int orientation) {
  QByteArray tiff("MM\0*\0\0\0\x08\0\x01", 10);
  tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8);
  tiff += QByteArray(1, '\0') + char(orientation) + QByteArray(2, '\0');
  tiff += QByteArray(4, '\0');
  const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
  QByteArray segment("\xFF\xE1", 2);
  segment.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
  return jpeg.left(2) + segment + body + jpeg.mid(2);
}

// Pillow 9.4's Image.resize(size, LANCZOS) on the 9 x 4 RGB pattern below.
TEST(LanczosResize, MatchesPillowExactly) {
  cv::Mat pattern(4, 9, CV_8UC3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 9; ++x) {
      pattern.at<cv::Vec3b>(y, x) = {uchar((x * 37 + y * 91) % 256),
                                     uchar((x * x * 13 + y * 7) % 256),
                                     uchar((x + y) % 2 ? 255 : 0)};
    }
  }
  const struct {
    int w, h;
    std::vector<int> pillow;
  } cases[] = {
      {4, 3, {37,  5,  122, 149, 112, 128, 161, 161, 128, 50,  114, 122,
              154, 15, 128, 121, 122, 128, 87,  171, 128, 157, 124, 128,
              75,  24, 133, 82,  131, 127, 189, 180, 127, 111, 133, 133}},
      {2, 5, {78,  70,  119, 128, 141, 119, 137, 74,  132, 108, 145, 132, 134, 81,  128,
              118, 152, 128, 89,  87,  123, 144, 158, 123, 101, 91,  136, 143, 162, 136}},
  };
  for (const auto& c : cases) {
    const cv::Mat out = lanczos_resize(pattern, c.w, c.h);
    ASSERT_EQ(out.size(), cv::Size(c.w, c.h));
    const std::vector<int> got(out.data, out.data + out.total() * 3);
    EXPECT_EQ(got, c.pillow) << c.w << "x" << c.h;
  }
}

// One-pixel stripes shrunk 4.3 times must turn grey, not into a new pattern
// (a fixed 8 x 8 Lanczos kernel aliases them).
TEST(LanczosResize, ShrinkingFineDetailDoesNotAlias) {
  for (int channels : {1, 3, 4}) {
    cv::Mat stripes(400, 430, CV_8UC(channels));
    for (int x = 0; x < stripes.cols; ++x) {
      stripes.col(x).setTo(cv::Scalar::all(x % 2 ? 255 : 0));
    }
    const cv::Mat out = lanczos_resize(stripes, 100, 93);
    double lo = 0, hi = 0;
    cv::minMaxLoc(out.reshape(1), &lo, &hi);
    EXPECT_GE(lo, 112) << channels;
    EXPECT_LE(hi, 143) << channels;

    cv::Mat fixed_kernel;
    cv::resize(stripes, fixed_kernel, {100, 93}, 0, 0, cv::INTER_LANCZOS4);
    cv::minMaxLoc(fixed_kernel.reshape(1), &lo, &hi);
    EXPECT_GT(hi - lo, 60) << "the stripes no longer alias with the fixed kernel";
  }
}

TEST(EncodeImage, StoresTheResolutionWhereReadersLookForIt) {
  cv::Mat image(30, 40, CV_8UC3, cv::Scalar(20, 90, 200));
  for (ImageFormat format : {ImageFormat::Jpeg, ImageFormat::Png, ImageFormat::Bmp}) {
    const EncodedImage encoded = encode_image(image, format, 80, 300.0);
    ASSERT_TRUE(encoded.error.isEmpty()) << encoded.error.toStdString();
    const QImage read = QImage::fromData(encoded.bytes);
    ASSERT_EQ(read.size(), QSize(40, 30)) << format_name(format).toStdString();
    EXPECT_EQ(read.dotsPerMeterX(), 11811) << format_name(format).toStdString();
    EXPECT_EQ(read.dotsPerMeterY(), 11811) << format_name(format).toStdString();
  }
  const QByteArray jpeg = encode_image(image, ImageFormat::Jpeg, 80, 300.0).bytes;
  EXPECT_EQ(jpeg[13], 1);  // dots per inch
  EXPECT_EQ((uchar(jpeg[14]) << 8) | uchar(jpeg[15]), 300);
  EXPECT_TRUE(encode_image(image, ImageFormat::Png, 80, 72.0).bytes.contains("pHYs"));
}

TEST(EncodeImage, QualityChangesJpegAndWebpButNotPng) {
  cv::Mat noise(64, 64, CV_8UC3);
  cv::randu(noise, 0, 255);
  for (ImageFormat format : {ImageFormat::Jpeg, ImageFormat::Webp}) {
    EXPECT_LT(encode_image(noise, format, 10, 300).bytes.size(),
              encode_image(noise, format, 90, 300).bytes.size());
  }
  EXPECT_EQ(encode_image(noise, ImageFormat::Png, 10, 300).bytes,
            encode_image(noise, ImageFormat::Png, 90, 300).bytes);
}

TEST(EncodeImage, AlphaSurvivesPngAndWebpAndJpegRefusesIt) {
  cv::Mat bgra(20, 20, CV_8UC4, cv::Scalar(0, 0, 255, 0));
  bgra(cv::Rect(0, 0, 10, 20)).setTo(cv::Scalar(255, 0, 0, 255));
  for (ImageFormat format : {ImageFormat::Png, ImageFormat::Webp}) {
    const SourceImage back = decode_source_bytes(encode_image(bgra, format, 90, 300).bytes);
    ASSERT_EQ(back.image.channels(), 4) << format_name(format).toStdString();
    EXPECT_EQ(back.image.at<cv::Vec4b>(5, 15)[3], 0);
    EXPECT_EQ(back.image.at<cv::Vec4b>(5, 2)[3], 255);
  }
  EXPECT_FALSE(encode_image(bgra, ImageFormat::Jpeg, 90, 300).error.isEmpty());
}

// Tiles and variants are written as OpenCV's writer writes them with no
// options: the same JPEG bytes, and PNG, WEBP and BMP without loss.
TEST(EncodeImage, DefaultSettingsAreThoseOfOpenCvsWriter) {
  cv::Mat noise(70, 90, CV_8UC3);
  cv::randu(noise, 0, 255);
  const cv::Mat tile = noise(cv::Rect(7, 5, 41, 33));  // not continuous
  std::vector<uchar> reference;
  ASSERT_TRUE(cv::imencode(".jpg", tile, reference));
  EXPECT_EQ(encode_with_default_settings(tile, ImageFormat::Jpeg).bytes, to_bytes(reference));
  for (ImageFormat format : {ImageFormat::Png, ImageFormat::Webp, ImageFormat::Bmp}) {
    const QByteArray bytes = encode_with_default_settings(tile, format).bytes;
    const cv::Mat back = decode_source_bytes(bytes).image;
    ASSERT_EQ(back.size(), tile.size()) << format_name(format).toStdString();
    EXPECT_EQ(cv::norm(back, tile, cv::NORM_INF), 0) << format_name(format).toStdString();
  }
  EXPECT_FALSE(encode_with_default_settings(tile, ImageFormat::Unknown).error.isEmpty());

  const std::pair<const char*, ImageFormat> extensions[] = {
      {".JPG", ImageFormat::Jpeg},  {".jpeg", ImageFormat::Jpeg}, {".Png", ImageFormat::Png},
      {".WEBP", ImageFormat::Webp}, {".bmp", ImageFormat::Bmp},   {".tif", ImageFormat::Unknown},
      {"", ImageFormat::Unknown}};
  for (const auto& [ext, format] : extensions) EXPECT_EQ(format_for_extension(ext), format) << ext;
}

TEST(DecodeSource, KeepsGreyAlphaAndDepthAndFindsTheFormat) {
  const auto grey_rows = [](int) { return QByteArray(8, char(200)); };
  const auto grey_alpha_rows = [](int) { return QByteArray("\xC8\x00\xC8\xFF", 4).repeated(4); };
  const auto deep_rows = [](int) { return QByteArray("\xFF\xFF\x80\x00\x00\x00", 6).repeated(8); };
  const auto palette_rows = [](int) { return QByteArray("\x00\x01", 2).repeated(4); };
  const struct {
    const char* name;
    QByteArray bytes;
    int channels;
    ImageFormat format;
  } cases[] = {
      {"grey JPEG", jpeg_of(cv::Mat(8, 8, CV_8UC1, cv::Scalar(200))), 1, ImageFormat::Jpeg},
      {"grey PNG", make_png(8, 8, 8, 0, grey_rows), 1, ImageFormat::Png},
      {"grey with alpha", make_png(8, 8, 8, 4, grey_alpha_rows), 4, ImageFormat::Png},
      {"16-bit RGB", make_png(8, 8, 16, 2, deep_rows), 3, ImageFormat::Png},
      {"palette with transparency",
       make_png(8, 8, 8, 3, palette_rows, QByteArray("\xFF\x00\x00\x00\x00\xFF", 6),
                QByteArray("\x00", 1)),
       4, ImageFormat::Png},
  };
  for (const auto& c : cases) {
    const SourceImage source = decode_source_bytes(c.bytes);
    ASSERT_TRUE(source.error.isEmpty()) << c.name << ": " << source.error.toStdString();
    EXPECT_EQ(source.image.depth(), CV_8U) << c.name;
    EXPECT_EQ(source.image.channels(), c.channels) << c.name;
    EXPECT_EQ(source.format, c.format) << c.name;
  }
  // 16-bit samples scale to 8 bits: 0xFFFF is white, 0x8000 about half.
  const SourceImage deep = decode_source_bytes(make_png(8, 8, 16, 2, deep_rows));
  EXPECT_EQ(deep.image.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 128, 255));
}

TEST(DecodeSource, CmykJpegDecodesAsColour) {
  cv::Mat cmyk(16, 24, CV_8UC4, cv::Scalar(0, 255, 255, 0));
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(tj, cmyk.data, 24, 0, 16, TJPF_CMYK, &out, &size, TJSAMP_444, 95, 0), 0);
  const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
  tjFree(out);
  tjDestroy(tj);
  const SourceImage source = decode_source_bytes(bytes);
  ASSERT_TRUE(source.error.isEmpty()) << source.error.toStdString();
  ASSERT_EQ(source.image.type(), CV_8UC3);
  // The same colours as the program's other reader gives.
  const cv::Mat reference = cv::imdecode(
      cv::Mat(1, int(bytes.size()), CV_8UC1, const_cast<char*>(bytes.data())), cv::IMREAD_COLOR);
  EXPECT_EQ(cv::norm(source.image, reference, cv::NORM_INF), 0);
}

TEST(DecodeSource, AppliesTheExifOrientation) {
  cv::Mat wide(20, 40, CV_8UC3, cv::Scalar(0, 0, 0));
  wide(cv::Rect(0, 0, 10, 20)).setTo(cv::Scalar(255, 255, 255));  // white on the left
  const QByteArray bytes = with_exif_orientation(jpeg_of(wide, 95), 6);
  EXPECT_EQ(jpeg_exif_orientation(bytes), 6);
  DecodeScratch scratch;
  for (DecodeScratch* s : {static_cast<DecodeScratch*>(nullptr), &scratch}) {
    const SourceImage source = decode_source_bytes(bytes, s);
    ASSERT_EQ(source.image.size(), cv::Size(20, 40));
    // Turned clockwise: the left edge is now at the top.
    EXPECT_GT(source.image.at<cv::Vec3b>(2, 10)[0], 200);
    EXPECT_LT(source.image.at<cv::Vec3b>(37, 10)[0], 50);
  }
}

// A JPEG far larger than the target is decoded at a reduced scale, only while
// at least twice the target remains; the resampled result barely changes.
TEST(DecodeSource, ShrinksLargeJpegsOnLoad) {
  cv::Mat picture(600, 800, CV_8UC3);
  cv::randu(picture, 0, 255);
  cv::GaussianBlur(picture, picture, {0, 0}, 1.5);
  const QByteArray bytes = jpeg_of(picture, 95);
  const struct {
    QSize target;
    cv::Size decoded;
  } cases[] = {{{200, 150}, {400, 300}},
               {{100, 75}, {200, 150}},
               {{201, 150}, {800, 600}},
               {{}, {800, 600}}};
  for (const auto& c : cases) {
    const SourceImage source = decode_source_bytes(bytes, nullptr, [&](QSize full) {
      EXPECT_EQ(full, QSize(800, 600));
      return c.target;
    });
    EXPECT_EQ(source.image.size(), c.decoded) << c.target.width();
    EXPECT_EQ(source.full_size, QSize(800, 600));
  }
  const cv::Mat full = lanczos_resize(decode_source_bytes(bytes).image, 200, 150);
  const cv::Mat shrunk = lanczos_resize(
      decode_source_bytes(bytes, nullptr, [](QSize) { return QSize(200, 150); }).image, 200, 150);
  EXPECT_GT(cv::PSNR(full, shrunk), 40.0);
}

TEST(DecodeSource, RefusesDamagedAndHugeFiles) {
  const QByteArray jpeg = jpeg_of(cv::Mat(64, 64, CV_8UC3, cv::Scalar(1, 2, 3)));
  QByteArray bad_crc = make_png(8, 8, 8, 0, [](int) { return QByteArray(8, 'x'); });
  bad_crc[29] = char(bad_crc[29] ^ 0x55);  // the IHDR checksum
  // A 30000 x 30000 RGB header: the size must be refused before any pixel is
  // decoded, so no data need follow.
  const QByteArray huge =
      QByteArray("\x89PNG\r\n\x1A\n", 8) +
      png_chunk("IHDR", QByteArray("\0\0\x75\x30\0\0\x75\x30\x08\x02\0\0\0", 13)) +
      png_chunk("IEND", {});
  const struct {
    const char* name;
    QByteArray bytes;
    const char* error;
  } cases[] = {
      {"truncated JPEG", jpeg.left(jpeg.size() - 20), "truncated"},
      {"PNG with a bad CRC", bad_crc, ""},
      {"empty", QByteArray(), "empty"},
      {"text", QByteArray("just some words, not a picture\n"), ""},
      {"30000 x 30000 PNG", huge, "megapixels"},
  };
  for (const auto& c : cases) {
    const SourceImage source = decode_source_bytes(c.bytes);
    EXPECT_TRUE(source.image.empty()) << c.name;
    EXPECT_TRUE(source.error.contains(QLatin1String(c.error)))
        << c.name << ": " << source.error.toStdString();
    EXPECT_FALSE(source.error.isEmpty()) << c.name;
  }
}

// Decoders are kept per thread from one file to the next: a JPEG whose header
// cannot be read must leave nothing behind that changes how the next file on
// the same thread decodes, as in a batch with a damaged file among good ones.
TEST(DecodeSource, AJpegWithADamagedHeaderLeavesTheNextDecodeAsItWas) {
  const QByteArray good = jpeg_of(cv::Mat(24, 32, CV_8UC3, cv::Scalar(1, 2, 3)));
  const qsizetype scan = good.indexOf("\xFF\xDA");
  ASSERT_GT(scan, 40);
  const std::pair<const char*, QByteArray> cases[] = {
      {"cut inside its tables", good.left(scan - 30)},
      {"cut before its scan", good.left(scan)},
      {"signature only", good.left(3)},
      {"tables twice, no scan", good.left(scan) + good.mid(2, scan - 2)},
      {"tables only", good.left(good.indexOf("\xFF\xC0")) + "\xFF\xD9"},
  };
  DecodeScratch scratch;
  for (const auto& [what, damaged] : cases) {
    const SourceImage refused = decode_source_bytes(damaged);
    const QString error = refused.error;
    EXPECT_FALSE(error.isEmpty()) << what;
    EXPECT_EQ(refused.format, ImageFormat::Jpeg) << what;
    const SourceImage next = decode_source_bytes(good);
    EXPECT_TRUE(next.error.isEmpty()) << what << ": " << next.error.toStdString();
    EXPECT_EQ(next.image.size(), cv::Size(32, 24)) << what;
    decode_source_bytes(damaged, &scratch, [](QSize) { return QSize(4, 3); });
    const SourceImage shrunk =
        decode_source_bytes(good, &scratch, [](QSize) { return QSize(4, 3); });
    EXPECT_EQ(shrunk.image.size(), cv::Size(8, 6)) << what << ": " << shrunk.error.toStdString();
    decode_source_bytes(damaged);
    EXPECT_EQ(decode_source_bytes(damaged).error.toStdString(), error.toStdString()) << what;
  }
  EXPECT_EQ(decode_source_bytes(cases[4].second).error, "the file holds no image");
}

// The JPEG without its segments of one kind before the first scan.
QByteArray without_segments(const QByteArray& jpeg, char marker) {
  const qsizetype scan = jpeg.indexOf("\xFF\xDA");
  QByteArray out = jpeg.left(2);
  for (qsizetype at = 2; at < scan;) {
    const qsizetype length = 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
    if (jpeg[at + 1] != marker) out += jpeg.mid(at, length);
    at += length;
  }
  return out + jpeg.mid(scan);
}

// A JPEG without Huffman tables (as motion-JPEG frames come) is decoded with
// the standard ones whatever file came before it on the thread, and one
// without quantization tables is refused: the tables an earlier file defined
// are not borrowed.
TEST(DecodeSource, AJpegNeverUsesTheTablesOfTheFileBefore) {
  cv::Mat noise(32, 48, CV_8UC3);
  cv::randu(noise, 0, 255);
  std::vector<uchar> out;
  cv::imencode(".jpg", noise, out, {cv::IMWRITE_JPEG_OPTIMIZE, 1, cv::IMWRITE_JPEG_QUALITY, 40});
  const QByteArray own_tables = to_bytes(out);     // Huffman tables made for this image
  const QByteArray standard = jpeg_of(noise, 95);  // the standard Huffman tables
  const cv::Mat expected = decode_source_bytes(standard).image;
  ASSERT_EQ(expected.size(), noise.size());

  const QByteArray no_huffman = without_segments(standard, '\xC4');
  const QByteArray no_quantization = without_segments(standard, '\xDB');
  DecodeScratch scratch;
  for (DecodeScratch* s : {static_cast<DecodeScratch*>(nullptr), &scratch}) {
    ASSERT_FALSE(decode_source_bytes(own_tables, s).image.empty());
    const SourceImage decoded = decode_source_bytes(no_huffman, s);
    ASSERT_EQ(decoded.image.size(), noise.size()) << decoded.error.toStdString();
    EXPECT_EQ(cv::norm(decoded.image, expected, cv::NORM_INF), 0);
    ASSERT_FALSE(decode_source_bytes(own_tables, s).image.empty());
    const SourceImage refused = decode_source_bytes(no_quantization, s);
    EXPECT_TRUE(refused.image.empty());
    EXPECT_TRUE(refused.error.contains("Quantization table")) << refused.error.toStdString();
  }
}

// Damage that libjpeg only warns about leaves a usable image; an error after
// such a warning leaves rows that were never decoded, and the file is refused
// rather than shown with whatever the memory held (in a batch, the previous
// image's pixels).
TEST(DecodeSource, AJpegIsUsedOnlyWhenEveryRowWasDecoded) {
  cv::Mat picture(24, 32, CV_8UC3, cv::Scalar(200, 100, 50));
  picture.rowRange(16, 24).setTo(cv::Scalar::all(0));  // black at the bottom
  const QByteArray baseline = jpeg_of(picture, 95);
  std::vector<uchar> out;
  cv::imencode(".jpg", picture, out, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
  const QByteArray progressive = to_bytes(out);
  const qsizetype first_scan = progressive.indexOf("\xFF\xDA");
  const qsizetype second_scan = progressive.indexOf("\xFF\xDA", first_scan + 2);
  const qsizetype end = baseline.lastIndexOf("\xFF\xD9");
  ASSERT_GT(second_scan, first_scan);
  const QByteArray stray("\x01\x02", 2);  // libjpeg warns: extraneous bytes before a marker
  // A Huffman table whose counts add up to far more than 256 codes: an error.
  const QByteArray bad_table = QByteArray("\xFF\xC4\x00\x13\x00", 5) + QByteArray(16, '\xFF');
  const struct {
    const char* name;
    QByteArray bytes;
    bool used;
  } cases[] = {
      {"stray bytes between scans",
       progressive.left(second_scan) + stray + progressive.mid(second_scan), true},
      {"stray bytes, then a bad table between scans",
       progressive.left(second_scan) + stray + bad_table + progressive.mid(second_scan), false},
      {"stray bytes before the end, the last row black",
       baseline.left(end) + stray + baseline.mid(end), true},
  };
  DecodeScratch scratch;
  for (const auto& c : cases) {
    const SourceImage plain = decode_source_bytes(c.bytes);
    decode_source_bytes(jpeg_of(cv::Mat(24, 32, CV_8UC3, cv::Scalar::all(255))), &scratch);
    const SourceImage reused = decode_source_bytes(c.bytes, &scratch);
    if (c.used) {
      ASSERT_EQ(plain.image.size(), picture.size()) << c.name << ": " << plain.error.toStdString();
      EXPECT_TRUE(plain.error.isEmpty()) << c.name;
      ASSERT_EQ(reused.image.size(), picture.size()) << c.name;
      EXPECT_EQ(cv::norm(plain.image, reused.image, cv::NORM_INF), 0) << c.name;
      EXPECT_LT(cv::norm(plain.image, picture, cv::NORM_INF), 30) << c.name;
    } else {
      EXPECT_TRUE(plain.image.empty() && reused.image.empty()) << c.name;
      EXPECT_TRUE(plain.error.contains("Huffman")) << c.name << ": " << plain.error.toStdString();
    }
  }
}

}  // namespace
}  // namespace orvane
