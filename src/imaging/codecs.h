// OpenCV's image codecs, loaded on first use from the module beside the
// program: they pull in dozens of libraries (GDAL, OpenEXR, DICOM, ...) whose
// loading would otherwise take most of the program's start-up.
#pragma once

#include <QString>
#include <opencv2/core.hpp>
#include <vector>

namespace orvane {

// cv::imdecode of `encoded` with `flags`. An empty image with `error` set
// when the module cannot be loaded or the decoder throws; an empty image and
// no error when the data is not an image it reads. Any thread.
cv::Mat codecs_decode(const cv::Mat& encoded, int flags, QString& error);

// cv::imencode into `bytes`. False with `error` set on failure. Any thread.
bool codecs_encode(const char* ext, const cv::Mat& image, const std::vector<int>& params,
                   std::vector<unsigned char>& bytes, QString& error);

// Where the module is looked for, first match wins: beside the program, in
// ../lib/orvane-studio beside it (installed), then the build folder's copy.
QStringList codecs_module_candidates();

}  // namespace orvane
