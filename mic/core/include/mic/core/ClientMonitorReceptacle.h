// The receiver of the console's client-monitor requests: registers mic with the server and
// turns a close request into an orderly close of the program.
#pragma once

#include <rookclient/ClientMonitorRookObject.h>

#include "mic/core/ConsoleNotices.h"

namespace mic {

class CClientMonitorReceptacle : public CClientMonitorRookObject {
  public:
    // Main thread. Connects with advising on.
    explicit CClientMonitorReceptacle(ConsoleNoticeTarget* owner);
    ~CClientMonitorReceptacle() override;

    // Main thread, inside the delivery of a push. Request codes 1 and 2 ask for a close; any
    // other code is ignored, and so is any block other than header plus code (stated and real
    // size 20 bytes).
    int OnLinkIn(_CommsStructure* block) override;

  private:
    NoticePoster notices_;
};

}  // namespace mic
