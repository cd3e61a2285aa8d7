#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

void write_file(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray read_file(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void write_image(const QString& path, int width, int height, int b, int g, int r) {
  cv::Mat image(height, width, CV_8UC3, cv::Scalar(b, g, r));
  std::vector<uchar> bytes;
  const QString ext = QLatin1Char('.') + QFileInfo(path).suffix().toLower();
  ASSERT_TRUE(cv::imencode(ext.toStdString(), image, bytes)) << path.toStdString();
  write_file(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size())));
}

QByteArray smooth_picture(int width, int height, const char* ext) {
  cv::Mat coarse(40, 60, CV_8UC3);
  cv::randu(coarse, 0, 255);
  cv::Mat picture;
  cv::resize(coarse, picture, cv::Size(width, height), 0, 0, cv::INTER_CUBIC);
  std::vector<uchar> bytes;
  EXPECT_TRUE(cv::imencode(ext, picture, bytes));
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QStringList folder_entries(const QString& folder) {
  QStringList names =
      QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  names.sort();
  return names;
}

QStringList files_below(const QString& folder) {
  QStringList paths;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) paths << QDir(folder).relativeFilePath(it.next());
  paths.sort();
  return paths;
}
