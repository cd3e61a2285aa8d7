// The main window shell: title, size, pages, corner widget, shortcuts, the
// caption helper and the user guide.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include "annotator/annotator_tab.h"
#include "app/app_icon.h"
#include "app/help_dialog.h"
#include "app/main_window.h"
#include "enricher/enricher_tab.h"
#include "inference/inference_tab.h"
#include "resizer/resizer_tab.h"
#include "splitter/splitter_tab.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "theme/stylesheet.h"
#include "theme/symbol_fonts.h"
#include "theme/theme_toggle.h"
#include "training/config_tab.h"
#include "training/progress_tab.h"
#include "ui/info_label.h"

using namespace orvane;

namespace {

struct ShellFixture : ::testing::Test {
  OrvaneStudio window;
  ScriptedDialogs* dialogs = new ScriptedDialogs;  // owned by the window
  ShellFixture() { window.set_dialogs(std::unique_ptr<Dialogs>(dialogs)); }
};

TEST_F(ShellFixture, WindowTitleSizeEmptyStateThemeToggleAndPages) {
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane Studio - Deep Learning Workstation"));
  // 1500 x 950, shrunk to the screen's work area on a smaller screen.
  const QSize available = window.screen()->availableGeometry().size();
  if (available.width() >= 1500 && available.height() >= 950) {
    EXPECT_EQ(window.size(), QSize(1500, 950));
  } else {
    EXPECT_LE(window.width(), std::min(1500, available.width()));
    EXPECT_LT(window.height(), std::min(950, available.height()));
  }
  EXPECT_EQ(window.centralWidget(), window.tabs);
  // Nothing is loaded at start.
  EXPECT_TRUE(window.tab_workspace->image_folder.isEmpty());
  EXPECT_TRUE(window.tab_workspace->image_paths.isEmpty());
  EXPECT_EQ(window.tab_workspace->current_idx, 0);
  EXPECT_TRUE(window.tab_workspace->display_cv_img.empty());
  EXPECT_TRUE(window.tab_workspace->classes.isEmpty());
  EXPECT_TRUE(window.tab_workspace->annotations.empty());
  EXPECT_FALSE(window.tab_workspace->ai_model);

  // Dark at start; the toggle switches the sheet both ways.
  for (bool dark : {true, false, true}) {
    EXPECT_EQ(window.is_dark_mode, dark);
    EXPECT_EQ(window.theme_toggle->isChecked(), dark);
    EXPECT_EQ(qApp->styleSheet(), get_stylesheet(dark) + disabled_button_rules(dark));
    window.theme_toggle->click();
  }

  // Seven pages in order; "&&" is shown as one "&" and gives the tab no Alt shortcut.
  const QStringList titles = {"Image Resizer + Compressor",   "Image Splitter",
                              "Synthetic Data Enricher",      "Image Annotator",
                              "YOLO Configuration && AutoML", "Training Analytics && Live Logs",
                              "Inference && Model Export"};
  QWidget* const pages[] = {window.tab_resizer,   window.tab_splitter, window.tab_aug,
                            window.tab_workspace, window.tab_config,   window.tab_progress,
                            window.tab_inference};
  ASSERT_EQ(window.tabs->count(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(window.tabs->tabText(i), titles[i]);
    EXPECT_EQ(window.tabs->widget(i), pages[i]);
    EXPECT_TRUE(QKeySequence::mnemonic(window.tabs->tabText(i)).isEmpty()) << i;
  }
  EXPECT_FALSE(QKeySequence::mnemonic(QStringLiteral("YOLO Configuration & AutoML")).isEmpty());
}

TEST_F(ShellFixture, CornerHoldsHelpButtonThenToggleAndTheButtonRunsTheGuide) {
  QWidget* corner = window.tabs->cornerWidget(Qt::TopRightCorner);
  ASSERT_NE(corner, nullptr);
  auto* layout = qobject_cast<QHBoxLayout*>(corner->layout());
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->contentsMargins(), QMargins(0, 0, 15, 8));
  EXPECT_EQ(layout->spacing(), 8);
  ASSERT_EQ(layout->count(), 2);
  EXPECT_EQ(layout->itemAt(0)->widget(), window.btn_help);
  EXPECT_EQ(layout->itemAt(1)->widget(), window.theme_toggle);
  EXPECT_EQ(layout->itemAt(0)->alignment(), Qt::AlignVCenter);

  EXPECT_EQ(window.btn_help->text(), QString(QChar(0x2139)));
  EXPECT_EQ(window.btn_help->size(), QSize(28, 28));
  EXPECT_EQ(window.btn_help->toolTip(), QStringLiteral("Orvane Studio - User Guide"));
  EXPECT_EQ(window.btn_help->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(window.btn_help->styleSheet(),
            QStringLiteral("QPushButton { font-size: 14px; font-weight: bold; border-radius: 14px; "
                           "padding: 0px; }"));

  // The help button runs the guide modally through the dialog seam.
  bool closes = false;
  dialogs->exec_answers.push_back([&](QDialog& dialog) {
    auto* help = qobject_cast<HelpDialog*>(&dialog);
    closes = help && help->parent() == &window;
    if (help) help->btn_close->click();
    return dialog.result();
  });
  window.btn_help->click();
  EXPECT_EQ(dialogs->count("exec"), 1);
  EXPECT_TRUE(closes);
  // A fresh dialog each time.
  window.btn_help->click();
  EXPECT_EQ(dialogs->count("exec"), 2);
}

// A job that ends while another page is shown keeps its closing message until
// its own page is: the page's caption is marked meanwhile. Questions and
// messages of the page shown are not held.
TEST_F(ShellFixture, ClosingMessageWaitsForItsPage) {
  QTemporaryDir dir;
  const QString photo = dir.filePath("p.png");
  QImage(8, 6, QImage::Format_RGB32).save(photo);
  ResizerTab& resizer = *window.tab_resizer;
  dialogs->open_file_lists.push_back({photo});
  resizer.btn_add_files->click();
  dialogs->directories.push_back(dir.filePath("out"));
  QDir().mkpath(dir.filePath("out"));
  window.tabs->setCurrentWidget(window.tab_workspace);
  resizer.btn_run_resizer->click();
  ASSERT_TRUE(wait_for_job(resizer));
  const int page = window.tabs->indexOf(&resizer);
  EXPECT_TRUE(dialogs->messages().empty());
  EXPECT_EQ(window.tabs->tabText(page), "Image Resizer + Compressor \u2022");
  EXPECT_EQ(window.relay().held(), 1);

  window.tabs->setCurrentWidget(window.tab_splitter);  // another page: still held
  QTest::qWait(20);
  EXPECT_TRUE(dialogs->messages().empty());
  window.tabs->setCurrentWidget(&resizer);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->messages().empty(); }, 5000));
  EXPECT_EQ(dialogs->messages().back().title, "Export Complete");
  EXPECT_EQ(window.tabs->tabText(page), "Image Resizer + Compressor");
  EXPECT_EQ(window.relay().held(), 0);

  // The page shown gets its messages at once.
  dialogs->directories.push_back(dir.filePath("out"));
  resizer.btn_run_resizer->click();
  EXPECT_EQ(dialogs->messages().size(), 1u);
  ASSERT_TRUE(wait_for_job(resizer));
  EXPECT_EQ(dialogs->messages().size(), 2u);
}

