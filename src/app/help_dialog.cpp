#include "app/help_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

namespace orvane {

namespace {

struct GuideSection {
  const char* heading;
  std::initializer_list<std::pair<const char*, const char*>> bullets;
};

const GuideSection kGuide[] = {
    {"📌 1. Image Resizer + Compressor",
     {{"Width / Height / DPI:",
       "Rescale your images perfectly using accurate dimensional metrics."},
      {"Max File Size Constraint:",
       "Automatically compress to hit a target KB size without losing excessive quality."},
      {"Queue System:",
       "Add individual files or entire subfolders recursively for batch processing."}}},
    {"📌 2. Image Splitter",
     {{"Grid Layout:", "Choose how to chop up the image (e.g., 2x2, 1x4)."},
      {"Tile Generation:",
       "Divides extremely large, high-resolution images into smaller, manageable tiles for "
       "detailed AI training."}}},
    {"📌 3. Synthetic Data Enricher",
     {{"Transform Tools:",
       "Manually crop, warp (perspective), and rotate images directly from the interactive "
       "preview canvas."},
      {"Augmentation Ranges:",
       "Dial in Brightness, Contrast, Rotation, Lighting (Gamma), and Warp variations using "
       "Min/Max sliders."},
      {"Batch Generator:",
       "Set 'Variants per Source' to generate multiple augmented duplicates per image "
       "automatically."}}},
    {"📌 4. Image Annotator",
     {{"Labeling Tools:",
       "Draw Polygons, Rectangles, Circles, and Pentagons to annotate specific objects on the "
       "frame."},
      {"AI Auto-Labeling:",
       "Load a pre-trained YOLO .pt model and assign a confidence threshold to automatically "
       "label frames with a single click."},
      {"Export & Split:",
       "Split the newly annotated dataset into balanced Train/Val/Test directories, "
       "auto-generating a valid YOLO <code>data.yaml</code>."}}},
    {"⌨️ Annotator Keys & Mouse",
     {{"Left click / drag:",
       "Polygon: each click places a point (the points placed so far are marked), also on "
       "another shape. Rectangle, Circle, Pentagon: press and drag, the shape is made on "
       "release. A press on a shape selects it; hold Shift to start a new shape on top of it "
       "(a leaf inside a plant's box)."},
      {"Right click:", "Finishes the polygon (three points or more)."},
      {"Esc:", "Abandons the shape in progress."},
      {"Select/Move drag:",
       "Drag a shape to move it; drag a handle of the selected shape to move that point; drag "
       "the empty area around the image to pan. Each drag is saved when it ends."},
      {"Middle drag:", "Pans the view in every mode."},
      {"Wheel:", "Zooms in or out about the pointer. FIT shows the whole image again."},
      {"D or Right arrow / A or Left arrow:",
       "Next / previous image (not while typing in a text field or spin box)."},
      {"1, 2, 3, 4, 5:", "Select/Move, Polygon, Rectangle, Circle, Pentagon."},
      {"Del or Backspace:", "Deletes the selected shape."},
      {"Ctrl+Z / Ctrl+Shift+Z or Ctrl+Y:", "Undoes / redoes the last shape change on this image."},
      {"Ctrl+S:", "Saves the shapes of the image."}}},
    {"📌 5. YOLO Configuration & AutoML",
     {{"Hyperparameters:",
       "Tweak learning rates, batch size, optimizer type, and total epochs before starting "
       "training."},
      {"AutoML Search:",
       "Run a genetic algorithm sequence to dynamically discover the perfect training "
       "configurations for your specific dataset."}}},
    {"📌 6. Training Analytics & Live Logs",
     {{"Console Output:", "Watch the underlying YOLO training stream in real time."},
      {"Performance Graphs:",
       "Review F1, Precision-Recall, and Confusion Matrix plots once training completes to "
       "verify model accuracy."}}},
    {"📌 7. Inference & Model Export",
     {{"Predictions:", "Test your newly trained model weights against a folder of unseen images."},
      {"Export:",
       "Convert the .pt model to edge-deployable formats like ONNX, TensorRT, OpenVINO, or "
       "CoreML."}}},
};

// "&" must be an entity in rich text; the sentences' own markup (<code>) stays.
QString escape_amp(const char* text) {
  return QString::fromUtf8(text).replace(QLatin1Char('&'), QStringLiteral("&amp;"));
}

}  // namespace

QString help_guide_text() {
  QStringList sections;
  for (const GuideSection& section : kGuide) {
    QString text = QStringLiteral("<b>%1</b><br>").arg(escape_amp(section.heading));
    for (const auto& [term, sentence] : section.bullets) {
      text += QStringLiteral("• <b>%1</b> %2<br>").arg(escape_amp(term), escape_amp(sentence));
    }
    sections << text;
  }
  return sections.join(QStringLiteral("<br>"));
}

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Orvane Studio - User Guide"));
  setMinimumSize(750, 600);
  auto* layout = new QVBoxLayout(this);

  title_label = new QLabel(QStringLiteral("Orvane Studio - User Guide"));
  QFont title_font(QStringLiteral("Segoe UI"), 16, QFont::Bold);
  title_label->setFont(title_font);
  // The application sheet sets every widget's font size; the label's own sheet
  // keeps the title at its intended size.
  title_label->setStyleSheet(
      QStringLiteral("color: #6366F1; font-family: 'Segoe UI', Arial, sans-serif; font-size: 16pt; "
                     "font-weight: bold;"));
  layout->addWidget(title_label);
  layout->addSpacing(10);

  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  auto* content = new QWidget;
  auto* content_layout = new QVBoxLayout(content);
  guide_label = new QLabel;
  guide_label->setWordWrap(true);
  guide_label->setTextFormat(Qt::RichText);
  guide_label->setText(help_guide_text());
  content_layout->addWidget(guide_label);
  scroll->setWidget(content);
  layout->addWidget(scroll);

  btn_close = new QPushButton(QStringLiteral("Close Guide"));
  layout->addWidget(btn_close, 0, Qt::AlignRight);

  connect(btn_close, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace orvane
