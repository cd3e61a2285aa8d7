// A running job's face on its tab: the progress bar counts "n / N · m:ss
// left", and the button that started the job reads "Cancel" until it ends.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressBar;
class QPushButton;

namespace orvane {

class JobProgress {
 public:
  // `bar` shows the progress (called once, when the tab is built). With
  // `hide_when_idle` (a tab that had no bar) it is shown only while a job
  // runs; else it keeps the last count.
  void bind(QProgressBar* bar, bool hide_when_idle);

  // A job of `total` items (0: not known yet) starts from `button`.
  void begin(QPushButton* button, int total);
  // `done` of `total` items are through.
  void show(int done, int total);
  // The job ended: the button reads its own text again. A bar kept while
  // idle keeps its last count, or goes back to empty for a job called off.
  void end(bool called_off = false);

  // "n / N · m:ss left", the time left from the pace so far; only "n / N"
  // until an item is done.
  static QString text(int done, int total, qint64 elapsed_ms);

 private:
  QProgressBar* bar_ = nullptr;
  bool hide_when_idle_ = false;
  QString idle_format_;
  QPointer<QPushButton> button_;
  QString button_text_;
  QElapsedTimer clock_;
};

}  // namespace orvane
