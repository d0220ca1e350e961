// Helper process for the registry tests: writes to the machine hive of $KESTANE_REGISTRY_DIR.
//   registry_writer values PREFIX COUNT   sets PREFIX<i> = i under "Shared" for i < COUNT
//   registry_writer churn                 rewrites large values and whole trees until killed
#include <platform/registry.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace platform::registry;

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "values") {
        Key key;
        if (Key::root(Hive::LocalMachine).create("Shared", key) != Status::Ok) {
            return 2;
        }
        long count = std::atol(argv[3]);
        for (long i = 0; i < count; ++i) {
            Status s = setDword(key, argv[2] + std::to_string(i), static_cast<uint32_t>(i));
            if (s != Status::Ok) {
                std::fprintf(stderr, "write %ld failed: %s\n", i, describe(s));
                return 3;
            }
        }
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "churn") {
        Key key;
        if (Key::root(Hive::LocalMachine).create("Churn", key) != Status::Ok) {
            return 2;
        }
        // Tell the test that writing has begun.
        std::puts("ready");
        std::fflush(stdout);
        for (uint32_t n = 0;; ++n) {
            // The counter, then its low byte repeated to a length that depends on it: a torn
            // write would show as a wrong length or mixed bytes.
            std::vector<uint8_t> blob(200000 + n % 1000, static_cast<uint8_t>(n));
            for (int i = 0; i < 4; ++i) {
                blob[i] = static_cast<uint8_t>(n >> (8 * i));
            }
            key.set("Blob", REG_BINARY, blob);
            Key tree;
            std::string name = "Tree" + std::to_string(n % 4);
            key.deleteTree(name);
            key.create(name + "\\A\\B\\C", tree);
        }
    }
    std::fprintf(stderr, "usage: registry_writer values PREFIX COUNT | churn\n");
    return 1;
}
