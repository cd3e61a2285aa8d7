// The image file types each job accepts, in the order each job gathers them
// (the splitter goes type by type). Extensions are lower case, with the dot.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvane {

enum class ImageJob { kAnnotator, kHealth, kResizer, kSplitter, kEnricher, kInference };

// The extensions of `job`, in the order the job gathers them.
const QStringList& image_extensions(ImageJob job);

// Whether `file_name` ends with one of the job's extensions, in any case.
bool ends_with_image_extension(QStringView file_name, ImageJob job);

// Whether `extension` (with its dot) is one of the job's, in any case.
bool is_image_extension(QStringView extension, ImageJob job);

// The chooser filter for the job's types: "Images (*.jpg *.jpeg ...)".
QString image_file_filter(ImageJob job);

}  // namespace orvane
