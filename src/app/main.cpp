#include <QApplication>
#include <QIcon>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "common/process_signals.h"

#ifdef Q_OS_WIN
#include <windows.h>

// Groups the program's windows under its own taskbar entry. Best effort: any
// failure, including a shell32 without the call, is ignored.
static void set_windows_app_id() {
  using SetAppId = HRESULT(WINAPI*)(PCWSTR);
  HMODULE shell32 = LoadLibraryW(L"shell32.dll");
  if (!shell32) return;
  auto set_id = reinterpret_cast<SetAppId>(
      reinterpret_cast<void*>(GetProcAddress(shell32, "SetCurrentProcessExplicitAppUserModelID")));
  if (set_id) set_id(L"orvane.studio.engine.1.0");
}
#endif

int main(int argc, char* argv[]) {
  orvane::ignore_file_size_signal();
  QApplication app(argc, argv);
#ifdef Q_OS_WIN
  set_windows_app_id();
#endif
  const QString icon = orvane::app_icon_path();
  if (!icon.isEmpty()) QApplication::setWindowIcon(QIcon(icon));

  orvane::OrvaneStudio window;
  window.show();
  return app.exec();
}
