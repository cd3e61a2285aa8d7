#include "engine/checkpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>

namespace orvane {
namespace {

constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kLongestComment = 0xFFFF;
constexpr qint64 kZip64LocatorSize = 20;
constexpr qint64 kZip64EndRecordSize = 56;
constexpr qint64 kEntryHeaderSize = 46;
// A central directory larger than this is not one the engine writes.
constexpr qint64 kLargestDirectory = qint64(64) << 20;

std::uint64_t little(const QByteArray& bytes, qint64 at, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | std::uint8_t(bytes[at + i]);
  return value;
}

bool signature_at(const QByteArray& bytes, qint64 at, const char (&signature)[5]) {
  return at >= 0 && at + 4 <= bytes.size() && bytes.mid(at, 4) == QByteArray(signature, 4);
}

QByteArray read_at(QFile& file, qint64 at, qint64 size) {
  if (at < 0 || size < 0 || !file.seek(at)) return {};
  return file.read(size);
}

}  // namespace

bool is_whole_checkpoint(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const qint64 size = file.size();
  if (size < kEndRecordSize) return false;
  const qint64 tail_start = std::max<qint64>(0, size - kEndRecordSize - kLongestComment);
  const QByteArray tail = read_at(file, tail_start, size - tail_start);
  if (tail.size() != size - tail_start) return false;
  // The end record, whose comment reaches exactly to the end of the file.
  qint64 end = -1;
  for (qint64 at = tail.size() - kEndRecordSize; at >= 0; --at) {
    if (signature_at(tail, at, "PK\x05\x06") &&
        at + kEndRecordSize + qint64(little(tail, at + 20, 2)) == tail.size()) {
      end = at;
      break;
    }
  }
  if (end < 0) return false;
  std::uint64_t entries = little(tail, end + 10, 2);
  std::uint64_t directory_size = little(tail, end + 12, 4);
  std::uint64_t directory_at = little(tail, end + 16, 4);
  qint64 directory_end = tail_start + end;  // where the directory must end
  if (entries == 0xFFFF || directory_size == 0xFFFFFFFF || directory_at == 0xFFFFFFFF) {
    // A zip64 archive: its own end record, found through the locator before the end record.
    const QByteArray locator =
        read_at(file, tail_start + end - kZip64LocatorSize, kZip64LocatorSize);
    if (locator.size() != kZip64LocatorSize || !signature_at(locator, 0, "PK\x06\x07"))
      return false;
    const qint64 record_at = qint64(little(locator, 8, 8));
    if (record_at < 0 || record_at + kZip64EndRecordSize > tail_start + end - kZip64LocatorSize)
      return false;
    const QByteArray record = read_at(file, record_at, kZip64EndRecordSize);
    if (record.size() != kZip64EndRecordSize || !signature_at(record, 0, "PK\x06\x06"))
      return false;
    entries = little(record, 32, 8);
    directory_size = little(record, 40, 8);
    directory_at = little(record, 48, 8);
    directory_end = record_at;
  }
  if (directory_size > std::uint64_t(kLargestDirectory) ||
      directory_at > std::uint64_t(directory_end) ||
      directory_at + directory_size != std::uint64_t(directory_end) || entries == 0)
    return false;
  const QByteArray directory = read_at(file, qint64(directory_at), qint64(directory_size));
  if (directory.size() != qint64(directory_size)) return false;
  qint64 at = 0;
  for (std::uint64_t i = 0; i < entries; ++i) {
    if (at + kEntryHeaderSize > directory.size() || !signature_at(directory, at, "PK\x01\x02"))
      return false;
    const std::uint64_t local_at = little(directory, at + 42, 4);
    if (local_at != 0xFFFFFFFF) {  // else in the zip64 extra field: the directory vouches
      if (local_at >= directory_at) return false;
      if (!signature_at(read_at(file, qint64(local_at), 4), 0, "PK\x03\x04")) return false;
    }
    at += kEntryHeaderSize + qint64(little(directory, at + 28, 2)) +
          qint64(little(directory, at + 30, 2)) + qint64(little(directory, at + 32, 2));
  }
  return at == directory.size();
}

QStringList damaged_checkpoints(const QString& save_dir) {
  QStringList damaged;
  if (save_dir.isEmpty()) return damaged;
  for (const char* name : {"weights/last.pt", "weights/best.pt"}) {
    const QString path = QDir(save_dir).filePath(QLatin1String(name));
    if (QFileInfo(path).isFile() && !is_whole_checkpoint(path)) damaged << path;
  }
  return damaged;
}

}  // namespace orvane
