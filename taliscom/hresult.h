// COM result codes that the component gives and relies on, as portable constants (the Windows
// headers' macros are not used so that the same names serve on every platform).
#pragma once

#include <cstdint>

#include "taliscom.h"

namespace taliscom {

constexpr HResult MakeHResult(std::uint32_t code) { return static_cast<HResult>(code); }
// HRESULT_FROM_WIN32.
constexpr HResult HResultFromWin32(long code) {
    return code <= 0 ? static_cast<HResult>(code)
                     : MakeHResult((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

namespace hr {
inline constexpr HResult kOk = 0;                                       // S_OK
inline constexpr HResult kFalse = 1;                                    // S_FALSE
inline constexpr HResult kNoInterface = MakeHResult(0x80004002);        // E_NOINTERFACE
inline constexpr HResult kPointer = MakeHResult(0x80004003);            // E_POINTER
inline constexpr HResult kFail = MakeHResult(0x80004005);               // E_FAIL
inline constexpr HResult kOutOfMemory = MakeHResult(0x8007000E);        // E_OUTOFMEMORY
inline constexpr HResult kInvalidArg = MakeHResult(0x80070057);         // E_INVALIDARG
inline constexpr HResult kDispException = MakeHResult(0x80020009);      // DISP_E_EXCEPTION
inline constexpr HResult kNoAggregation = MakeHResult(0x80040110);      // CLASS_E_NOAGGREGATION
inline constexpr HResult kClassNotAvailable = MakeHResult(0x80040111);  // CLASS_E_CLASSNOTAVAILABLE
inline constexpr HResult kClassNotRegistered = MakeHResult(0x80040154);  // REGDB_E_CLASSNOTREG
inline constexpr HResult kErrorInDll = MakeHResult(0x800401F9);          // CO_E_ERRORINDLL
inline constexpr HResult kSelfRegClass = MakeHResult(0x80040201);        // SELFREG_E_CLASS
// Win32 errors as HRESULTs, as the metabase gives them.
inline constexpr HResult kFileNotFound = HResultFromWin32(2);          // ERROR_FILE_NOT_FOUND
inline constexpr HResult kPathNotFound = HResultFromWin32(3);          // ERROR_PATH_NOT_FOUND
inline constexpr HResult kAccessDenied = HResultFromWin32(5);          // ERROR_ACCESS_DENIED
inline constexpr HResult kInvalidHandle = HResultFromWin32(6);         // ERROR_INVALID_HANDLE
inline constexpr HResult kInvalidData = HResultFromWin32(13);          // ERROR_INVALID_DATA
inline constexpr HResult kModuleNotFound = HResultFromWin32(126);      // ERROR_MOD_NOT_FOUND
inline constexpr HResult kInsufficientBuffer = HResultFromWin32(122);  // ERROR_INSUFFICIENT_BUFFER
inline constexpr HResult kPathBusy = HResultFromWin32(148);            // ERROR_PATH_BUSY
inline constexpr HResult kAlreadyExists = HResultFromWin32(183);       // ERROR_ALREADY_EXISTS
inline constexpr HResult kNoMoreItems = HResultFromWin32(259);         // ERROR_NO_MORE_ITEMS
inline constexpr HResult kDataNotFound = MakeHResult(0x800CC801);      // MD_ERROR_DATA_NOT_FOUND
}  // namespace hr

}  // namespace taliscom
