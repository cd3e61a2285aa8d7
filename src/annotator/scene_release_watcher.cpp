#include "annotator/scene_release_watcher.h"

#include <QEvent>
#include <QGraphicsScene>

namespace orvane {

SceneReleaseWatcher::SceneReleaseWatcher(QGraphicsScene* scene, std::function<void()> on_release)
    : QObject(scene), on_release_(std::move(on_release)) {
  scene->installEventFilter(this);
}

bool SceneReleaseWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::GraphicsSceneMouseRelease) return false;
  // Let the scene finish the release first (the mouse grab ends, a drawn shape
  // is completed), so the callback sees the final state and may open a dialog.
  watched->event(event);
  on_release_();
  return true;
}

}  // namespace orvane
