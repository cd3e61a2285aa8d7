// File helpers for tests: temporary folders, small files and images.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes `bytes` to `path`, creating parent folders; fails the test on error.
void write_file(const QString& path, const QByteArray& bytes);
// The file's bytes, or an empty array when it cannot be read.
QByteArray read_file(const QString& path);
// Writes a w x h image of one BGR colour, encoded by the file's extension.
void write_image(const QString& path, int width, int height, int b = 90, int g = 120, int r = 200);
// A picture of soft detail encoded by `ext` (".jpg", ".png"): small on the
// disk, but as costly to decode, resample and encode as a photo of its size.
QByteArray smooth_picture(int width, int height, const char* ext);
// Names of a folder's entries, sorted.
QStringList folder_entries(const QString& folder);
// Paths of every file below `folder` (hidden ones too), relative to it, sorted.
QStringList files_below(const QString& folder);
