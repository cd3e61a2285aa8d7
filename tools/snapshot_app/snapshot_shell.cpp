#include <QTabWidget>

#include "app/help_dialog.h"
#include "app/main_window.h"
#include "snapshot.h"
#include "theme/theme_toggle.h"

using namespace orvane;

void snapshot_shell(const SnapshotContext& context) {
  static const char* const kTabNames[] = {"resizer", "splitter", "enricher", "annotator",
                                          "config",  "progress", "inference"};
  for (bool dark : {true, false}) {
    OrvaneStudio window;
    window.theme_toggle->setChecked(dark);  // as the user switches it
    const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
    for (int i = 0; i < window.tabs->count(); ++i) {
      window.tabs->setCurrentIndex(i);
      save_snapshot(context, &window,
                    QStringLiteral("tab%1_%2_%3").arg(i).arg(QLatin1String(kTabNames[i]), theme));
    }
    HelpDialog help(&window);
    save_snapshot(context, &help, QStringLiteral("help_dialog_") + theme);
  }
}
