// The choices of "Import COCO / VOC...".
#include "dataset_tools/import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialogs.h"

namespace orvane {

namespace {

QWidget* with_browse(QLineEdit* entry, QPushButton* button) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(entry, 1);
  layout->addWidget(button);
  return row;
}

}  // namespace

ImportDialog::ImportDialog(Dialogs& dialogs, const QString& images_folder, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Import COCO / VOC"));
  auto* form = new QFormLayout(this);
  combo_source = new QComboBox;
  combo_source->addItems({QStringLiteral("COCO JSON file"), QStringLiteral("VOC XML folder")});
  entry_source = new QLineEdit;
  auto* btn_source = new QPushButton(QStringLiteral("Browse..."));
  entry_images = new QLineEdit(images_folder);
  auto* btn_images = new QPushButton(QStringLiteral("Browse..."));
  combo_target = new QComboBox;
  combo_target->addItems(
      {QStringLiteral("Beside the images"), QStringLiteral("Into a copy of the folder")});
  entry_copy = new QLineEdit;
  auto* btn_copy = new QPushButton(QStringLiteral("Browse..."));
  chk_replace = new QCheckBox(QStringLiteral("Replace label files that already exist"));
  chk_separate = new QCheckBox(QStringLiteral("Several polygons of one object as separate shapes"));
  chk_difficult = new QCheckBox(QStringLiteral("Import objects marked difficult"));
  chk_difficult->setChecked(true);
  chk_truncated = new QCheckBox(QStringLiteral("Import objects marked truncated"));
  chk_truncated->setChecked(true);

  form->addRow(QStringLiteral("Source:"), combo_source);
  form->addRow(QStringLiteral("File or folder:"), with_browse(entry_source, btn_source));
  form->addRow(QStringLiteral("Images folder:"), with_browse(entry_images, btn_images));
  form->addRow(QStringLiteral("Write labels:"), combo_target);
  form->addRow(QStringLiteral("Copy folder:"), with_browse(entry_copy, btn_copy));
  form->addRow(chk_replace);
  form->addRow(chk_separate);
  form->addRow(chk_difficult);
  form->addRow(chk_truncated);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);

  connect(btn_source, &QPushButton::clicked, this, &ImportDialog::browse_source);
  connect(btn_images, &QPushButton::clicked, this,
          [this] { browse_folder(entry_images, QStringLiteral("Select Images Folder")); });
  connect(btn_copy, &QPushButton::clicked, this,
          [this] { browse_folder(entry_copy, QStringLiteral("Select Copy Folder")); });
  connect(combo_source, &QComboBox::currentIndexChanged, this, &ImportDialog::update_enabled);
  connect(combo_target, &QComboBox::currentIndexChanged, this, &ImportDialog::update_enabled);
  connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::validate);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  update_enabled();
}

void ImportDialog::update_enabled() {
  const bool voc = combo_source->currentIndex() == 1;
  chk_separate->setEnabled(!voc);
  chk_difficult->setEnabled(voc);
  chk_truncated->setEnabled(voc);
  entry_copy->setEnabled(combo_target->currentIndex() == 1);
}

void ImportDialog::browse_source() {
  const QString chosen =
      combo_source->currentIndex() == 0
          ? dialogs_.get_open_file_name(this, QStringLiteral("Select COCO JSON File"), {},
                                        QStringLiteral("COCO JSON (*.json)"))
          : dialogs_.get_existing_directory(this, QStringLiteral("Select VOC XML Folder"));
  if (!chosen.isEmpty()) entry_source->setText(chosen);
}

void ImportDialog::browse_folder(QLineEdit* entry, const QString& title) {
  const QString chosen = dialogs_.get_existing_directory(this, title);
  if (!chosen.isEmpty()) entry->setText(chosen);
}

void ImportDialog::validate() {
  const ImportSettings s = settings();
  QString missing;
  if (s.source_path.isEmpty()) {
    missing = QStringLiteral("Choose the COCO JSON file or the VOC XML folder.");
  } else if (s.images_folder.isEmpty()) {
    missing = QStringLiteral("Choose the folder of the images.");
  } else if (s.output_folder.isEmpty()) {
    missing = QStringLiteral("Choose the folder that receives the copy.");
  }
  if (missing.isEmpty()) {
    accept();
  } else {
    dialogs_.warning(this, QStringLiteral("Import"), missing);
  }
}

ImportSettings ImportDialog::settings() const {
  ImportSettings s;
  s.source = combo_source->currentIndex() == 0 ? ImportSource::kCoco : ImportSource::kVoc;
  s.source_path = entry_source->text().trimmed();
  s.images_folder = entry_images->text().trimmed();
  s.output_folder =
      combo_target->currentIndex() == 0 ? s.images_folder : entry_copy->text().trimmed();
  s.replace_existing = chk_replace->isChecked();
  s.shapes.join_polygons = !chk_separate->isChecked();
  s.voc.difficult = chk_difficult->isChecked();
  s.voc.truncated = chk_truncated->isChecked();
  return s;
}

}  // namespace orvane