// Every symbol the window shows is among those whose fonts are found at start-up, and each
// is in one of the fonts found (unless no font here has it).
TEST_F(ShellFixture, EverySymbolShownHasItsFontFoundAtStartUp) {
  QString texts = window.windowTitle();
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts += button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) texts += label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) texts += group->title();
    if (auto* bar = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < bar->count(); ++i) texts += bar->tabText(i);
    }
  }
  const QList<uint> known = kWindowSymbols.toUcs4();
  for (const uint c : texts.toUcs4()) {
    if (c < 0x2000 || c == 0xFE0F || c == 0x200D) continue;  // text, or a variation selector
    EXPECT_TRUE(known.contains(c)) << std::hex << c;
  }

  const QStringList fonts = prepare_symbol_fonts(text_font_families(), kWindowSymbols);
  if (fonts.isEmpty()) return;  // the text font has them all
  QFont text_font;
  text_font.setFamilies(text_font_families());
  EXPECT_EQ(fonts.front(), QFontInfo(text_font).family());
  for (const uint c : known) {
    const bool found = std::any_of(fonts.begin(), fonts.end(), [c](const QString& family) {
      return QRawFont::fromFont(QFont(family)).supportsCharacter(c);
    });
    if (found) continue;
    for (const QString& family : QFontDatabase::families()) {
      EXPECT_FALSE(QRawFont::fromFont(QFont(family)).supportsCharacter(c))
          << std::hex << c << " is in " << family.toStdString();
    }
  }
}

