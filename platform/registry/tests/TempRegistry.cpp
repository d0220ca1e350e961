#include "TempRegistry.h"

#include <platform/registry.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace platform::registry::testing {

TempRegistry::TempRegistry() {
    std::string pattern = std::filesystem::temp_directory_path() / "kreg-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary registry directory");
    }
    dir_ = pattern;
    resetForTests();
    setenv("KESTANE_REGISTRY_DIR", dir_.c_str(), 1);
}

TempRegistry::~TempRegistry() {
    resetForTests();
    unsetenv("KESTANE_REGISTRY_DIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace platform::registry::testing
