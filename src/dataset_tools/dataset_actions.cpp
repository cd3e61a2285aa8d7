// The dataset tools behind the annotator's buttons.
#include "dataset_tools/dataset_actions.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>

#include "dataset_tools/analytics.h"
#include "dataset_tools/analytics_dialog.h"
#include "dataset_tools/coco_voc_export.h"
#include "dataset_tools/coco_voc_export_dialog.h"
#include "dataset_tools/health.h"
#include "dataset_tools/import_dialog.h"
#include "dataset_tools/split_config_dialog.h"
#include "dataset_tools/split_export.h"
#include "fileio/file_read.h"
#include "ui/dialogs.h"
#include "ui/wait_cursor.h"

namespace orvane {

namespace {

// True when `folder` is the dataset's own folder or one above it, where its
// data.yaml, if any, is the user's.
bool holds_dataset(const QString& folder, const QString& image_folder) {
  const QString outer = QFileInfo(folder).canonicalFilePath();
  const QString inner = QFileInfo(image_folder).canonicalFilePath();
  if (outer.isEmpty() || inner.isEmpty()) return false;
  if (inner == outer) return true;
  return inner.startsWith(outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/'));
}

// "The train and val parts are empty" and the like, or nothing when every
// part that was given a share received images. The engine cannot train
// without train images, nor validate without val images.
QString empty_parts_note(const SplitAssignment& split, const std::array<double, 3>& ratios,
                         int annotated) {
  QStringList empty;
  for (size_t part = 0; part < 2; ++part) {
    if (ratios[part] > 0 && split.parts[part].empty()) empty << QLatin1String(kSplitParts[part]);
  }
  if (empty.isEmpty()) return {};
  const QString parts = empty.size() == 1 ? QStringLiteral("The %1 part is").arg(empty[0])
                                          : QStringLiteral("The train and val parts are");
  const QString images = annotated == 1 ? QStringLiteral("1 annotated image is")
                                        : QStringLiteral("%1 annotated images are").arg(annotated);
  return QStringLiteral(
             "%1 empty: %2 too few for the chosen percentages. Training needs images "
             "in train and val; annotate more images or change the percentages.")
      .arg(parts, images);
}

}  // namespace

DatasetTools::DatasetTools(Dialogs& dialogs, QWidget* parent, TabWork& work,
                           DatasetJobWidgets widgets)
    : dialogs_(dialogs), parent_(parent), work_(work), widgets_(widgets) {
  work_.bind_progress(widgets_.bar, true);
}

void DatasetTools::check_health(const LoadedDataset& dataset) {
  if (work_.job_running()) return;
  const QString image_folder = dataset.image_folder;
  if (image_folder.isEmpty()) {
    dialogs_.information(parent_, QStringLiteral("Health Check"),
                         QStringLiteral("Please load a dataset folder first."));
    return;
  }
  struct Checked {
    bool listed = false;
    QString error;  // why the folder could not be listed
    HealthReport report;
  };
  // The number of label files comes with the listing.
  TabWork::JobFace face{
      widgets_.health,
      0,
      other_buttons(widgets_.health),
      QStringLiteral("Health Check"),
      [](const JobTally&, int) { return QStringLiteral("Health check cancelled."); },
      QStringLiteral("The health check stopped: %1")};
  work_.start_job(
      std::move(face),
      [image_folder](JobControl& control) {  // the job's thread
        Checked checked;
        DatasetListing listing;
        checked.listed = list_dataset_folder(image_folder, listing, checked.error);
        if (checked.listed) checked.report = check_dataset_health(image_folder, listing, &control);
        return checked;
      },
      [this, image_folder](const Checked& checked) {
        if (checked.listed) {
          dialogs_.information(parent_, QStringLiteral("Health Check"),
                               health_report_text(checked.report));
        } else {
          dialogs_.critical(parent_, QStringLiteral("Error"),
                            QStringLiteral("Cannot read the dataset folder:\n%1\n\n%2")
                                .arg(image_folder, checked.error));
        }
      });
}

void DatasetTools::show_class_distribution(const LoadedDataset& dataset) {
  const QStringList& image_paths = dataset.image_paths;
  if (image_paths.isEmpty()) {
    dialogs_.information(parent_, QStringLiteral("Analytics"),
                         QStringLiteral("Load a dataset first."));
    return;
  }
  WaitCursor wait;
  const std::vector<ClassCount> counts = count_dataset_classes(image_paths, dataset.classes);
  wait.restore();
  if (counts.empty()) {
    dialogs_.information(parent_, QStringLiteral("Analytics"),
                         QStringLiteral("No objects annotated yet."));
    return;
  }
  AnalyticsDialog dialog(counts, parent_);
  dialogs_.exec(dialog);
}

void DatasetTools::export_split(const LoadedDataset& dataset) {
  if (work_.job_running()) return;
  const QStringList& image_paths = dataset.image_paths;
  if (image_paths.isEmpty()) return;
  SplitConfigDialog config(dialogs_, parent_);
  if (dialogs_.exec(config) != QDialog::Accepted) return;
  const std::array<double, 3> ratios = config.get_ratios();
  const LabelFormat format = config.get_format() == QLatin1String("Detection")
                                 ? LabelFormat::Detection
                                 : LabelFormat::Segmentation;
  const AlsoWrite also{config.also_coco(), config.also_voc()};

  const QString out_dir =
      dialogs_.get_existing_directory(parent_, QStringLiteral("Select Output Directory"));
  if (out_dir.isEmpty()) return;

  std::vector<LabelledImage> pairs = collect_annotated_pairs(image_paths);
  if (pairs.empty()) {
    dialogs_.warning(parent_, QStringLiteral("No Annotations"),
                     QStringLiteral("No annotated files found to split."));
    return;
  }

  // The dataset's own manifest may be written by hand (other names, more
  // keys): it is replaced only when the user says so.
  const QString manifest = QDir(out_dir).filePath(QStringLiteral("data.yaml"));
  if (holds_dataset(out_dir, dataset.image_folder) && QFileInfo::exists(manifest)) {
    QByteArray old_text;
    const ReadStatus read = read_whole_file(manifest, old_text);
    if (read != ReadStatus::Ok || old_text != manifest_for(out_dir, dataset.classes)) {
      const bool replace = dialogs_.question(
          parent_, QStringLiteral("Replace data.yaml?"),
          QStringLiteral("The output folder holds the dataset itself and its manifest:\n%1\n\n"
                         "The export writes a new data.yaml there. Replace it?")
              .arg(manifest));
      if (!replace) return;
    }
  }

  const int annotated = static_cast<int>(pairs.size());
  const SplitAssignment split =
      assign_split(std::move(pairs), ratios[0], ratios[1], shuffle_with_process_generator);
  const QString empty_note = empty_parts_note(split, ratios, annotated);
  const int unreadable_names = dataset.unreadable_names;
  TabWork::JobFace face{
      widgets_.export_split,
      annotated,
      other_buttons(widgets_.export_split),
      QStringLiteral("Export Cancelled"),
      TabWork::items_of_total(QStringLiteral("Cancelled: %1 of %2 images exported.")),
      QStringLiteral("The export stopped: %1")};
  work_.start_job(
      std::move(face),
      [out_dir, split, format, also,
       classes = dataset.classes](JobControl& control) {  // the job's thread
        return export_split_dataset(out_dir, split, format, classes, &control, also);
      },
      [this, out_dir, empty_note, unreadable_names, also](const ExportOutcome& outcome) {
        QString also_note;
        if (also.coco) {
          also_note += QStringLiteral(
              "\n\nCOCO: annotations/instances_train.json, instances_val.json and "
              "instances_test.json.");
        }
        if (also.voc) {
          also_note += QStringLiteral("\n\nVOC: one XML file per image in <part>/Annotations.");
        }
        if (also.coco || also.voc) {
          also_note += conversion_notes_text(outcome.annotations);
          if (!outcome.annotation_failures.isEmpty()) {
            also_note += QStringLiteral("\n\n%1 image(s) not described there:")
                             .arg(outcome.annotation_failures.size()) +
                         failure_listing(outcome.annotation_failures, 10);
          }
        }
        show_export_outcome(outcome, out_dir, empty_note, unreadable_names, also_note);
      });
}

void DatasetTools::import_dataset(const LoadedDataset& dataset) {
  if (work_.job_running()) return;
  ImportDialog dialog(dialogs_, dataset.image_folder, parent_);
  if (dialogs_.exec(dialog) != QDialog::Accepted) return;
  const ImportSettings settings = dialog.settings();
  if (settings.replace_existing &&
      !dialogs_.question(parent_, QStringLiteral("Replace label files?"),
                         QStringLiteral("Label files that already exist in\n%1\nwill be replaced "
                                        "by the imported ones. Replace them?")
                             .arg(settings.output_folder))) {
    return;
  }
  TabWork::JobFace face{
      widgets_.import,
      0,
      other_buttons(widgets_.import),
      QStringLiteral("Import Cancelled"),
      [](const JobTally& tally, int) {
        return QStringLiteral("Cancelled: %1 label files written.").arg(tally.items);
      },
      QStringLiteral("The import stopped: %1")};
  work_.start_job(
      std::move(face),
      [settings](JobControl& control) {  // the job's thread
        return orvane::import_dataset(settings, &control);
      },
      [this](const ImportReport& report) {
        const QString text = import_report_text(report);
        if (!report.error.isEmpty()) {
          dialogs_.critical(parent_, QStringLiteral("Error"), text);
        } else if (report.failures.isEmpty() && report.size_differs.isEmpty()) {
          dialogs_.information(parent_, QStringLiteral("Import Complete"), text);
        } else {
          dialogs_.warning(parent_, QStringLiteral("Import Complete"), text);
        }
      });
}

void DatasetTools::show_export_outcome(const ExportOutcome& outcome, const QString& out_dir,
                                       const QString& empty_note, int unreadable_names,
                                       const QString& also_note) {
  if (!outcome.ok) {
    dialogs_.critical(parent_, QStringLiteral("Error"),
                      outcome.error + export_failures_text(outcome));
    return;
  }
  const bool whole = empty_note.isEmpty() && outcome.failures.isEmpty();
  QString text = (whole ? QStringLiteral("Exported dataset successfully to:\n")
                        : QStringLiteral("Exported dataset to:\n")) +
                 out_dir;
  if (!empty_note.isEmpty()) text += QStringLiteral("\n\n") + empty_note;
  text += export_failures_text(outcome);
  if (outcome.lines_left_out > 0) {
    text += outcome.lines_left_out == 1
                ? QStringLiteral("\n\n1 label line could not be converted and was left out.")
                : QStringLiteral("\n\n%1 label lines could not be converted and were left out.")
                      .arg(outcome.lines_left_out);
  }
  if (unreadable_names > 0) {
    text += QStringLiteral(
                "\n\n%1 file(s) of the folder with names that are not valid UTF-8 "
                "were left out.")
                .arg(unreadable_names);
  }
  text += also_note;
  if (whole) {
    dialogs_.information(parent_, QStringLiteral("Export Complete"), text);
  } else {
    dialogs_.warning(parent_, QStringLiteral("Export Complete"), text);
  }
}

QList<QPushButton*> DatasetTools::other_buttons(QPushButton* except) const {
  QList<QPushButton*> others;
  for (QPushButton* button :
       {widgets_.health, widgets_.export_split, widgets_.import, widgets_.export_coco_voc}) {
    if (button != nullptr && button != except) others << button;
  }
  return others;
}

void DatasetTools::export_coco_voc(const LoadedDataset& dataset) {
  if (work_.job_running()) return;
  const QString title = QStringLiteral("Export COCO / VOC");
  if (dataset.image_paths.isEmpty()) {
    dialogs_.information(parent_, title, QStringLiteral("Load a dataset first."));
    return;
  }
  CocoVocExportDialog choice(parent_);
  if (dialogs_.exec(choice) != QDialog::Accepted) return;
  const bool coco = choice.chk_coco->isChecked(), voc = choice.chk_voc->isChecked();
  if (!coco && !voc) return;
  const QString out_dir =
      dialogs_.get_existing_directory(parent_, QStringLiteral("Select Output Directory"));
  if (out_dir.isEmpty()) return;
  std::vector<AnnotationSource> sources;
  for (const LabelledImage& pair : collect_annotated_pairs(dataset.image_paths))
    sources.push_back({pair.image_path, pair.label_path});
  if (sources.empty()) {
    dialogs_.warning(parent_, QStringLiteral("No Annotations"),
                     QStringLiteral("No annotated files found to export."));
    return;
  }

  // COCO's usual place and the name CVAT gives a whole task; VOC's folder.
  const QDir out(out_dir);
  AnnotationTargets targets;
  if (coco) targets.coco_file = out.filePath(QStringLiteral("annotations/instances_default.json"));
  if (voc) targets.voc_folder = out.filePath(QStringLiteral("Annotations"));
  QStringList existing;
  if (coco && QFileInfo::exists(targets.coco_file)) existing << targets.coco_file;
  for (const AnnotationSource& source : sources) {
    if (!voc) break;
    const QString xml = targets.voc_folder + QLatin1Char('/') +
                        QFileInfo(source.image_path).completeBaseName() + QStringLiteral(".xml");
    if (QFileInfo::exists(xml)) existing << xml;
  }
  if (!existing.isEmpty() &&
      !dialogs_.question(parent_, QStringLiteral("Replace annotation files?"),
                         QStringLiteral("The output folder already holds %1 of the files this "
                                        "export writes:%2\n\nReplace them?")
                             .arg(existing.size())
                             .arg(failure_listing(existing, 5)))) {
    return;
  }

  const int total = static_cast<int>(sources.size());
  TabWork::JobFace face{
      widgets_.export_coco_voc,
      total,
      other_buttons(widgets_.export_coco_voc),
      QStringLiteral("Export Cancelled"),
      TabWork::items_of_total(QStringLiteral("Cancelled: %1 of %2 images exported.")),
      QStringLiteral("The export stopped: %1")};
  work_.start_job(
      std::move(face),
      [sources, targets, classes = dataset.classes](JobControl& control) {  // the job's thread
        return write_annotation_files(sources, targets, classes, &control, true);
      },
      [this, out_dir, coco, voc, title](const AnnotationOutcome& outcome) {
        if (!outcome.ok) {
          dialogs_.critical(parent_, QStringLiteral("Error"), outcome.error);
          return;
        }
        QString text = QStringLiteral("Exported the annotations of %1 image(s) to:\n%2")
                           .arg(outcome.tally.images)
                           .arg(out_dir);
        if (coco) {
          text += QStringLiteral("\n\nCOCO: annotations/instances_default.json, %1 shape(s).")
                      .arg(outcome.tally.shapes);
        }
        if (voc) text += QStringLiteral("\n\nVOC: one XML file per image in Annotations.");
        text += conversion_notes_text(outcome.tally);
        if (!outcome.failures.isEmpty()) {
          text += QStringLiteral("\n\n%1 image(s) left out:").arg(outcome.failures.size()) +
                  failure_listing(outcome.failures, 10);
          dialogs_.warning(parent_, title, text);
          return;
        }
        dialogs_.information(parent_, title, text);
      });
}

}  // namespace orvane
