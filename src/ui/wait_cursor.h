// WaitCursor: shows the application-wide wait cursor for its lifetime, so the
// cursor comes back on every return path, exceptions included.
#pragma once

#include <QApplication>
#include <QGuiApplication>

namespace orvane {

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { restore(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  // Restores the cursor early (before a message box); later calls do nothing.
  void restore() {
    if (active_) {
      active_ = false;
      QGuiApplication::restoreOverrideCursor();
    }
  }

 private:
  bool active_ = true;
};

}  // namespace orvane
