#include "tools/server_activation_win.h"

#include <objbase.h>

#include "ci/base/win_handles.h"

namespace ci {
namespace {

bool ProcessElevated() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
    // Systems without elevation (no TokenElevation class) run everyone with the
    // token they have: go direct.
    return ::GetLastError() == ERROR_INVALID_PARAMETER;
  }
  return elevation.TokenIsElevated != 0;
}

HRESULT BindMoniker(const wchar_t* display_name, REFIID iid, void** object) {
  BIND_OPTS3 options{};
  options.cbStruct = sizeof(options);
  options.dwClassContext = CLSCTX_LOCAL_SERVER;
  // The consent prompt belongs to the console window when there is one.
  options.hwnd = ::GetConsoleWindow();
  return ::CoGetObject(display_name, &options, iid, object);
}

HRESULT CreateLocalServer(REFCLSID clsid, REFIID iid, void** object) {
  return ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, iid, object);
}

}  // namespace

const ActivationSeams& SystemActivation() {
  static const ActivationSeams seams{&ProcessElevated, &BindMoniker, &CreateLocalServer};
  return seams;
}

std::wstring ElevationMonikerName(REFCLSID clsid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(clsid, text, 40);
  return std::wstring(L"Elevation:Administrator!new:") + text;
}

HRESULT CreateServerObject(REFCLSID clsid, REFIID iid, void** object,
                           const ActivationSeams& seams) {
  *object = nullptr;
  if (seams.process_elevated()) return seams.create_local_server(clsid, iid, object);
  return seams.bind_moniker(ElevationMonikerName(clsid).c_str(), iid, object);
}

}  // namespace ci
