#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/com/activation.h"

using namespace platform::com;

namespace {

unsigned PeerNumber(const std::string& names) {
    const std::string command = std::string(CLIPBOARD_FORMAT_PEER) + " " + names;
    FILE* out = popen(command.c_str(), "r");
    unsigned number = 0;
    if (out) {
        if (std::fscanf(out, "%u", &number) != 1) {
            number = 0;
        }
        pclose(out);
    }
    return number;
}

}  // namespace

TEST(ClipboardFormats, TwoProcessesAgreeOnANumberWhateverElseTheyRegisteredFirst) {
    RegisterClipboardFormat("Kestane Other Format");
    const CLIPFORMAT mine = RegisterClipboardFormat("RookObjectClipboardFormat");
    EXPECT_EQ(PeerNumber("ROOKOBJECTCLIPBOARDFORMAT"), mine);
    EXPECT_EQ(PeerNumber("Something Else Entirely rookobjectclipboardformat"), mine);
    EXPECT_NE(PeerNumber("Something Else Entirely"), mine);
}

TEST(ClipboardFormats, TheNumberOfTheServerFormatIsTheOneThePublishedContractGives) {
    // A server in another language computes the number from README.md alone.
    std::ifstream readme(COM_README);
    std::stringstream text;
    text << readme.rdbuf();
    const std::string marker = "\"RookObjectClipboardFormat\" is 0x";
    const size_t at = text.str().find(marker);
    ASSERT_NE(at, std::string::npos) << "README.md states the number";
    const unsigned documented = std::stoul(text.str().substr(at + marker.size(), 4), nullptr, 16);
    EXPECT_EQ(RegisterClipboardFormat("RookObjectClipboardFormat"), documented);
}
