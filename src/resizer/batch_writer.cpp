#include "resizer/batch_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cstdio>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <set>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/atomic_write.h"
#include "fileio/batch_output.h"
#include "imaging/image_encode.h"
#include "imaging/image_io.h"
#include "imaging/lanczos.h"
#include "labels/label_carry.h"
#include "resizer/quality_search.h"

namespace orvane {
namespace {

// Python's os.path.splitext on a base name: a leading dot does not start an
// extension.
std::pair<QString, QString> split_extension(const QString& file_name) {
  const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
  qsizetype first = 0;
  while (first < file_name.size() && file_name[first] == QLatin1Char('.')) ++first;
  if (dot <= 0 || dot < first) return {file_name, QString()};
  return {file_name.left(dot), file_name.mid(dot)};
}

cv::Mat rotate_clockwise(const cv::Mat& image, int degrees) {
  cv::Mat out;
  switch (((degrees % 360) + 360) % 360) {
    case 90:
      cv::rotate(image, out, cv::ROTATE_90_CLOCKWISE);
      return out;
    case 180:
      cv::rotate(image, out, cv::ROTATE_180);
      return out;
    case 270:
      cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE);
      return out;
    default:
      return image;
  }
}

// The working image in a shape the encoder takes: JPEG has no alpha, WEBP no grey.
cv::Mat for_encoder(const cv::Mat& image, ImageFormat format) {
  cv::Mat out;
  if (format == ImageFormat::Jpeg && image.channels() == 4) {
    cv::cvtColor(image, out, cv::COLOR_BGRA2BGR);
    return out;
  }
  if (format == ImageFormat::Webp && image.channels() == 1) {
    cv::cvtColor(image, out, cv::COLOR_GRAY2BGR);
    return out;
  }
  return image;
}

// Failures named in the closing message; the rest are counted.
constexpr int kListedFailures = 5;
// Images above the size ceiling named in it.
constexpr int kListedOverLimit = 10;

// Each thread's buffers, kept from one file to the next.
thread_local DecodeScratch scratch;

void prepare(const QString& source_path, const ResizeSettings& settings, PreparedOutput& out) {
  const auto target_for = [&](QSize full) -> QSize {
    return settings.size.enabled ? target_size(full.width(), full.height(), settings.size)
                                 : QSize();
  };
  SourceImage source = read_source_file(source_path, &scratch, target_for);
  if (source.image.empty()) {
    out.error = source.error;
    return;
  }
  cv::Mat work = source.image;
  if (settings.size.enabled) {
    const QSize full = source.full_size;
    const QSize size = target_size(full.width(), full.height(), settings.size);
    if (size.width() <= 0 || size.height() <= 0) {
      out.error = QStringLiteral("width and height must be greater than 0 (%1 x %2)")
                      .arg(size.width())
                      .arg(size.height());
      return;
    }
    if (qint64(size.width()) * size.height() > kMaxImagePixels) {
      out.error = too_many_pixels_text(size.width(), size.height());
      return;
    }
    if (size != QSize(work.cols, work.rows)) {
      work = lanczos_resize(work, size.width(), size.height());
    }
  }
  work = rotate_clockwise(work, settings.rotation);
  const ImageFormat format = output_format(source.format, settings.format_choice);
  work = for_encoder(work, format);

  if (!settings.max_bytes) {
    EncodedImage encoded = encode_image(work, format, kDefaultQuality, settings.dpi);
    out.bytes = std::move(encoded.bytes);
    out.error = encoded.error;
    return;
  }
  const double limit = *settings.max_bytes;
  // Each probe is encoded in memory; the chosen one is written once. PNG and
  // BMP ignore the quality, so one encoding serves every probe.
  const bool uses_quality = format == ImageFormat::Jpeg || format == ImageFormat::Webp;
  std::map<int, EncodedImage> probes;
  const QualitySearch search = quality_search(
      [&](int quality) -> qint64 {
        if (!uses_quality && !probes.empty()) {
          probes[quality] = probes.begin()->second;
          return probes[quality].bytes.size();
        }
        EncodedImage encoded = encode_image(work, format, quality, settings.dpi);
        if (!encoded.error.isEmpty()) throw ResizeInputError(encoded.error.toStdString());
        const qint64 size = encoded.bytes.size();
        probes[quality] = std::move(encoded);
        return size;
      },
      limit);
  out.bytes = std::move(probes[search.best].bytes);
  out.over_limit = !search.fits;
}

QString file_name_of(const QString& path) { return QFileInfo(path).fileName(); }

// The source's shapes, normalised, turned clockwise with the image.
void carry_labels(const QString& source_path, int rotation, const SourceClasses& classes,
                  PreparedOutput& out) {
  // Read in units of the image's size: the shapes stay normalised.
  const SourceLabels labels = read_source_labels(source_path, QSize(1, 1), classes);
  if (!labels.found) return;
  out.label_error = labels.error;
  out.lines_not_carried = labels.lines_not_taken;
  if (!labels.error.isEmpty()) return;
  cv::Matx33d turn = cv::Matx33d::eye();
  switch (((rotation % 360) + 360) % 360) {
    case 90:
      turn = cv::Matx33d(0, -1, 1, 1, 0, 0, 0, 0, 1);
      break;
    case 180:
      turn = cv::Matx33d(-1, 0, 1, 0, -1, 1, 0, 0, 1);
      break;
    case 270:
      turn = cv::Matx33d(0, 1, 0, -1, 0, 1, 0, 0, 1);
      break;
  }
  out.labels = OutputLabels{
      format_carried_shapes(transform_shapes(labels.shapes, turn), QSize(1, 1)), classes.names};
}

}  // namespace

