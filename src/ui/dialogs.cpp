#include "ui/dialogs.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

namespace orvane {

std::unique_ptr<QMessageBox> make_message_box(QWidget* parent, int icon, const QString& title,
                                              const QString& text, int buttons) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Icon(icon), title, text,
                                           QMessageBox::StandardButtons(buttons), parent);
  // The title bar's font is the window manager's: allow a bold face a size up, with room for
  // its icon and buttons.
  QFont font = box->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  const int wanted = QFontMetrics(font).horizontalAdvance(title) + 150;
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box;
}

Dialogs::~Dialogs() = default;

void Dialogs::information(QWidget* parent, const QString& title, const QString& text) {
  make_message_box(parent, QMessageBox::Information, title, text, QMessageBox::Ok)->exec();
}

void Dialogs::warning(QWidget* parent, const QString& title, const QString& text) {
  make_message_box(parent, QMessageBox::Warning, title, text, QMessageBox::Ok)->exec();
}

void Dialogs::critical(QWidget* parent, const QString& title, const QString& text) {
  make_message_box(parent, QMessageBox::Critical, title, text, QMessageBox::Ok)->exec();
}

bool Dialogs::question(QWidget* parent, const QString& title, const QString& text) {
  const auto box = make_message_box(parent, QMessageBox::Question, title, text,
                                    QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  return box->exec() == QMessageBox::Yes;
}

QString Dialogs::get_existing_directory(QWidget* parent, const QString& title, const QString& dir) {
  return QFileDialog::getExistingDirectory(parent, title, dir);
}

QString Dialogs::get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                                    const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, dir, filter);
}

QStringList Dialogs::get_open_file_names(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  return QFileDialog::getOpenFileNames(parent, title, dir, filter);
}

QString Dialogs::get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                                    const QString& filter) {
  return QFileDialog::getSaveFileName(parent, title, dir, filter);
}

int Dialogs::exec(QDialog& dialog) { return dialog.exec(); }

DialogsRelay::DialogsRelay() : target_(std::make_unique<Dialogs>()) {}

DialogsRelay::~DialogsRelay() = default;

void DialogsRelay::set_target(std::unique_ptr<Dialogs> target) {
  target_ = target ? std::move(target) : std::make_unique<Dialogs>();
}

namespace {

const QString kHeldMark = QStringLiteral(" \u2022");

// The tab widget `widget` is on, and its page there; null when none.
std::pair<QTabWidget*, QWidget*> tab_page_of(QWidget* widget) {
  for (QWidget* page = widget; page; page = page->parentWidget()) {
    QWidget* stack = page->parentWidget();
    if (!qobject_cast<QStackedWidget*>(stack)) continue;
    if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) return {tabs, page};
  }
  return {nullptr, nullptr};
}

// The key of one chooser: its title within its tab.
QString chooser_key(QWidget* parent, const QString& title) {
  const QWidget* page = tab_page_of(parent).second;
  if (!page) page = parent;
  return QString::fromLatin1(page ? page->metaObject()->className() : "") + QLatin1Char('\n') +
         title;
}

}  // namespace

bool DialogsRelay::hold(QWidget* parent, std::function<void()> show) {
  const auto [tabs, page] = tab_page_of(parent);
  if (!tabs || tabs->currentWidget() == page) {
    show();
    return false;
  }
  const int index = tabs->indexOf(page);
  if (!captions_.contains(page)) {
    captions_.insert(page, tabs->tabText(index));
    tabs->setTabText(index, tabs->tabText(index) + kHeldMark);
  }
  held_.push_back({tabs, page, std::move(show)});
  if (std::find(watched_.begin(), watched_.end(), tabs) == watched_.end()) {
    watched_.emplace_back(tabs);
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this, tabs] {
      // Once the tab has been drawn.
      QTimer::singleShot(0, tabs, [this, tabs] { show_held(tabs); });
    });
  }
  return true;
}

void DialogsRelay::show_held(QTabWidget* tabs) {
  QWidget* page = tabs->currentWidget();
  if (captions_.contains(page)) {
    tabs->setTabText(tabs->indexOf(page), captions_.take(page));
  }
  std::vector<std::function<void()>> due;
  std::erase_if(held_, [&](Held& held) {
    if (!held.page || !held.tabs) return true;
    if (held.tabs != tabs || held.page != page) return false;
    due.push_back(std::move(held.show));
    return true;
  });
  for (const auto& show : due) show();
}

void DialogsRelay::information(QWidget* parent, const QString& title, const QString& text) {
  hold(parent, [this, parent = QPointer<QWidget>(parent), title, text] {
    target_->information(parent, title, text);
  });
}

void DialogsRelay::warning(QWidget* parent, const QString& title, const QString& text) {
  hold(parent, [this, parent = QPointer<QWidget>(parent), title, text] {
    target_->warning(parent, title, text);
  });
}

void DialogsRelay::critical(QWidget* parent, const QString& title, const QString& text) {
  hold(parent, [this, parent = QPointer<QWidget>(parent), title, text] {
    target_->critical(parent, title, text);
  });
}

QString DialogsRelay::last_folder(QWidget* parent, const QString& title, const QString& dir) const {
  const QString folder = folders_.value(chooser_key(parent, title));
  if (folder.isEmpty()) return dir;
  if (dir.isEmpty()) return folder;
  // A bare file name suggested: in the folder last chosen.
  if (!dir.contains(QLatin1Char('/'))) return QDir(folder).filePath(dir);
  return dir;
}

void DialogsRelay::remember_folder(QWidget* parent, const QString& title, const QString& chosen,
                                   bool is_file) {
  if (chosen.isEmpty()) return;
  folders_.insert(chooser_key(parent, title), is_file ? QFileInfo(chosen).absolutePath() : chosen);
}

bool DialogsRelay::question(QWidget* parent, const QString& title, const QString& text) {
  return target_->question(parent, title, text);
}

QString DialogsRelay::get_existing_directory(QWidget* parent, const QString& title,
                                             const QString& dir) {
  const QString chosen =
      target_->get_existing_directory(parent, title, last_folder(parent, title, dir));
  remember_folder(parent, title, chosen, false);
  return chosen;
}

QString DialogsRelay::get_open_file_name(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  const QString chosen =
      target_->get_open_file_name(parent, title, last_folder(parent, title, dir), filter);
  remember_folder(parent, title, chosen, true);
  return chosen;
}

QStringList DialogsRelay::get_open_file_names(QWidget* parent, const QString& title,
                                              const QString& dir, const QString& filter) {
  const QStringList chosen =
      target_->get_open_file_names(parent, title, last_folder(parent, title, dir), filter);
  if (!chosen.isEmpty()) remember_folder(parent, title, chosen.first(), true);
  return chosen;
}

QString DialogsRelay::get_save_file_name(QWidget* parent, const QString& title, const QString& dir,
                                         const QString& filter) {
  const QString chosen =
      target_->get_save_file_name(parent, title, last_folder(parent, title, dir), filter);
  remember_folder(parent, title, chosen, true);
  return chosen;
}

int DialogsRelay::exec(QDialog& dialog) { return target_->exec(dialog); }

}  // namespace orvane
