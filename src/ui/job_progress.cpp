#include "ui/job_progress.h"

#include <QProgressBar>
#include <QPushButton>

namespace orvane {

void JobProgress::bind(QProgressBar* bar, bool hide_when_idle) {
  bar_ = bar;
  hide_when_idle_ = hide_when_idle;
  idle_format_ = bar->format();
  if (hide_when_idle_) bar_->hide();
}

void JobProgress::begin(QPushButton* button, int total) {
  clock_.start();
  button_ = button;
  button_text_ = button->text();
  button->setText(QStringLiteral("Cancel"));
  bar_->setRange(0, total);  // 0 to 0: busy until the total is known
  bar_->setValue(0);
  bar_->setFormat(total > 0 ? text(0, total, 0) : QString());
  bar_->show();
}

void JobProgress::show(int done, int total) {
  if (bar_->maximum() != total) bar_->setMaximum(total);
  bar_->setValue(done);
  bar_->setFormat(text(done, total, clock_.elapsed()));
}

void JobProgress::end(bool called_off) {
  if (button_) button_->setText(button_text_);
  button_ = nullptr;
  bar_->setFormat(idle_format_);
  if (called_off) bar_->reset();
  if (hide_when_idle_) bar_->hide();
}

QString JobProgress::text(int done, int total, qint64 elapsed_ms) {
  QString shown = QStringLiteral("%1 / %2").arg(done).arg(total);
  if (done <= 0 || total <= 0) return shown;
  const qint64 left_s = (elapsed_ms * (total - done) / done + 500) / 1000;
  return shown +
         QStringLiteral(" · %1:%2 left").arg(left_s / 60).arg(left_s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace orvane
