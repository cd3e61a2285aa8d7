// Files of the inference tab: the images of a folder, and where an exported model goes.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace orvane {

// What a prediction found, by class, the most frequent first: "3 objects found: 2 car,
// 1 person", "1 object found: 1 car", "No objects found". `classes` holds each object's class
// id; `names` the model's names (an id without a name is shown as its number).
QString found_text(const std::vector<int>& classes, const std::map<int, QString>& names);

// The folder's image files (extensions .jpg .jpeg .png .bmp .webp in any case), not its
// subfolders, in the order the file system lists them, as normalised paths.
QStringList list_inference_images(const QString& folder);

struct ExportDestination {
  QString path;   // where the export goes inside the export folder
  QString error;  // set when there is no safe destination
};

// The destination of an exported model `exported` in `export_dir`: the export folder joined
// with the last non-empty component of the returned path. Refused when that would be the
// export folder itself or a folder holding it.
ExportDestination export_destination(const QString& exported, const QString& export_dir);

// Moves the exported file or folder to `destination`, first deleting what is there (an
// earlier export of the same name). Nothing moves when both are the same. Returns an error
// message, empty on success.
QString move_export(const QString& exported, const QString& destination);

}  // namespace orvane
