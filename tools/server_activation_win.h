// How adminprefs reaches the server: from a process that is not elevated through
// the elevation moniker (the user is asked for consent, and the server starts
// with administrator rights), directly when the process already is elevated.
#pragma once

#include <windows.h>

#include <string>

namespace ci {

struct ActivationSeams {
  bool (*process_elevated)();
  // CoGetObject of a moniker display name, asking for `iid`.
  HRESULT (*bind_moniker)(const wchar_t* display_name, REFIID iid, void** object);
  // CoCreateInstance of a local server.
  HRESULT (*create_local_server)(REFCLSID clsid, REFIID iid, void** object);
};

// The real calls: the token's elevation, CoGetObject, CoCreateInstance.
const ActivationSeams& SystemActivation();

// "Elevation:Administrator!new:{CLSID}".
std::wstring ElevationMonikerName(REFCLSID clsid);

// Creates the server object the way the process's rights call for. A refused
// consent gives HRESULT_FROM_WIN32(ERROR_CANCELLED).
HRESULT CreateServerObject(REFCLSID clsid, REFIID iid, void** object,
                           const ActivationSeams& seams = SystemActivation());

}  // namespace ci
