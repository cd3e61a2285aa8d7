#include "dataset_tools/split_config_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialogs.h"

namespace orvane {

namespace {

QSpinBox* percent_box(int value) {
  auto* box = new QSpinBox;
  box->setRange(0, 100);
  box->setValue(value);
  return box;
}

}  // namespace

SplitConfigDialog::SplitConfigDialog(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setWindowTitle(QStringLiteral("Dataset Train/Val/Test Splitter"));
  setFixedSize(320, 220);

  ts = percent_box(70);
  vs = percent_box(20);
  tes = percent_box(10);
  fc = new QComboBox;
  fc->addItems(
      {QStringLiteral("Detection (Bounding Boxes)"), QStringLiteral("Segmentation (Polygons)")});

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Train %:"), ts);
  form->addRow(QStringLiteral("Val %:"), vs);
  form->addRow(QStringLiteral("Test %:"), tes);
  form->addRow(QStringLiteral("Format:"), fc);

  // Beside the YOLO labels: annotations/instances_<part>.json and
  // <part>/Annotations/<image>.xml.
  chk_coco = new QCheckBox(QStringLiteral("COCO"));
  chk_coco->setToolTip(QStringLiteral("annotations/instances_<part>.json for each part"));
  chk_voc = new QCheckBox(QStringLiteral("VOC"));
  chk_voc->setToolTip(QStringLiteral("<part>/Annotations/<image>.xml for each image"));
  auto* also = new QHBoxLayout;
  also->addWidget(new QLabel(QStringLiteral("Also write:")));
  also->addWidget(chk_coco);
  also->addWidget(chk_voc);
  also->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(this);
  // The four rows, the choice and the buttons within the dialog's fixed size.
  layout->setContentsMargins(11, 6, 11, 6);
  layout->setSpacing(4);
  layout->addLayout(form);
  layout->addLayout(also);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &SplitConfigDialog::validate);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SplitConfigDialog::validate() {
  if (ts->value() + vs->value() + tes->value() != 100) {
    dialogs_.warning(this, QStringLiteral("Invalid"), QStringLiteral("Must total 100%."));
    return;
  }
  accept();
}

std::array<double, 3> SplitConfigDialog::get_ratios() const {
  return {ts->value() / 100.0, vs->value() / 100.0, tes->value() / 100.0};
}

QString SplitConfigDialog::get_format() const {
  return fc->currentText().contains(QLatin1String("Detection")) ? QStringLiteral("Detection")
                                                                : QStringLiteral("Segmentation");
}

bool SplitConfigDialog::also_coco() const { return chk_coco->isChecked(); }

bool SplitConfigDialog::also_voc() const { return chk_voc->isChecked(); }

}  // namespace orvane
