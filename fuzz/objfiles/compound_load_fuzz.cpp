// Loads arbitrary bytes as an automation data file and as an automation package.
#include <objectkit/AutomationPackage.h>

#include "FuzzFile.h"

// libgsf 1.14.50 loses a few directory entries (80 bytes each) when it gives up on some damaged
// directory trees, inside gsf_infile_msole_new and out of our reach; that is reported upstream
// rather than here, so leaks from within libgsf are not findings of this harness.
// The slow unwinder sees through glib, which has no frame pointers, to the libgsf frames.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgsf-1.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInput(data, size, "input.aut");
    CAutomationEventArray array;
    int pathMode = 0;
    array.Load(path, pathMode);
    CAutomationPackage package;
    package.Load(path);
    return 0;
}
