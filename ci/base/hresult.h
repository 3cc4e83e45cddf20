// Errors: HRESULT values and their propagation, shared by portable and Windows
// code; the Win32 last error as an HRESULT; and running code where nothing may be
// thrown.
#pragma once

#include <cstdint>
#include <string>

namespace ci {

// A signed 32-bit result; negative means failure.
using HResult = std::int32_t;

// Every HRESULT constant is spelled `k` + the platform's name for the code
// (kS_OK, kE_FAIL, kRPC_E_CHANGED_MODE), or `kE_` + an upper-case name for
// the system's own codes and wrapped Win32 errors; Windows code uses these too.

constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kE_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult kE_POINTER = static_cast<HResult>(0x80004003u);
constexpr HResult kE_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult kE_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult kDISP_E_EXCEPTION = static_cast<HResult>(0x80020009u);
constexpr HResult kDISP_E_TYPEMISMATCH = static_cast<HResult>(0x80020005u);
constexpr HResult kE_ABORT = static_cast<HResult>(0x80004004u);
constexpr HResult kE_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult kE_UNEXPECTED = static_cast<HResult>(0x8000FFFFu);
constexpr HResult kE_ACCESSDENIED = static_cast<HResult>(0x80070005u);
constexpr HResult kCLASS_E_NOAGGREGATION = static_cast<HResult>(0x80040110u);
constexpr HResult kREGDB_E_CLASSNOTREG = static_cast<HResult>(0x80040154u);
constexpr HResult kCO_E_SERVER_EXEC_FAILURE = static_cast<HResult>(0x80080005u);
constexpr HResult kRPC_E_CHANGED_MODE = static_cast<HResult>(0x80010106u);
// Win32 errors as HRESULTs (facility WIN32).
constexpr HResult kE_FILE_NOT_FOUND = static_cast<HResult>(0x80070002u);
constexpr HResult kE_PATH_NOT_FOUND = static_cast<HResult>(0x80070003u);
constexpr HResult kE_INSUFFICIENT_BUFFER = static_cast<HResult>(0x8007007Au);
constexpr HResult kE_DATATYPE_MISMATCH = static_cast<HResult>(0x8007065Du);

constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

// A Win32 error code as an HRESULT: codes of 0 or below pass unchanged, positive
// codes become 0x8007xxxx (facility WIN32).
constexpr HResult HResultFromWin32(std::int32_t code) {
  return code <= 0
             ? code
             : static_cast<HResult>(0x80070000u | (static_cast<std::uint32_t>(code) & 0xFFFFu));
}

// "0x8007000E": eight upper-case hex digits, as results are written everywhere.
std::string HResultHex(HResult hr);

#ifdef _WIN32
// HResultFromWin32 of the calling thread's last-error value.
HResult HResultFromLastError();

// Like HResultFromLastError, for a call that reported failure: a last-error value
// of 0 still gives a failure (E_FAIL).
HResult HResultFromFailedCall();
#endif

// Runs `body` where nothing may be thrown (the crash path, the registry layer): an
// exception, in practice std::bad_alloc, becomes a false result the caller checks.
// What `body` changed before it threw stays changed.
template <typename Body>
bool WithoutThrowing(Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ci

// Returns the HRESULT of `expr` from the enclosing function when it is a failure.
#define VU_RETURN_IF_FAILED(expr)                                  \
  do {                                                             \
    const ::ci::HResult ci_hr_ = static_cast<::ci::HResult>(expr); \
    if (::ci::Failed(ci_hr_)) return ci_hr_;                       \
  } while (0)

// Returns `hr` from the enclosing function when `cond` holds.
#define VU_RETURN_IF(cond, hr) \
  do {                         \
    if (cond) return (hr);     \
  } while (0)
