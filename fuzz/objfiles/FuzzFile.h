// The file-based readers take a path: each input is written to one scratch file per process.
// The registry and data directory point into a private temporary directory.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const std::string& ScratchDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/objfiles-fuzz-XXXXXX";
        const char* made = mkdtemp(tmpl);
        std::string d = made ? made : "/tmp";
        setenv("KESTANE_REGISTRY_DIR", d.c_str(), 1);
        setenv("KESTANE_DATA_DIR", d.c_str(), 1);
        return d;
    }();
    return dir;
}

inline std::string WriteInput(const uint8_t* data, size_t size, const char* name) {
    const std::string path = ScratchDir() + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) {
            std::fwrite(data, 1, size, f);
        }
        std::fclose(f);
    }
    return path;
}

}  // namespace fuzz
