// Two libraries that both read the console settings share one copy per process: the record
// is read once, by whichever library comes first.
#include <console/ConsoleSettings.h>
#include <console/GenericRegistryObject.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "TempRegistry.h"

using platform::registry::testing::TempRegistry;

namespace {

using ReadFn = const ConsoleSettings* (*)();

ReadFn load(const char* library) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
    return handle ? reinterpret_cast<ReadFn>(dlsym(handle, "ReadSettingsFromThisLibrary"))
                  : nullptr;
}

}  // namespace

TEST(TwoLibrariesInOneProcess, ShareOneCopyOfTheConsoleSettings) {
    TempRegistry temp;
    ResetConsoleSettingsForTests();
    CLocalMachineRegistryObject registry;
    ASSERT_TRUE(registry.WriteNumber("Software\\Kestane Vantor\\Main", "VantorConsoleType", 6));

    ReadFn first = load(SETTINGS_USER_A);
    ReadFn second = load(SETTINGS_USER_B);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const ConsoleSettings* a = first();
    ASSERT_TRUE(registry.WriteNumber("Software\\Kestane Vantor\\Main", "VantorConsoleType", 7));
    const ConsoleSettings* b = second();
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->VantorConsoleType, 6u);
    EXPECT_EQ(&GetConsoleSettings(), a);
    ResetConsoleSettingsForTests();
}
