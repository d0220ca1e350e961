// A small dot in the corner of a rack button telling whether the rack holds what the window
// shows: green in sync, amber while it is read back, red when it differs; nothing when the
// state is unknown. It lies over the button's picture and lets every click through.
#pragma once

#include <QWidget>

#include "mic/core/RackSync.h"

namespace mic::ui {

class RackSyncMark : public QWidget {
    Q_OBJECT

  public:
    // A child of `button`, placed in its top right corner.
    explicit RackSyncMark(QWidget* button);

    // Main thread.
    void SetState(RackSync state);
    RackSync State() const { return state_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Place();

    RackSync state_ = RackSync::Unknown;
};

}  // namespace mic::ui
