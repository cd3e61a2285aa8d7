#include "labels/class_list.h"

#include <QStringDecoder>

#include "fileio/atomic_write.h"
#include "fileio/file_read.h"
#include "labels/label_paths.h"

namespace orvane {

QString clean_class_name(QStringView name) {
  constexpr char16_t kZeroWidthNoBreakSpace = 0xFEFF;
  qsizetype first = 0, last = name.size();
  while (first < last &&
         (name[first].isSpace() || name[first].unicode() == kZeroWidthNoBreakSpace)) {
    ++first;
  }
  while (last > first &&
         (name[last - 1].isSpace() || name[last - 1].unicode() == kZeroWidthNoBreakSpace)) {
    --last;
  }
  return name.mid(first, last - first).toString();
}

QStringList parse_class_list(QByteArrayView bytes) {
  static constexpr char kBom[] = "\xEF\xBB\xBF";
  if (bytes.startsWith(QByteArrayView(kBom, 3))) bytes = bytes.sliced(3);

  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes.data(), bytes.size());

  QStringList names;
  // Lines may end in LF, CRLF or a lone CR.
  for (QStringView line : QStringView(text).tokenize(u'\n')) {
    for (QStringView part : line.tokenize(u'\r')) {
      QString name = clean_class_name(part);
      if (!name.isEmpty()) names.push_back(std::move(name));
    }
  }
  return names;
}

QByteArray format_class_list(const QStringList& classes) {
  QByteArray out;
  for (const QString& name : classes) {
    out += name.toUtf8();
    out += '\n';
  }
  return out;
}

ClassIds::ClassIds(const QStringList& classes) {
  ids_.reserve(classes.size());
  // Backwards, so the first position of a repeated name is the one kept.
  for (int id = static_cast<int>(classes.size()) - 1; id >= 0; --id) ids_.insert(classes[id], id);
}

int class_id_of(const QStringList& classes, const QString& name) {
  return static_cast<int>(classes.indexOf(name));
}

ClassListFile read_class_list_file(const QString& path) {
  ClassListFile result;
  QByteArray bytes;
  const ReadStatus status = read_whole_file(path, bytes, &result.error);
  result.exists = status != ReadStatus::Missing;
  if (status == ReadStatus::Ok) {
    result.names = parse_class_list(bytes);
    result.bytes = std::move(bytes);
  } else if (status == ReadStatus::Missing) {
    result.error.clear();
  }
  return result;
}

QString write_class_list_file(const QString& path, const QStringList& classes) {
  return write_class_list_bytes(path, format_class_list(classes));
}

QString write_class_list_bytes(const QString& path, const QByteArray& bytes) {
  QString error;
  const QString target = write_target(path, &error);
  if (target.isEmpty()) return error;
  return write_file_atomically(target, bytes, ExistingFile::kKeepIfUnreadable);
}

}  // namespace orvane
