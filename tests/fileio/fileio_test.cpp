// Writing and reading files when the disk is full, the process is killed, or
// a file is not what its name suggests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <tuple>

#include "common/process_signals.h"
#include "dataset_tools/split_export.h"
#include "fileio/atomic_write.h"
#include "fileio/batch_output.h"
#include "fileio/file_copy.h"
#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "labels/class_list.h"
#include "labels/label_file.h"
#include "support/fifo_trap.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes. With `survive`, writes beyond it fail with EFBIG (a full disk as the
// writer sees it); without, the kernel kills the child in the middle of the
// write. Returns the child's wait status.
int run_with_file_size_limit(rlim_t limit, bool survive, const std::function<bool()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    std::signal(SIGXFSZ, survive ? SIG_IGN : SIG_DFL);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

const QByteArray kOld = "0 0.1 0.1 0.2 0.2 0.3 0.3\n";
const QByteArray kBig = QByteArray(4096, '7');

struct Writer {
  const char* what;
  const char* target;  // relative to the folder; holds kOld before
  // Writes into `folder`; an export reads its files from `sources`.
  std::function<QString(const QString& folder, const QString& sources)> write;
};

const Writer kWriters[] = {
    {"label file", "a.txt",
     [](const QString& folder, const QString&) {
       return write_label_file(folder + "/a.txt", kBig);
     }},
    {"classes.txt", "classes.txt",
     [](const QString& folder, const QString&) {
       return write_class_list_file(folder + "/classes.txt", QStringList(500, "a long class"));
     }},
    {"export", "out/train/labels/a.txt",
     [](const QString& folder, const QString& sources) {
       SplitAssignment split;
       split.parts[0] = {{sources + "/a.png", sources + "/a.txt"}};
       return export_split_dataset(folder + "/out", split, LabelFormat::Segmentation, {"a"}).error;
     }},
};

// The old file is untouched, the failure has a reason, and no temporary file
// is left behind.
void expect_old_file_kept(const Writer& writer, const QString& folder, const QString& error) {
  EXPECT_FALSE(error.isEmpty()) << writer.what;
  EXPECT_EQ(read_file(folder + "/" + writer.target), kOld) << writer.what;
  const QString parent = QFileInfo(folder + "/" + writer.target).path();
  for (const QString& name : folder_entries(parent)) {
    EXPECT_FALSE(name.endsWith(".tmp")) << writer.what << ": " << name.toStdString();
  }
}

// Images and labels for the export, bigger than the room left.
QString export_sources(const QTemporaryDir& dir) {
  write_file(dir.filePath("sources/a.png"), kBig);
  write_file(dir.filePath("sources/a.txt"), kBig);
  return dir.filePath("sources");
}

TEST(FullDisk, AFailedWriteKeepsTheOldFile) {
  for (const Writer& writer : kWriters) {
    QTemporaryDir dir;
    write_file(dir.filePath(writer.target), kOld);
    const QString folder = dir.path();
    const QString sources = export_sources(dir);
    // The child reports through its exit code; the parent reads the disk. It
    // sets the signal up as the program does at start-up.
    const int status = run_with_file_size_limit(1024, false, [&] {
      ignore_file_size_signal();
      const QString error = writer.write(folder, sources);
      return !error.isEmpty() && (error.contains("too large") || error.contains("File too large"));
    });
    ASSERT_TRUE(WIFEXITED(status)) << writer.what;
    EXPECT_EQ(WEXITSTATUS(status), 0) << writer.what << ": no failure or another reason";
    expect_old_file_kept(writer, folder, "reported in the child");
  }
}

TEST(FullDisk, AFullFileSystem) {
  QTemporaryDir dir;
  const QString mount_point = dir.filePath("small");
  ASSERT_TRUE(QDir().mkpath(mount_point));
  if (mount("tmpfs", QFile::encodeName(mount_point).constData(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "no right to mount a file system";
  }
  const QString sources = export_sources(dir);
  for (const Writer& writer : kWriters) {
    write_file(mount_point + "/" + writer.target, kOld);
    // Fill what is left.
    QFile filler(mount_point + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
    }
    filler.close();
    expect_old_file_kept(writer, mount_point, writer.write(mount_point, sources));
    QDir(mount_point).removeRecursively();
  }
  umount(QFile::encodeName(mount_point).constData());
}

TEST(AtomicWrite, AProcessKilledWhileWritingLeavesNoPartialFileUnderTheTargetsName) {
  QTemporaryDir dir;
  const QByteArray photo(1 << 20, 'j');
  write_file(dir.filePath("photo.jpg"), photo);
  // The kernel kills the writer once the file reaches the limit.
  const int status = run_with_file_size_limit(64 * 1024, false, [&] {
    write_file_atomically(dir.filePath("new.jpg"), photo);
    return true;
  });
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(QFile::exists(dir.filePath("new.jpg")));
  // An export killed while writing a converted label file.
  QByteArray labels;
  while (labels.size() < 256 * 1024) labels += "0 0.1 0.1 0.2 0.1 0.2 0.2\n";
  write_file(dir.filePath("a.txt"), labels);
  write_file(dir.filePath("a.png"), "tiny");
  SplitAssignment split;
  split.parts[0] = {{dir.filePath("a.png"), dir.filePath("a.txt")}};
  const int export_status = run_with_file_size_limit(64 * 1024, false, [&] {
    export_split_dataset(dir.filePath("out"), split, LabelFormat::Detection, {"a"});
    return true;
  });
  EXPECT_TRUE(WIFSIGNALED(export_status));
  EXPECT_EQ(read_file(dir.filePath("out/train/images/a.png")), "tiny");
  EXPECT_FALSE(QFile::exists(dir.filePath("out/train/labels/a.txt")));
  // The killed export's hidden file goes with the next export into the folder.
  ASSERT_EQ(folder_entries(dir.filePath("out/train/labels")).size(), 1);
  EXPECT_TRUE(export_split_dataset(dir.filePath("out"), split, LabelFormat::Detection, {"a"}).ok);
  EXPECT_EQ(folder_entries(dir.filePath("out/train/labels")), QStringList{"a.txt"});
}

TEST(AtomicWrite, KeepingTheExistingEntryNeverReplacesIt) {
  QTemporaryDir dir;
  write_file(dir.filePath("mine.jpg"), "the user's");
  ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("link.jpg")));
  for (const char* name : {"mine.jpg", "link.jpg"}) {
    EXPECT_EQ(write_file_atomically(dir.filePath(name), "new", ExistingFile::kKeep),
              system_reason(EEXIST))
        << name;
  }
  EXPECT_EQ(read_file(dir.filePath("mine.jpg")), "the user's");
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere")));
  EXPECT_TRUE(QFileInfo(dir.filePath("link.jpg")).isSymLink());
  EXPECT_EQ(write_file_atomically(dir.filePath("new.jpg"), "new", ExistingFile::kKeep), QString());
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"mine.jpg", "new.jpg"}));
}

