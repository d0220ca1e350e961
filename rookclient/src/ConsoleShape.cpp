#include "rookclient/ConsoleShape.h"

#include <console/ConsoleSettings.h>
#include <objectkit/Settings.h>

namespace rookclient {

int ConsoleType() {
    return static_cast<int>(GetConsoleSettings().VantorConsoleType);
}

int MaxPaths() {
    return objectkit::ReadMaxPathsMode() == 1 ? 500 : 256;
}

}  // namespace rookclient
