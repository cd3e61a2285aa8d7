// The class list of an image folder (classes.txt): one class name per line; a
// class id is a position in the list.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The names of classes.txt bytes: UTF-8 (a byte-order mark is skipped; bytes
// that are not UTF-8 are read as Latin-1 so no name is mangled), lines trimmed,
// empty lines dropped, repeated names kept.
QStringList parse_class_list(QByteArrayView bytes);

// The classes.txt text: each name followed by a line feed, in UTF-8.
QByteArray format_class_list(const QStringList& classes);

// The id of `name`: its first position in `classes`, or -1 when absent.
int class_id_of(const QStringList& classes, const QString& name);

struct ClassListFile {
  bool exists = false;
  QStringList names;  // empty when the file is missing or unreadable
  QString error;      // why an existing file could not be read
};

// Reads the class list file at `path`.
ClassListFile read_class_list_file(const QString& path);