TEST(AtomicWrite, NamesNearTheLengthLimitAndPermissions) {
  QTemporaryDir dir;
  const QString name = QString(251, 'n') + ".txt";  // 255 bytes, the most a name may hold
  EXPECT_EQ(write_file_atomically(dir.filePath(name), "x\n"), QString());
  EXPECT_EQ(write_file_atomically(dir.filePath(name), "y\n"), QString());
  EXPECT_EQ(read_file(dir.filePath(name)), "y\n");
  // A replaced file keeps its permission bits.
  ASSERT_TRUE(QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::WriteOwner));
  EXPECT_EQ(write_file_atomically(dir.filePath(name), "z\n"), QString());
  struct stat info;
  ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(name)).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(folder_entries(dir.path()), QStringList{name});
}

TEST(FileRead, OnlyRegularFilesOfASaneSize) {
  QTemporaryDir dir;
  ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.txt")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("zero.txt")));
  ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.txt")));
  {
    QFile huge(dir.filePath("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(kMaxTextFileBytes + 1));  // sparse: no disk space used
  }
  write_file(dir.filePath("fine.txt"), kOld);
  // Name, reason, and whether a copy (no size limit) refuses it too.
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"fifo.txt", "Not a regular file", true},
      {"zero.txt", "Not a regular file", true},
      {"folder.txt", "Is a directory", true},
      {"huge.txt", "File larger than 64 MB", false},
  };
  for (const auto& [name, reason, no_copy] : cases) {
    std::string bytes = "left over";
    QString error;
    EXPECT_EQ(read_whole_file(dir.filePath(name), bytes, &error), ReadStatus::Failed) << name;
    EXPECT_EQ(error, reason) << name;
    EXPECT_TRUE(bytes.empty()) << name;
    const LabelFileContent content = read_label_file(dir.filePath(name), 1, 10, 10);
    EXPECT_TRUE(content.unreadable && content.exists) << name;
    if (!no_copy) continue;
    QString copy_error;
    EXPECT_EQ(copy_file_with_metadata(dir.filePath(name), dir.filePath("copy"), copy_error),
              CopyStatus::Failed)
        << name;
    EXPECT_FALSE(QFile::exists(dir.filePath("copy"))) << name;
  }
  std::string bytes;
  EXPECT_EQ(read_whole_file(dir.filePath("fine.txt"), bytes), ReadStatus::Ok);
  EXPECT_EQ(read_whole_file(dir.filePath("absent.txt"), bytes), ReadStatus::Missing);
}