ParsedBatchSettings parse_batch_settings(const BatchSettings& fields) {
  ResizeSettings settings;
  settings.dpi = fields.dpi;
  settings.rotation = fields.rotation;
  settings.format_choice = fields.format_choice;
  settings.target_kb_text = fields.target_kb_text.trimmed();
  try {
    settings.size = parse_size_fields(fields.size, fields.dpi);
    if (fields.limit_size) settings.max_bytes = parse_number(fields.target_kb_text) * 1024.0;
  } catch (const ResizeInputError& e) {
    return {std::nullopt, QString::fromStdString(e.what())};
  }
  return {std::move(settings), {}};
}

QString output_file_name(const QString& source_path, const QString& format_choice) {
  const auto [name, ext] = split_extension(QFileInfo(source_path).fileName());
  const QString out_ext = format_choice == QStringLiteral("Match Original")
                              ? ext
                              : QStringLiteral(".") + format_choice.toLower();
  return name + QStringLiteral("_scaled") + out_ext;
}

ImageFormat output_format(ImageFormat source_format, const QString& format_choice) {
  if (format_choice == QStringLiteral("PNG")) return ImageFormat::Png;
  if (format_choice == QStringLiteral("WEBP")) return ImageFormat::Webp;
  if (format_choice == QStringLiteral("JPEG")) return ImageFormat::Jpeg;
  return source_format == ImageFormat::Unknown ? ImageFormat::Jpeg : source_format;
}

PreparedOutput prepare_output(const QString& source_path, const ResizeSettings& settings,
                              const QString& out_dir, const SourceClasses& classes) {
  PreparedOutput out;
  out.output_path = QDir(out_dir).filePath(output_file_name(source_path, settings.format_choice));
  try {
    prepare(source_path, settings, out);
  } catch (const ResizeInputError& e) {
    out.error = QString::fromStdString(e.what());
  } catch (const cv::Exception& e) {
    out.error = QString::fromStdString(e.err);
  } catch (const std::bad_alloc&) {
    out.error = QStringLiteral("not enough memory");
  } catch (const std::exception& e) {
    out.error = QString::fromLocal8Bit(e.what());
  }
  if (!out.error.isEmpty()) {
    out.bytes.clear();
    return out;
  }
  carry_labels(source_path, settings.rotation, classes, out);
  return out;
}

