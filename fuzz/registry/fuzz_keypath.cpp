// Key paths from outside (tools, settings files, other programs): the parser must accept only
// well-formed paths, and opening any path must fail cleanly.
#include <platform/registry.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "KeyPath.h"

using namespace platform::registry;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char dir[] = "/tmp/kreg-fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::abort();
    }
    setenv("KESTANE_REGISTRY_DIR", dir, 1);
    Key key;
    // A few keys for the opens below to find.
    Key::root(Hive::LocalMachine).create("Software\\Kestane Vantor\\Main", key);
    Key::root(Hive::LocalMachine).create("a\\b", key);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view path(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    Status s = detail::splitKeyPath(path, parts);
    if (s == Status::Ok) {
        std::string joined;
        for (std::string_view part : parts) {
            if (part.empty() || part.size() > detail::kMaxKeyNameLength)
                std::abort();
            for (unsigned char c : part) {
                if (c < 0x20 || c == 0x7f || c == '\\')
                    std::abort();
            }
            joined = detail::joinPath(joined, part);
        }
        std::string_view expected = path;
        if (!expected.empty() && expected.back() == '\\')
            expected.remove_suffix(1);
        if (joined != expected)
            std::abort();
    } else if (s != Status::InvalidPath || !parts.empty()) {
        std::abort();
    }
    std::string folded = detail::foldCase(path);
    if (folded.size() != path.size() || detail::foldCase(folded) != folded)
        std::abort();

    Key key;
    Status opened = Key::root(Hive::LocalMachine).open(path, key);
    if (opened != Status::Ok && opened != Status::NotFound && opened != Status::InvalidPath) {
        std::abort();
    }
    if ((opened == Status::InvalidPath) != (s == Status::InvalidPath))
        std::abort();
    return 0;
}
