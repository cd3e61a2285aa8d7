// Safe replacement of small text files (label files, classes.txt): the new
// content goes to a temporary file that is renamed over the old one, so a crash
// or a full disk never leaves a half-written file behind.
#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` to `path` atomically. Returns the reason of a failure, or an
// empty text. A file that exists but cannot be read is left alone: what it
// holds is unknown, so replacing it could destroy data.
QString write_file_atomically(const QString& path, const QByteArray& bytes);

// Deletes `path` if it exists (and can be read, as above). Returns the reason
// of a failure, or an empty text.
QString remove_file_if_present(const QString& path);
