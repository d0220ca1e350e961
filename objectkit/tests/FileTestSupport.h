// Temporary directories and small file helpers for the file-format tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
#include <platform/registry.h>
#endif

namespace objectkit::test {

// A fresh directory per test, removed afterwards.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("objectkit_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" +
                info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "registry");
        // Every test reads its own empty registry, never the machine's.
        setenv("KESTANE_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
        setenv("KESTANE_DATA_DIR", (dir_ / "data").c_str(), 1);
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
        platform::registry::resetForTests();
#endif
    }
    void TearDown() override {
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
        platform::registry::resetForTests();
#endif
        std::filesystem::remove_all(dir_);
    }

    static bool HaveRegistry() {
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
        return true;
#else
        return false;
#endif
    }
    // Sets a DWORD under HKEY_LOCAL_MACHINE; false when this build has no registry.
    static bool SetMachineDword(const char* keyPath, const char* name, uint32_t value) {
#ifdef OBJECTKIT_HAVE_PLATFORM_REGISTRY
        namespace reg = platform::registry;
        reg::Key key;
        return reg::Key::root(reg::Hive::LocalMachine).create(keyPath, key) == reg::Status::Ok &&
               reg::setDword(key, name, value) == reg::Status::Ok;
#else
        return false;
#endif
    }

    std::string Path(const std::string& name) const {
        return (dir_ / name).string();
    }

    static std::vector<uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static void WriteText(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    static uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
        return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
               static_cast<uint32_t>(b.at(at + 2)) << 16 |
               static_cast<uint32_t>(b.at(at + 3)) << 24;
    }
    static void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
        }
    }

    std::filesystem::path dir_;
};

}  // namespace objectkit::test
