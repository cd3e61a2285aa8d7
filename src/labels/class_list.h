// The class list of an image folder (classes.txt): one class name per line; a
// class id is a position in the list.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

namespace orvane {

// A class name as kept: without white space and U+FEFF at either end. A name
// starting with U+FEFF would be written at the start of classes.txt and read
// back as a byte-order mark.
QString clean_class_name(QStringView name);

// The names of classes.txt bytes: UTF-8 (a byte-order mark is skipped; bytes
// that are not UTF-8 are read as Latin-1 so no name is mangled), each line
// cleaned by clean_class_name, empty lines dropped, repeated names kept.
QStringList parse_class_list(QByteArrayView bytes);

// The classes.txt text: each name followed by a line feed, in UTF-8.
QByteArray format_class_list(const QStringList& classes);

// The id of a class name: its first position in the list, so a name listed
// twice keeps its first id. Built once for many look-ups.
class ClassIds {
 public:
  explicit ClassIds(const QStringList& classes);
  // -1 when `name` is not in the list.
  int id_of(const QString& name) const { return ids_.value(name, -1); }

 private:
  QHash<QString, int> ids_;
};

// The id of `name` by the same rule, for a single look-up; -1 when absent.
int class_id_of(const QStringList& classes, const QString& name);

struct ClassListFile {
  bool exists = false;
  QStringList names;  // empty when the file is missing or unreadable
  QString error;      // why an existing file could not be read
  QByteArray bytes;   // the file as read
};

// Reads the class list file at `path`.
ClassListFile read_class_list_file(const QString& path);

// Replaces the class list file at `path` (an existing file that cannot be read
// is left alone; a symbolic link is written through to its target). Returns
// the reason of a failure, or an empty text.
QString write_class_list_file(const QString& path, const QStringList& classes);
// The same with the file's bytes given.
QString write_class_list_bytes(const QString& path, const QByteArray& bytes);

}  // namespace orvane
