// Typed value texts: any text for any control of any console type either gives a value within
// the control's range or the documented std::invalid_argument; formatting any value works.
#include <objectkit/ControlRanges.h>
#include <objectkit/Settings.h>
#include <objectkit/TemplateSnapAutoEvent.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const int consoleType = data[0] % 10;  // 0, 8, 9: unknown types
    CTemplateSnapAutoEvent event(data[1], data[2] % 12, 0);
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
    try {
        const short value = event.GetValueFromTextFor(consoleType, text);
        event.value = static_cast<uint16_t>(value);
        std::string shown;
        event.GetTextFor(consoleType, shown, 1, 0);
        if (shown.empty() || shown.rfind("-0.0", 0) == 0) {
            std::abort();
        }
    } catch (const std::invalid_argument&) {
    }
    // Every stored value formats, with and without units.
    if (size >= 5) {
        event.value = static_cast<uint16_t>(data[3] | data[4] << 8);
        std::string shown;
        event.GetTextFor(consoleType, shown, data[0] & 1, data[0] & 2);
        const std::string name = event.GetEventNameFor(consoleType);
        if (shown.empty() || name.empty()) {
            std::abort();
        }
    }
    return 0;
}
