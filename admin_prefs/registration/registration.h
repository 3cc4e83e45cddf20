// The server's COM registration: the AppID with its access permission, and the
// class with its type library. Each operation returns an HRESULT and leaves what
// it already wrote when a later step fails.
#pragma once

#include "ci/base/hresult.h"

namespace ci {

// Runs the AppID script (resource VU_IDR_APPID_SCRIPT) and writes the AppID's AccessPermission.
HResult RegisterAppId();
// Runs the class script (resource VU_IDR_CLASS_SCRIPT) and registers the type library.
HResult RegisterServer();
// Removes what the class script wrote and unregisters the type library.
HResult UnregisterServer();
// Removes the AccessPermission and what the AppID script wrote; fails when the
// AppID key cannot be opened.
HResult UnregisterAppId();

}  // namespace ci
