// Reading whole files: label files, class lists and the like, read by the
// hundred thousand by the dataset tools, so through plain system calls.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace orvane {

enum class ReadStatus { Ok, Missing, Failed };

// Label files and class lists beyond this size are refused: no real one comes
// near it, and reading a runaway file whole would exhaust memory.
inline constexpr qint64 kMaxTextFileBytes = qint64{64} << 20;

// Reads the whole file at `path` into `bytes` (emptied on failure). Only
// regular files (or links to them) of at most `max_bytes` are read: a FIFO, a
// device or a socket is refused rather than waited on or read forever.
// `error` receives the reason when it is not Ok (Missing: the file does not
// exist).
ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error = nullptr,
                           qint64 max_bytes = kMaxTextFileBytes);
ReadStatus read_whole_file(const QString& path, QByteArray& bytes, QString* error = nullptr,
                           qint64 max_bytes = kMaxTextFileBytes);

// The system's text for an errno value.
QString system_reason(int code);

// The reason given for a file that is not a regular file, and for one above
// `max_bytes`.
QString not_regular_file_reason();
QString too_large_reason(qint64 max_bytes);

}  // namespace orvane
