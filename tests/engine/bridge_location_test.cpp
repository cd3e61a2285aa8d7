// Where the program finds its engine bridge: beside itself, in the build folder as once
// installed, and still after it is moved together with its bridge.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "support/test_files.h"

namespace {

// Runs the locator at `program` with the stand-in engine on PYTHONPATH: {bridge path, "1"|"0"}.
QStringList locate(const QString& program) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PYTHONPATH", ORVANE_FIXTURES_DIR);
  env.insert("YOLO_OFFLINE", "true");
  env.insert("PYTHONDONTWRITEBYTECODE", "1");
  process.setProcessEnvironment(env);
  process.start(program, {});
  if (!process.waitForFinished(60000)) return {"did not finish"};
  return QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(BridgeLocation, TheBridgeTravelsWithTheProgram) {
  const QString shipped = QStringLiteral(ORVANE_PROGRAM_DIR "/engine_bridge.py");
  ASSERT_TRUE(QFileInfo(shipped).isFile()) << "the build folder has no bridge beside the program";
  EXPECT_EQ(read_file(shipped), read_file(ORVANE_SOURCE_DIR "/src/engine/engine_bridge.py"));

  QTemporaryDir moved;
  const QString program = moved.filePath("locator");
  ASSERT_TRUE(QFile::copy(ORVANE_LOCATOR, program));
  ASSERT_TRUE(QFile::copy(shipped, moved.filePath("engine_bridge.py")));
  EXPECT_EQ(locate(program), (QStringList{moved.filePath("engine_bridge.py"), "1"}));
  // Moved without it, the program finds none, never the source tree's copy.
  ASSERT_TRUE(QFile::remove(moved.filePath("engine_bridge.py")));
  EXPECT_EQ(locate(program), QStringList{"0"});

  QTemporaryDir prefix;
  QProcess install;
  install.start(ORVANE_CMAKE, {"--install", ORVANE_BUILD_DIR, "--prefix", prefix.path()});
  ASSERT_TRUE(install.waitForFinished(120000));
  ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
  EXPECT_TRUE(QFileInfo(prefix.filePath("bin/orvane-studio")).isExecutable());
  EXPECT_EQ(read_file(prefix.filePath("bin/engine_bridge.py")), read_file(shipped));
}

}  // namespace
