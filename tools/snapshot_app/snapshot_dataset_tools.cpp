#include <vector>

#include "app/main_window.h"
#include "dataset_tools/analytics.h"
#include "dataset_tools/analytics_dialog.h"
#include "dataset_tools/split_config_dialog.h"
#include "snapshot.h"

using namespace orvane;

// The split dialog and the class distribution dialog, in the dark theme that
// the window applies when it is built.
void snapshot_dataset_tools(const SnapshotContext& context) {
  OrvaneStudio window;

  SplitConfigDialog split(window.dialogs(), &window);
  save_snapshot(context, &split, QStringLiteral("split_config_dialog_dark"));

  const std::vector<ClassCount> counts = sorted_by_count({{"person", 1250},
                                                          {"car", 860},
                                                          {"bicycle", 412},
                                                          {"dog", 388},
                                                          {"traffic light", 233},
                                                          {"bus", 120},
                                                          {"motorcycle", 97},
                                                          {"cat", 64},
                                                          {"fire hydrant", 12},
                                                          {"stop sign", 5},
                                                          {"parking meter", 1}});
  AnalyticsDialog analytics(counts, &window);
  save_snapshot(context, &analytics, QStringLiteral("analytics_dialog_dark"));

  // More classes than fit scroll inside the dialog; long names must stay readable.
  std::vector<ClassCount> many;
  for (int i = 0; i < 30; ++i) {
    many.push_back({i == 0 ? QStringLiteral("construction vehicle with trailer")
                           : QStringLiteral("class_%1").arg(i),
                    3000 - i * 97});
  }
  AnalyticsDialog scrolled(many, &window);
  save_snapshot(context, &scrolled, QStringLiteral("analytics_dialog_many_classes_dark"));

  AnalyticsDialog few({{"car", 12}, {"person", 5}}, &window);
  save_snapshot(context, &few, QStringLiteral("analytics_dialog_two_classes_dark"));
}
