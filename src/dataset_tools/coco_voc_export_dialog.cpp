#include "dataset_tools/coco_voc_export_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

CocoVocExportDialog::CocoVocExportDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export COCO / VOC"));
  chk_coco = new QCheckBox(QStringLiteral("COCO: annotations/instances_default.json"));
  chk_coco->setChecked(true);
  chk_voc = new QCheckBox(QStringLiteral("VOC: Annotations/<image>.xml, one per image"));
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral(
      "Annotation files of every annotated image of the folder,\nwritten into the folder you "
      "choose next:")));
  layout->addWidget(chk_coco);
  layout->addWidget(chk_voc);
  layout->addWidget(buttons);

  const auto update = [this] {
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(chk_coco->isChecked() || chk_voc->isChecked());
  };
  connect(chk_coco, &QCheckBox::toggled, this, update);
  connect(chk_voc, &QCheckBox::toggled, this, update);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace orvane
