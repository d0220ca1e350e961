#include <gtest/gtest.h>

#include <cstring>

#include "BusEnvironment.h"
#include "bus_config.h"
#include "bus_result.h"
#include "message_wire.h"
#include "platform/com/bus.h"
#include "wire.h"

using namespace platform::com;

namespace {

// A message body as it arrives: built, sealed and read from the start.
class Body {
  public:
    Body() {
        sd_bus_message_new_method_call(CurrentThreadBus(), &m_, "org.kestane.test", "/t",
                                       "org.kestane.Test", "M");
    }
    ~Body() { sd_bus_message_unref(m_); }
    sd_bus_message* get() { return m_; }
    sd_bus_message* Sealed() {
        static uint64_t cookie = 1;
        sd_bus_message_seal(m_, cookie++, 0);
        sd_bus_message_rewind(m_, 1);
        return m_;
    }

  private:
    sd_bus_message* m_ = nullptr;
};

}  // namespace

TEST(WireDecoding, ASetDataBodyGivesBackTheFormatAndAViewOfEveryByte) {
    Body body;
    FORMATETC f;
    f.cfFormat = 0xE270;
    f.dwAspect = 4242;
    f.lindex = -1;
    f.tymed = 0;
    std::vector<uint8_t> block(154560);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 31);
    }
    ASSERT_GE(wire::AppendFormat(body.get(), wire::ToWire(f)), 0);
    ASSERT_GE(wire::AppendBlock(body.get(), block.data(), block.size()), 0);
    wire::SetDataArgs args;
    ASSERT_GE(wire::DecodeSetData(body.Sealed(), args), 0);
    const FORMATETC back = wire::FromWire(args.format);
    EXPECT_EQ(back.cfFormat, f.cfFormat);
    EXPECT_EQ(back.dwAspect, f.dwAspect);
    EXPECT_EQ(back.lindex, -1);
    EXPECT_EQ(back.ptd, nullptr);
    ASSERT_EQ(args.block.size, block.size());
    EXPECT_EQ(std::memcmp(args.block.data, block.data(), block.size()), 0);
}

TEST(WireDecoding, AnEmptyBlockTravelsAsAnEmptyArray) {
    Body body;
    ASSERT_GE(wire::AppendFormat(body.get(), {}), 0);
    ASSERT_GE(wire::AppendBlock(body.get(), nullptr, 0), 0);
    wire::SetDataArgs args;
    ASSERT_GE(wire::DecodeOnDataChange(body.Sealed(), args), 0);
    EXPECT_EQ(args.block.size, 0u);
}

TEST(WireDecoding, BodiesOfAnotherShapeAreRefused) {
    struct Case {
        const char* what;
        std::function<void(sd_bus_message*)> build;
        std::function<int(sd_bus_message*)> decode;
    };
    const uint8_t bytes[4] = {1, 2, 3, 4};
    const std::vector<Case> cases = {
        {"SetData without its block",
         [](sd_bus_message* m) { sd_bus_message_append(m, "quiu", 1, 2u, 3, 4u); },
         [](sd_bus_message* m) {
             wire::SetDataArgs a;
             return wire::DecodeSetData(m, a);
         }},
        {"SetData with a trailing argument",
         [&](sd_bus_message* m) {
             sd_bus_message_append(m, "quiu", 1, 2u, 3, 4u);
             sd_bus_message_append_array(m, 'y', bytes, 4);
             sd_bus_message_append(m, "u", 5u);
         },
         [](sd_bus_message* m) {
             wire::SetDataArgs a;
             return wire::DecodeSetData(m, a);
         }},
        {"SetData with strings for bytes",
         [](sd_bus_message* m) { sd_bus_message_append(m, "quiuas", 1, 2u, 3, 4u, 1, "x"); },
         [](sd_bus_message* m) {
             wire::SetDataArgs a;
             return wire::DecodeSetData(m, a);
         }},
        {"DAdvise with a string for its sink",
         [](sd_bus_message* m) { sd_bus_message_append(m, "quiuus", 1, 2u, 3, 4u, 5u, "/s"); },
         [](sd_bus_message* m) {
             wire::DAdviseArgs a;
             return wire::DecodeDAdvise(m, a);
         }},
        {"CreateInstance with no class id",
         [](sd_bus_message* m) { sd_bus_message_append(m, "s", "{not-a-guid}"); },
         [](sd_bus_message* m) {
             CLSID c;
             return wire::DecodeCreateInstance(m, c);
         }},
        {"a GetData reply without its block",
         [](sd_bus_message* m) { sd_bus_message_append(m, "iu", 0, 1u); },
         [](sd_bus_message* m) {
             wire::GetDataReply a;
             return wire::DecodeGetDataReply(m, a);
         }},
        {"a result that is unsigned", [](sd_bus_message* m) { sd_bus_message_append(m, "u", 0u); },
         [](sd_bus_message* m) {
             HRESULT hr;
             return wire::DecodeResult(m, hr);
         }},
        {"a broadcast without its origin",
         [](sd_bus_message* m) {
             sd_bus_message_append(m, "sutx", "Name", 1u, uint64_t{2}, int64_t{3});
         },
         [](sd_bus_message* m) {
             wire::CarriedMessage c;
             return wire::DecodeBroadcast(m, c);
         }},
        {"a post whose window is a string",
         [](sd_bus_message* m) {
             sd_bus_message_append(m, "tssutx", uint64_t{1}, "w", "Name", 1u, uint64_t{2},
                                   int64_t{3});
         },
         [](sd_bus_message* m) {
             wire::CarriedMessage c;
             return wire::DecodePost(m, c);
         }},
    };
    for (const Case& c : cases) {
        Body body;
        c.build(body.get());
        EXPECT_LT(c.decode(body.Sealed()), 0) << c.what;
    }
}

TEST(BusResults, AVanishedServerIsUnavailableAndOtherFailuresKeepTheirMeaning) {
    auto named = [](const char* name) {
        sd_bus_error e = SD_BUS_ERROR_MAKE_CONST(name, "x");
        return detail::ResultOfBusFailure(-EIO, &e);
    };
    for (const char* gone :
         {SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_NO_REPLY,
          SD_BUS_ERROR_DISCONNECTED, SD_BUS_ERROR_UNKNOWN_OBJECT}) {
        EXPECT_EQ(named(gone), RPC_S_SERVER_UNAVAILABLE) << gone;
    }
    EXPECT_EQ(detail::ResultOfBusFailure(-ECONNRESET, nullptr), RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(detail::ResultOfBusFailure(-ETIMEDOUT, nullptr), RPC_E_TIMEOUT);
    EXPECT_EQ(named(SD_BUS_ERROR_INVALID_ARGS), E_INVALIDARG);
    EXPECT_EQ(named(SD_BUS_ERROR_ACCESS_DENIED), E_ACCESSDENIED);
    EXPECT_EQ(named("org.example.Error.Whatever"), E_FAIL);
}

TEST(BusChoice, SessionSystemOrAnAddress) {
    EXPECT_EQ(detail::ParseBusChoice("").kind, detail::BusChoice::Session);
    EXPECT_EQ(detail::ParseBusChoice("system").kind, detail::BusChoice::System);
    const auto address = detail::ParseBusChoice("unix:path=/run/rook/bus");
    EXPECT_EQ(address.kind, detail::BusChoice::Address);
    EXPECT_EQ(address.address, "unix:path=/run/rook/bus");
}
