// Everything modal goes through the Dialogs seam: no other source file may call
// QMessageBox, QFileDialog or a dialog's exec().
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTextStream>

namespace {

TEST(SourceRules, OnlyTheDialogSeamOpensModalWindows) {
  const QString root = QStringLiteral(ORVANE_SOURCE_DIR "/src");
  const QRegularExpression forbidden(
      QStringLiteral(R"(<QMessageBox>|<QFileDialog>|\bQ(MessageBox|FileDialog)\s*(::|\w|\*|&|\()|)"
                     R"((?<!dialogs\(\))(?<!dialogs_)(\.|->)\s*exec\s*\()"));
  int files = 0;
  QStringList offenders;
  QDirIterator it(root, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = path.mid(root.size() + 1);
    if (relative.startsWith(QLatin1String("ui/dialogs."))) continue;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    ++files;
    int line_number = 0;
    QTextStream in(&file);
    while (!in.atEnd()) {
      // Comments may name what they avoid; the seam's own calls are allowed.
      const QString line = in.readLine().section(QStringLiteral("//"), 0, 0);
      ++line_number;
      // The event loop of the program itself is not a dialog.
      if (relative == QLatin1String("app/main.cpp") && line.contains("app.exec()")) continue;
      if (forbidden.match(line).hasMatch()) {
        offenders << QStringLiteral("%1:%2: %3").arg(relative).arg(line_number).arg(line.trimmed());
      }
    }
  }
  EXPECT_GT(files, 10);
  EXPECT_TRUE(offenders.isEmpty()) << offenders.join('\n').toStdString();
}

// Feature folders include shared layers only; the one arrow between features
// is the annotator hosting the dataset tools. Each shared layer includes only
// the layers its row of the map names, and nothing includes the window shell
// that assembles the tabs: it alone sits on top.
TEST(SourceRules, FoldersIncludeOnlyWhatTheirLayerMay) {
  const QString root = QStringLiteral(ORVANE_SOURCE_DIR "/src");
  const QStringList features = {"annotator", "dataset_tools", "resizer",  "splitter",
                                "enricher",  "training",      "inference"};
  // The shared layers' rows of docs/architecture.md.
  const QHash<QString, QStringList> shared = {{"common", {}},
                                              {"fileio", {"common"}},
                                              {"imaging", {"common", "fileio"}},
                                              {"labels", {"common", "fileio"}},
                                              {"canvas", {}},
                                              {"engine", {"common"}},
                                              {"theme", {}},
                                              {"ui", {"common", "engine"}}};
  const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s+"(\w+)/)"));
  QStringList offenders;
  int includes = 0;
  QDirIterator it(root, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = path.mid(root.size() + 1);
    const QString folder = relative.section('/', 0, 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QTextStream in(&file);
    while (!in.atEnd()) {
      const QString target = include.match(in.readLine()).captured(1);
      if (target.isEmpty() || target == folder) continue;
      if (target == QLatin1String("app")) {
        offenders << relative + " -> app";
        continue;
      }
      if (shared.contains(folder) && !shared[folder].contains(target)) {
        offenders << relative + " -> " + target;
        continue;
      }
      if (!features.contains(target)) continue;
      ++includes;
      const bool allowed =
          folder == QLatin1String("app") ||
          (folder == QLatin1String("annotator") && target == QLatin1String("dataset_tools"));
      if (!allowed) offenders << relative + " -> " + target;
    }
  }
  EXPECT_GT(includes, 0);
  EXPECT_TRUE(offenders.isEmpty()) << offenders.join('\n').toStdString();
}

}  // namespace
