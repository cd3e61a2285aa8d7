#include "annotator/class_list.h"

#include <QFile>
#include <QStringDecoder>

#include "annotator/atomic_file.h"

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
      const QStringView name = part.trimmed();
      if (!name.isEmpty()) names.push_back(name.toString());
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

int class_id_of(const QStringList& classes, const QString& name) {
  return static_cast<int>(classes.indexOf(name));
}

ClassListFile read_class_list_file(const QString& path) {
  ClassListFile result;
  result.exists = QFile::exists(path);
  QByteArray bytes;
  if (!result.exists || !read_file_bytes(path, bytes, result.error)) return result;
  result.names = parse_class_list(bytes);
  return result;
}
