// SceneReleaseWatcher: runs a callback after the scene has handled each mouse
// release, that is when a drag of shapes has ended.
#pragma once

#include <QObject>
#include <functional>

class QGraphicsScene;

namespace orvane {

class SceneReleaseWatcher : public QObject {
 public:
  // Watches `scene` and is owned by it.
  SceneReleaseWatcher(QGraphicsScene* scene, std::function<void()> on_release);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> on_release_;
};

}  // namespace orvane