TEST(FolderListing, NamesThatAreNotUtf8AreCountedNotListed) {
  QTemporaryDir dir;
  write_file(dir.filePath("good.png"), "x");
  const QByteArray bad = QFile::encodeName(dir.path()) + "/bad\xff\xfe.png";
  const int fd = ::open(bad.constData(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::vector<FolderEntry> entries;
  QString error;
  int unreadable = -1;
  ASSERT_TRUE(list_folder(dir.path(), entries, error, &unreadable));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "good.png");
  EXPECT_TRUE(entries[0].is_file);
  EXPECT_EQ(unreadable, 1);
  ::unlink(bad.constData());  // beyond the reach of QTemporaryDir
}

// Regular files only, in name order; with `recursive`, each real folder once
// however many links lead to it, top-down.
TEST(FolderListing, RegularFilesOnlyEachRealFolderOnce) {
  QTemporaryDir dir;
  const QString root = dir.filePath("root");
  for (const char* name : {"b.jpg", "a.jpg", ".hidden.jpg", "sub/c.jpg", "sub/deeper/d.jpg"}) {
    write_file(root + "/" + name, "x");
  }
  write_file(dir.filePath("other.jpg"), "x");
  const FifoTrap fifo(root + "/fifo.jpg");
  ASSERT_TRUE(QFile::link(root + "/a.jpg", root + "/link.jpg"));
  ASSERT_TRUE(QFile::link(root + "/missing.jpg", root + "/broken.jpg"));
  ASSERT_TRUE(QDir().mkpath(root + "/folder.jpg"));
  ASSERT_TRUE(QFile::link(".", root + "/loop"));
  ASSERT_TRUE(QFile::link("..", root + "/up"));
  ASSERT_TRUE(QFile::link("..", root + "/sub/back"));
  const QStringList top = {root + "/.hidden.jpg", root + "/a.jpg", root + "/b.jpg",
                           root + "/link.jpg"};
  EXPECT_EQ(regular_files(root), top);
  EXPECT_EQ(regular_files_below(root, false), top);
  // "loop" is the root itself and "sub/back" leads back to it: neither is
  // walked again. "up" is the parent, walked once, with the root skipped.
  EXPECT_EQ(
      regular_files_below(root, true),
      top + QStringList({root + "/sub/c.jpg", root + "/sub/deeper/d.jpg", root + "/up/other.jpg"}));
  EXPECT_EQ(regular_files(dir.filePath("absent")), QStringList());
  EXPECT_FALSE(fifo.fired());
}

// The batch output's one flush at the end reports its failure.
TEST(BatchOutput, CountsWrittenFilesAndReportsTheFinalFlush) {
  QTemporaryDir dir;
  const QString folder = dir.filePath("out");
  ASSERT_TRUE(QDir().mkpath(folder));
  BatchOutput output(folder);
  EXPECT_EQ(output.write(folder + "/a.txt", "a"), QString());
  EXPECT_FALSE(output.write(folder + "/missing/b.txt", "b").isEmpty());
  QString error;
  EXPECT_EQ(output.copy(folder + "/a.txt", folder + "/c.txt", error), CopyStatus::Ok);
  EXPECT_EQ(output.files_written(), 2);
  EXPECT_EQ(output.finish(), QString());
  EXPECT_EQ(read_file(folder + "/c.txt"), "a");

  BatchOutput gone(folder);
  EXPECT_EQ(gone.finish(), QString());  // nothing written, nothing to flush
  EXPECT_EQ(gone.write(folder + "/d.txt", "d"), QString());
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_EQ(gone.finish(), "No such file or directory");
}

}  // namespace
