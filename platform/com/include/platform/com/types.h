// The value types of the object-server calls: result codes, identifiers, data formats and
// media. Numbers are the ones the console's programs and any server in their place use.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::com {

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using BOOL = int;
using CLIPFORMAT = uint16_t;
using HGLOBAL = void*;

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr HRESULT MakeResult(uint32_t bits) {
    return static_cast<HRESULT>(bits);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeResult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110);
inline constexpr HRESULT REGDB_E_READREGDB = MakeResult(0x80040150);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeResult(0x800401F0);
inline constexpr HRESULT CO_E_APPNOTFOUND = MakeResult(0x800401F5);
inline constexpr HRESULT CO_E_APPSINGLEUSE = MakeResult(0x800401F6);
inline constexpr HRESULT CO_E_ERRORINAPP = MakeResult(0x800401F7);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeResult(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeResult(0x800401F9);
inline constexpr HRESULT CO_E_WRONGOSFORAPP = MakeResult(0x800401FA);
inline constexpr HRESULT CO_E_APPDIDNTREG = MakeResult(0x800401FE);
// The class is registered but its server is not running and cannot be started.
inline constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = MakeResult(0x80080005);
// The server does not serve the class it was asked for.
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111);
inline constexpr HRESULT DV_E_FORMATETC = MakeResult(0x80040064);
inline constexpr HRESULT DV_E_TYMED = MakeResult(0x80040069);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = MakeResult(0x80040003);
inline constexpr HRESULT OLE_E_NOCONNECTION = MakeResult(0x80040004);
// The server's process or connection is gone (killed, crashed, bus name released).
inline constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = MakeResult(0x800706BA);
// The server did not answer within the call's time-out.
inline constexpr HRESULT RPC_E_TIMEOUT = MakeResult(0x8001011F);

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    friend bool operator==(const GUID&, const GUID&) = default;
    friend auto operator<=>(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hex, as the registry keys name classes.
std::string ToString(const GUID& guid);
// Parses that form (braces optional, either case); false on anything else.
bool ParseGuid(const std::string& text, GUID& out);

// The standard interface identifiers.
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IAdviseSink{0x0000010F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Where a class object may come from.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;

// Media types.
inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;

// Advise flags.
inline constexpr DWORD ADVF_NODATA = 1;

// Global memory flags; blocks are always zero-filled movable memory here, the flags are kept
// for the callers that state them.
inline constexpr unsigned GMEM_MOVEABLE = 0x0002;
inline constexpr unsigned GMEM_ZEROINIT = 0x0040;
inline constexpr unsigned GMEM_SHARE = 0x2000;

struct DVTARGETDEVICE;
struct IUnknown;

struct FORMATETC {
    CLIPFORMAT cfFormat = 0;
    DVTARGETDEVICE* ptd = nullptr;
    DWORD dwAspect = 0;
    int32_t lindex = -1;
    DWORD tymed = TYMED_NULL;
};

struct STGMEDIUM {
    DWORD tymed = TYMED_NULL;
    HGLOBAL hGlobal = nullptr;
    IUnknown* pUnkForRelease = nullptr;
};

}  // namespace platform::com
