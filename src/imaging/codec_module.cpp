// The image codecs module: OpenCV's encoders and decoders behind two plain
// functions. The program loads it on first use (see codecs.h), so the long
// chain of libraries the codecs depend on is not loaded at every start.
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#define ORVANE_EXPORT extern "C" __attribute__((visibility("default")))

ORVANE_EXPORT bool orvane_codecs_decode(const cv::Mat* encoded, int flags, cv::Mat* image,
                                        std::string* error) {
  try {
    *image = cv::imdecode(*encoded, flags);
    return true;
  } catch (const cv::Exception& e) {
    *error = e.err;
  } catch (const std::exception& e) {
    *error = e.what();
  }
  return false;
}

ORVANE_EXPORT bool orvane_codecs_encode(const char* ext, const cv::Mat* image,
                                        const std::vector<int>* params,
                                        std::vector<unsigned char>* bytes, std::string* error) {
  try {
    if (cv::imencode(ext, *image, *bytes, *params)) return true;
    *error = "the encoder could not write the image";
  } catch (const cv::Exception& e) {
    *error = e.err;
  } catch (const std::exception& e) {
    *error = e.what();
  }
  return false;
}
