// Loads arbitrary bytes as an automation data file and as an automation package.
#include <objectkit/AutomationPackage.h>

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInput(data, size, "input.aut");
    CAutomationEventArray array;
    int pathMode = 0;
    array.Load(path, pathMode);
    CAutomationPackage package;
    package.Load(path);
    return 0;
}
