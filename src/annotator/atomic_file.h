// The annotator's small text files (label files, classes.txt): read whole, and
// replaced safely: the new content goes to a temporary file that is renamed
// over the old one, so a crash or a full disk never leaves a half-written file.
#pragma once

#include <QByteArray>
#include <QString>

// Reads the whole file at `path` into `bytes`. False, with the reason in
// `error`, when it cannot be opened or read.
bool read_file_bytes(const QString& path, QByteArray& bytes, QString& error);

// Writes `bytes` to `path` atomically. Returns the reason of a failure, or an
// empty text. A file that exists but cannot be read is left alone: what it
// holds is unknown, so replacing it could destroy data.
QString write_file_atomically(const QString& path, const QByteArray& bytes);

// Deletes `path` if it exists (and can be read, as above). Returns the reason
// of a failure, or an empty text.
QString remove_file_if_present(const QString& path);