// A box is at least as wide as its title needs, short texts and long.
TEST(MessageBox, WideEnoughForItsTitle) {
  for (const auto& [title, text] : {std::pair<QString, QString>{"AI Model Loaded", "OK."},
                                    {"A much longer title of a closing message box", "Done."},
                                    {"Error", QString(300, QChar('x'))}}) {
    const auto box =
        make_message_box(nullptr, QMessageBox::Information, title, text, QMessageBox::Ok);
    box->show();
    QFont bold = box->font();
    bold.setBold(true);
    EXPECT_GT(box->width(), QFontMetrics(bold).horizontalAdvance(title) + 100)
        << title.toStdString();
    box->hide();
  }
}

// A chooser opens in the folder last chosen in it; each tab's choosers keep
// their own.
TEST_F(ShellFixture, ChoosersOpenInTheFolderLastChosenThere) {
  ResizerTab& resizer = *window.tab_resizer;
  dialogs->directories = {"/data/a", "/data/b"};
  resizer.btn_add_folder->click();
  resizer.btn_add_folder->click();
  resizer.btn_add_folder->click();  // cancelled: the last folder stays
  resizer.btn_add_folder->click();
  dialogs->open_file_lists.push_back({"/data/c/x.jpg"});
  resizer.btn_add_files->click();
  resizer.btn_add_files->click();
  std::vector<QString> opened;
  for (const DialogCall& call : dialogs->calls) opened.push_back(call.title + "@" + call.dir);
  EXPECT_EQ(opened, (std::vector<QString>{"Select Folder@", "Select Folder@/data/a",
                                          "Select Folder@/data/b", "Select Folder@/data/b",
                                          "Select Images@", "Select Images@/data/c"}));
}

// Window-wide while the annotator's page is shown; on any other page the
// keys belong to that page and never delete an unseen shape.
TEST_F(ShellFixture, DeleteAndBackspaceActOnlyOnTheAnnotatorsPage) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  for (int page = 0; page < window.tabs->count(); ++page) {
    window.tabs->setCurrentIndex(page);
    for (auto [shortcut, key] : {std::pair{window.shortcut_del, Qt::Key_Delete},
                                 {window.shortcut_back, Qt::Key_Backspace}}) {
      ASSERT_NE(shortcut, nullptr);
      EXPECT_EQ(shortcut->key(), QKeySequence(key));
      EXPECT_EQ(shortcut->context(), Qt::WindowShortcut);
      QSignalSpy activated(shortcut, &QShortcut::activated);
      // From a widget deep inside a page, not only from the window itself.
      QTest::keyClick(window.tabs->currentWidget(), key);
      EXPECT_EQ(activated.count(), window.tabs->currentWidget() == window.tab_workspace ? 1 : 0)
          << page;
    }
  }
}

TEST(InfoLabel, CaptionThenMarkWithTooltipOnlyOnTheMark) {
  std::unique_ptr<QWidget> widget(create_info_label("Target Width:", "Pixels of the output."));
  auto* layout = qobject_cast<QHBoxLayout*>(widget->layout());
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->contentsMargins(), QMargins(0, 0, 0, 0));
  EXPECT_EQ(layout->spacing(), 4);
  ASSERT_EQ(layout->count(), 3);
  auto* caption = qobject_cast<QLabel*>(layout->itemAt(0)->widget());
  auto* mark = qobject_cast<QLabel*>(layout->itemAt(1)->widget());
  ASSERT_TRUE(caption && mark);
  EXPECT_NE(layout->itemAt(2)->spacerItem(), nullptr);  // the trailing stretch
  EXPECT_EQ(caption->text(), QStringLiteral("Target Width:"));
  EXPECT_TRUE(caption->toolTip().isEmpty());
  EXPECT_TRUE(widget->toolTip().isEmpty());
  EXPECT_EQ(mark->text(), QString(QChar(0x24D8)));
  EXPECT_EQ(mark->toolTip(), QStringLiteral("Pixels of the output."));
  EXPECT_EQ(mark->styleSheet(),
            QStringLiteral("color: #6366F1; font-weight: bold; font-size: 11px;"));
}

