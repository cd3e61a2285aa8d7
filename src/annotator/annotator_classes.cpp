// Changing the folder's classes as a whole (rename, merge, delete, reorder):
// planned in the background, asked about with what it changes, written in
// the background, and undone as one step by "Undo Class Change".
#include <QDialog>
#include <QMetaObject>
#include <QPushButton>

#include "annotator/annotator_tab.h"
#include "annotator/class_dialog.h"
#include "labels/class_edit.h"
#include "ui/dialogs.h"

namespace orvane {

namespace {

const QString kTitle = QStringLiteral("Manage Classes");

// The question before a change: what it is, then what it changes.
QString change_question(const ClassEdit& edit, const ClassEditPlan& plan) {
  const QStringList& before = plan.classes_before;
  QString what;
  switch (edit.kind) {
    case ClassEditKind::kRename:
      what = QStringLiteral("Rename \"%1\" to \"%2\"?")
                 .arg(before[edit.from], plan.classes_after[edit.from]);
      break;
    case ClassEditKind::kMerge:
      what = QStringLiteral("Merge \"%1\" into \"%2\"?").arg(before[edit.from], before[edit.into]);
      break;
    case ClassEditKind::kDelete:
      what = QStringLiteral("Delete \"%1\" and its shapes?").arg(before[edit.from]);
      break;
    case ClassEditKind::kReorder:
      what = QStringLiteral("Put the classes in the order %1?")
                 .arg(plan.classes_after.join(QStringLiteral(", ")));
      break;
  }
  return what + QStringLiteral("\n\n") + plan.summary() +
         QStringLiteral("\n\n\"Undo Class Change\" puts every file back.");
}

}  // namespace

void AnnotatorTab::connect_class_actions() {
  connect(btn_manage_classes, &QPushButton::clicked, this, [this] {
    if (class_job_running_) {
      work_.cancel_job();
    } else if (!work_.job_running()) {
      manage_classes();
    }
  });
  connect(btn_undo_class_change, &QPushButton::clicked, this, &AnnotatorTab::undo_class_change);
  const auto ended = [this] { class_job_running_ = false; };
  connect(&work_, &TabWork::job_finished, this, ended);
  connect(&work_, &TabWork::stopped, this, ended);
}

TabWork::JobFace AnnotatorTab::class_job_face(int total) {
  TabWork::JobFace face;
  face.button = btn_manage_classes;
  face.total = total;
  face.disabled = {btn_load_dir, btn_health_check, btn_split_export, btn_undo_class_change};
  face.cancelled_title = kTitle;
  face.cancelled = [](const JobTally&, int) {
    return QStringLiteral("Cancelled: nothing was changed.");
  };
  face.stopped = QStringLiteral("The class change stopped: %1");
  return face;
}

void AnnotatorTab::manage_classes() {
  if (work_.job_running()) return;
  if (image_folder.isEmpty() || image_paths.isEmpty() || classes.isEmpty()) {
    dialogs_.information(this, kTitle, QStringLiteral("Load a dataset with classes first."));
    return;
  }
  // The shown image's shapes go to its file first: the change reads the disk.
  save_current_annotations();
  ClassDialog dialog(classes, this);
  if (dialogs_.exec(dialog) != QDialog::Accepted || !dialog.edit()) return;
  const ClassEdit edit = *dialog.edit();
  QStringList labels = label_files_of(image_paths);
  const int total = static_cast<int>(labels.size());
  class_job_running_ = work_.start_job(
      class_job_face(total),
      [folder = image_folder, labels = std::move(labels), classes = classes,
       edit](JobControl& control) {  // the job's thread
        return plan_class_edit(folder, labels, classes, edit, &control);
      },
      [this, edit](const ClassEditPlan& plan) {
        if (!plan.error.isEmpty()) {
          dialogs_.warning(this, kTitle, plan.error);
          return;
        }
        if (!dialogs_.question(this, kTitle, change_question(edit, plan))) return;
        // Once this job has handed over its end.
        QMetaObject::invokeMethod(
            this, [this, plan] { apply_class_change(plan, false); }, Qt::QueuedConnection);
      });
}

void AnnotatorTab::undo_class_change() {
  if (work_.job_running() || !applied_class_change_) return;
  if (applied_class_change_->folder != image_folder) {
    dialogs_.information(this, kTitle,
                         QStringLiteral("The last class change was made in %1. Load that folder "
                                        "to undo it.")
                             .arg(applied_class_change_->folder));
    return;
  }
  save_current_annotations();
  if (!dialogs_.question(
          this, kTitle,
          QStringLiteral("Undo the last class change?\n\n%1 will be as before.")
              .arg(applied_class_change_->classes_before.join(QStringLiteral(", "))))) {
    return;
  }
  apply_class_change(applied_class_change_->reversed(), true);
}

void AnnotatorTab::apply_class_change(const ClassEditPlan& plan, bool undo) {
  TabWork::JobFace face = class_job_face(static_cast<int>(plan.changes.size()));
  // A Cancel that comes while the files are written waits for them: the
  // change is then whole, and can be undone.
  face.cancelled = [this, plan, undo](const JobTally& tally, int) {
    if (tally.items == 0) return QStringLiteral("Cancelled: nothing was changed.");
    class_change_written(plan, undo);
    return QStringLiteral("The change was already written when Cancel came.");
  };
  class_job_running_ = work_.start_job(
      std::move(face),
      [plan](JobControl& control) {  // the job's thread
        return apply_class_edit(plan, &control);
      },
      [this, plan, undo](const ClassEditResult& result) {
        if (!result.error.isEmpty()) {
          reload_classes_and_shapes();
          dialogs_.critical(this, kTitle, result.error);
          return;
        }
        class_change_written(plan, undo);
        QString text = undo ? QStringLiteral("The class change was undone.")
                            : QStringLiteral("Classes changed. %1").arg(plan.summary());
        if (!result.flush_error.isEmpty()) text += QStringLiteral("\n\n") + result.flush_error;
        dialogs_.information(this, kTitle, text);
      });
}

void AnnotatorTab::class_change_written(const ClassEditPlan& plan, bool undo) {
  if (undo) {
    applied_class_change_.reset();
  } else {
    applied_class_change_ = plan;
  }
  btn_undo_class_change->setEnabled(applied_class_change_.has_value());
  reload_classes_and_shapes();
}

void AnnotatorTab::reload_classes_and_shapes() {
  if (image_folder.isEmpty()) return;
  const ClassListFile class_file = label_document_.read_classes(image_folder);
  if (class_file.exists) classes = class_file.names;
  populate_image_list();
  if (!display_cv_img.empty()) load_current_image();
}

}  // namespace orvane
