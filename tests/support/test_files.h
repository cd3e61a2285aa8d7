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
// Names of a folder's entries, sorted.
QStringList folder_entries(const QString& folder);
