// Reading whole files: label files, class lists and the like, read by the
// hundred thousand by the dataset tools, so through plain system calls.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace orvane {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file at `path` into `bytes` (emptied on failure). `error`
// receives the system's reason when it is not Ok (Missing: the file does not
// exist).
ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error = nullptr);
ReadStatus read_whole_file(const QString& path, QByteArray& bytes, QString* error = nullptr);

}  // namespace orvane
