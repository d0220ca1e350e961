#include <gtest/gtest.h>
#include <ledger/EventLogEntry.h>

#include <vector>

#include "platform/notify.h"

using namespace platform::notify;

TEST(MessageBoxes, WithoutAHandlerGoToTheEventLogAndCountAsOk) {
    std::vector<std::string> entries;
    CEventLogEntry::SetSink(
        [&](ledger::Severity, const std::string& text) { entries.push_back(text); });
    EXPECT_EQ(ShowMessageBox("RookServer is no longer responding !", "Severe Error",
                             MB_ICONSTOP | MB_SYSTEMMODAL),
              IDOK);
    CEventLogEntry::SetSink({});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "Severe Error: RookServer is no longer responding !");
}

TEST(MessageBoxes, AnInstalledHandlerShowsThemUntilItIsRemoved) {
    std::string seen;
    uint32_t seenStyle = 0;
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, uint32_t style) {
        seen = caption + "|" + text;
        seenStyle = style;
        return 7;
    });
    EXPECT_EQ(ShowMessageBox("No Interface"), 7);
    EXPECT_EQ(seen, "|No Interface");
    EXPECT_EQ(seenStyle, MB_OK);

    const Handler old = SetMessageBoxHandler({});
    EXPECT_TRUE(static_cast<bool>(old));
    CEventLogEntry::SetSink([](ledger::Severity, const std::string&) {});
    EXPECT_EQ(ShowMessageBox("App Not Found"), IDOK);
    CEventLogEntry::SetSink({});
    EXPECT_EQ(seen, "|No Interface");
}