BatchReport run_resize_batch(const QStringList& queue, const ResizeSettings& settings,
                             const QString& out_dir, const std::function<void(int)>& progress,
                             int threads, JobControl* control) {
  BatchReport report;
  report.total = int(queue.size());
  BatchOutput output(out_dir);
  BatchLabelOutput labels(output, queue);
  // Each output this run wrote, by path: the entry that wrote it, and whether
  // that file is above the size ceiling.
  QHash<QString, std::pair<int, bool>> written_by;
  std::set<int> over_limit_at;  // queue entries written above the ceiling
  std::vector<std::pair<int, QString>> failures;
  const auto failed = [&](int i, const QString& reason) {
    const QString line = file_name_of(queue[i]) + QStringLiteral(": ") + reason;
    failures.emplace_back(i, line);
    std::printf("Resizer Error: %s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
  };
  JobOptions options;
  options.threads = threads;
  if (progress) options.progress = [&progress](int done, int) { progress(done); };
  attach_control(options, control);
  const JobEnd end = run_job(
      report.total,
      // Worker threads: decoding and encoding only; nothing is written here.
      [&](int i) {
        return prepare_output(queue[i], settings, out_dir, labels.source_classes(queue[i]));
      },
      [&](int i, PreparedOutput out) {
        JobPass pass(control);
        if (!pass) return;  // called off: nothing more is written
        const auto earlier = written_by.constFind(out.output_path);
        const bool ours = earlier != written_by.constEnd();
        if (out.error.isEmpty()) {
          const OutputWrite write =
              labels.write(out.output_path, out.bytes, out.labels ? &*out.labels : nullptr);
          if (!write.refused.isEmpty()) {
            out.error = write.refused;
          } else if (!write.error.isEmpty()) {
            out.error = QStringLiteral("cannot write %1: %2").arg(out.output_path, write.error);
          }
        }
        if (!out.error.isEmpty()) return failed(i, out.error);
        // The later of two entries with one output name wins; the earlier one
        // is then no longer among the files written.
        if (ours) {
          const auto [before, before_over_limit] = *earlier;
          failed(before, QStringLiteral("its output %1 was replaced by that of %2")
                             .arg(file_name_of(out.output_path), file_name_of(queue[i])));
          --report.written;
          if (before_over_limit) over_limit_at.erase(before);
        }
        written_by.insert(out.output_path, {i, out.over_limit});
        ++report.written;
        if (out.over_limit) over_limit_at.insert(i);
        pass.count(ours ? 0 : 1);  // a replaced output is still one image
        labels.note_source(queue[i], out.label_error, out.lines_not_carried);
      },
      failed, options);
  report.cancelled = end.stopped;
  report.over_limit = int(over_limit_at.size());
  for (const int i : over_limit_at) report.over_limit_names.append(file_name_of(queue[i]));
  // Worker threads took theirs with them; the calling thread (which does the
  // work itself on a one-core machine) lets its buffers go too.
  scratch = DecodeScratch();
  report.flush_error = output.finish();
  report.labels_written = labels.files_written();
  report.labels_removed = labels.files_removed();
  report.label_problems = labels.problems();
  std::stable_sort(failures.begin(), failures.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& failure : failures) report.failures.append(std::move(failure.second));
  return report;
}

QString batch_summary(const BatchReport& report, const ResizeSettings& settings) {
  QString text = QStringLiteral("Batch process finished. Exported %1 images.").arg(report.written);
  if (!report.failures.isEmpty()) {
    text +=
        QStringLiteral("\n\n%1 of %2 files failed:").arg(report.failures.size()).arg(report.total);
    text += failure_listing(report.failures, kListedFailures);
  }
  if (report.over_limit > 0) {
    text += QStringLiteral("\n\n%1 images are larger than %2 KB even at quality 5.")
                .arg(report.over_limit)
                .arg(settings.target_kb_text);
    text += failure_listing(report.over_limit_names, kListedOverLimit);
  }
  text += carried_labels_text(report.labels_written, QStringLiteral("images"),
                              report.label_problems, kListedFailures, report.labels_removed);
  if (!report.flush_error.isEmpty()) {
    text += QStringLiteral("\n\n") + flush_failure_text(report.flush_error);
  }
  return text;
}

}  // namespace orvane
