// What every proxy and every server in the RookServer's place agree on: the server's class
// id, its own result codes, the clipboard format of every call and the broadcast sent when
// the server never became ready.
#pragma once

#include <platform/com/types.h>

namespace rookclient {

inline constexpr platform::com::CLSID CLSID_RookServer{
    0x12C7B830, 0x17F3, 0x11CE, {0x93, 0xE6, 0x00, 0x20, 0xAF, 0x42, 0x56, 0x41}};

// The server object cannot answer yet; ask again shortly.
inline constexpr platform::com::HRESULT SERVER_E_NOT_READY = platform::com::MakeResult(0xF0000003);
// The server has no data to give.
inline constexpr platform::com::HRESULT SERVER_E_NO_DATA = platform::com::MakeResult(0xF0000004);
// The server is booting the desk; that takes a while.
inline constexpr platform::com::HRESULT SERVER_E_BOOTING = platform::com::MakeResult(0xF0000005);

inline constexpr const char* kClipboardFormatName = "RookObjectClipboardFormat";
inline constexpr const char* kConsoleGoneMessageName = "ConsoleGoneTitsUp";

// Command codes common to every server object.
inline constexpr uint32_t kCancelCommand = 180;

}  // namespace rookclient
