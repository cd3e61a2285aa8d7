// What a batch job (resizer, splitter, enricher) writes of each output: the
// image, and beside it the label file its source's shapes become, with the
// class list of the folder they go to. One rule for the three jobs: an output
// image and the label file beside it always describe each other, and a file
// this run may not replace is never replaced or removed.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include "labels/label_carry.h"

namespace orvane {

class BatchOutput;

// The label file an output image gets: its text, and the class list its ids
// refer to (the source folder's).
struct OutputLabels {
  QByteArray bytes;
  QStringList classes;
};

// How an output image's write ended.
struct OutputWrite {
  QString refused;  // a file in the way may not be replaced: "<name> is already in the folder ..."
  QString error;    // the write itself failed
  bool written() const { return refused.isEmpty() && error.isEmpty(); }
};

// One batch job's outputs and their label files, on the job's own thread
// (the source class lists may be read from any thread once it is built).
//
// Which files may be replaced: a file this run wrote; in a folder that holds
// none of the job's sources, an image of an earlier run, and the label file
// beside it (the label file of an image that this run replaces). Anything
// else already there is the user's: the output it is in the way of is
// refused and nothing is written for it.
class BatchLabelOutput {
 public:
  // `sources`: the job's source images; their folders' class lists are read
  // here, once each.
  BatchLabelOutput(BatchOutput& output, const QStringList& sources);

  // The class list of the folder holding `source` (one of the sources given).
  // Any thread.
  SourceClasses source_classes(const QString& source) const;

  // What of `source`'s label file is not carried: why it could not be read,
  // how many of its lines are not shapes.
  void note_source(const QString& source, const QString& error, int lines_not_carried);

  // Writes `image` to `image_path` and, inside the same pass, the label file
  // beside it: `labels` (none when its source has nothing to carry), after
  // the folder's classes.txt is settled (created when missing, never
  // changed). Without labels, a label file of this or an earlier run beside
  // the image is removed once the image is written.
  OutputWrite write(const QString& image_path, QByteArrayView image, const OutputLabels* labels);

  int files_written() const { return files_; }    // label files written (and still there)
  int files_removed() const { return removed_; }  // label files of an earlier run removed
  // "<file>: <reason>": labels not carried or not whole, in the order met.
  const QStringList& problems() const { return problems_; }

 private:
  bool among_sources(const QString& folder);  // a folder that holds sources
  QString class_list_for(const QString& folder, const QStringList& classes);
  void carry(const QString& image_path, const QString& label_path, bool replaceable,
             const OutputLabels* labels);

  BatchOutput& output_;
  QHash<QString, SourceClasses> source_classes_;             // by source folder
  QSet<QString> source_folders_;                             // canonical
  QHash<QString, bool> among_sources_;                       // by output folder
  QHash<QString, QHash<QStringList, QString>> class_lists_;  // by folder, by list: why not, or ""
  QSet<QString> images_;                                     // images this run wrote
  QHash<QString, QString> labels_;  // label files this run wrote: the image each is beside
  int files_ = 0;
  int removed_ = 0;
  QStringList problems_;
};

}  // namespace orvane