TEST(HelpGuide, DialogLayoutAndSectionsInTabOrderWithBoldTermsAndBlankLines) {
  HelpDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Orvane Studio - User Guide"));
  EXPECT_EQ(dialog.minimumSize(), QSize(750, 600));
  EXPECT_EQ(dialog.title_label->text(), QStringLiteral("Orvane Studio - User Guide"));
  EXPECT_TRUE(dialog.guide_label->wordWrap());
  EXPECT_EQ(dialog.guide_label->textFormat(), Qt::RichText);
  EXPECT_EQ(dialog.btn_close->text(), QStringLiteral("Close Guide"));
  auto* scroll = dialog.findChild<QScrollArea*>();
  ASSERT_NE(scroll, nullptr);
  EXPECT_TRUE(scroll->widgetResizable());

  dialog.show();
  dialog.btn_close->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());

  // The guide rendered as plain text: headings, bullets and one empty line between sections.
  const QString html = help_guide_text();
  QTextDocument doc;
  doc.setHtml(html);
  const QStringList lines = doc.toPlainText().split(QChar::LineSeparator).join("\n").split('\n');
  ASSERT_GE(lines.size(), 3);
  EXPECT_EQ(lines[0], QStringLiteral("📌 1. Image Resizer + Compressor"));
  EXPECT_EQ(lines[1],
            QStringLiteral("• Width / Height / DPI: Rescale your images perfectly using accurate "
                           "dimensional metrics."));
  const int annotator = lines.indexOf(QStringLiteral("📌 4. Image Annotator"));
  ASSERT_GT(annotator, 0);
  EXPECT_EQ(lines[annotator - 1], QString());  // sections are separated by an empty line
  EXPECT_EQ(lines[annotator + 3],
            QStringLiteral("• Export & Split: Split the newly annotated dataset into balanced "
                           "Train/Val/Test directories, auto-generating a valid YOLO data.yaml."));
  const QStringList headings = {
      "📌 1. Image Resizer + Compressor",  "📌 2. Image Splitter",
      "📌 3. Synthetic Data Enricher",     "📌 4. Image Annotator",
      "📌 5. YOLO Configuration & AutoML", "📌 6. Training Analytics & Live Logs",
      "📌 7. Inference & Model Export"};
  int previous = -1;
  for (const QString& heading : headings) {
    const int at = lines.indexOf(heading);
    EXPECT_GT(at, previous) << heading.toStdString();
    previous = at;
  }
  EXPECT_TRUE(lines.contains(QStringLiteral(
      "• Export: Convert the .pt model to edge-deployable formats like ONNX, TensorRT, "
      "OpenVINO, or CoreML.")));
  // Terms and headings are bold; data.yaml is a code span.
  EXPECT_TRUE(html.contains(QStringLiteral("<b>Queue System:</b>")));
  EXPECT_TRUE(html.contains(QStringLiteral("<b>📌 2. Image Splitter</b><br>")));
  EXPECT_TRUE(html.contains(QStringLiteral("<code>data.yaml</code>.")));
  EXPECT_EQ(html.count(QStringLiteral("• <b>")), 28);  // 17 and the annotator's keys
}

TEST(AppIcon, DefaultIconWithoutTheFileAndTheFileWhenPresent) {
  const QString icon = QCoreApplication::applicationDirPath() + "/Orvane-Studio-icon.png";
  QFile::remove(icon);
  EXPECT_TRUE(app_icon_path().isEmpty());
  {
    OrvaneStudio window;
    EXPECT_TRUE(window.windowIcon().isNull() ||
                window.windowIcon().cacheKey() == QApplication::windowIcon().cacheKey());
  }
  QImage red(32, 32, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(icon));
  EXPECT_EQ(app_icon_path(), icon);
  {
    OrvaneStudio window;
    EXPECT_EQ(window.windowIcon().pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
  }
  QFile::remove(icon);
}

}  // namespace
