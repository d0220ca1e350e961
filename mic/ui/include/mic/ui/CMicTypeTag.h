// The microphone type shown on a strip: a small tag on the phantom button ("RIB", "LINE" in red,
// "DYN", "CND" quietly, nothing for an unknown microphone), which flashes "NO 48V" for a few
// seconds when phantom power has been refused on the channel. Mouse clicks pass through it.
#pragma once

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "mic/core/MicrophoneType.h"

namespace mic::ui {

class CMicTypeTag : public QLabel {
    Q_OBJECT

  public:
    explicit CMicTypeTag(QWidget* parent);

    // Main thread. Places the tag on the button's top edge.
    void Attach(const QRect& button);
    // Main thread.
    void SetType(MicType type);
    MicType Type() const { return type_; }
    // Main thread. "NO 48V" for a few seconds, then the type again.
    void FlashRefusal();
    bool Flashing() const { return flash_.isActive(); }

  private:
    void ShowType();

    MicType type_ = MicType::Unknown;
    QRect button_;
    QTimer flash_;
};

// Main thread. The strip's microphone menu ("Microphone on channel N"): one checkable entry per
// type, the current one checked; `chosen` is called with the type picked. The menu deletes
// itself when closed. Its object name is "micTypeMenu", its entries "micType<Name>".
QMenu* MakeMicTypeMenu(QWidget* parent, int channel, MicType current,
                       const std::function<void(MicType)>& chosen);

}  // namespace mic::ui
