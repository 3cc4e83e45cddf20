#include "tools/server_client_win.h"

#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"
#include "ci/base/utf8.h"
#include "ci/base/win_handles.h"
#include "tools/server_activation_win.h"

namespace ci {
namespace {

constexpr const wchar_t* kMachineRootPath = L"Software\\Velmor\\Velmor Updater";

class ComScope {
 public:
  ComScope() : hr_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

RawValue ReadValue(HKEY key, const wchar_t* name) {
  RawValue value;
  DWORD type = 0;
  DWORD size = 0;
  if (key == nullptr || RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return value;
  }
  value.data.resize(size);
  if (RegQueryValueExW(key, name, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) {
    return RawValue();
  }
  value.data.resize(size);
  value.present = true;
  value.type = type;
  return value;
}

}  // namespace

HResult CallServer(ServerOperation operation, const std::string& message, bool null_message,
                   bool* activation_failed) {
  *activation_failed = true;
  ComScope com;
  if (FAILED(com.result())) return com.result();
  IAdminPrefsManager* manager = nullptr;
  const HRESULT created =
      CreateServerObject(CLSID_AdminPrefsManagerCtl, IID_IAdminPrefsManager,
                         reinterpret_cast<void**>(&manager));
  if (FAILED(created)) return created;
  *activation_failed = false;
  UniqueBstr blob;
  if (!null_message) {
    blob = MakeByteBstr(message.data(), static_cast<UINT>(message.size()));
    if (!blob) {
      manager->Release();
      return kE_OUTOFMEMORY;
    }
  }
  HRESULT hr = kE_UNEXPECTED;
  switch (operation) {
    case ServerOperation::kSaveAdminPreferences:
      hr = manager->SaveAdminPreferences(blob.get());
      break;
    case ServerOperation::kSaveProxySettings:
      hr = manager->SaveProxySettings(blob.get());
      break;
    case ServerOperation::kSaveAcceptingEula:
      hr = manager->SaveAcceptingEulaSettings(blob.get());
      break;
  }
  manager->Release();
  return hr;
}

MachineValues ReadMachineValues() {
  HKEY raw_key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineRootPath, 0, KEY_QUERY_VALUE, &raw_key) !=
      ERROR_SUCCESS) {
    raw_key = nullptr;
  }
  const HKEY key = raw_key;
  MachineValues values;
  values.machine_prefs = ReadValue(key, L"machine_prefs");
  values.proxy_settings = ReadValue(key, L"ProxySettings");
  values.send_anonymous_data = ReadValue(key, L"SendAnonymousData");
  values.userid = ReadValue(key, L"userid");
  values.offline = ReadValue(key, L"offline");
  values.no_eula = ReadValue(key, L"no_eula");
  values.tc_accpt = ReadValue(key, L"tc_accpt");
  if (key != nullptr) RegCloseKey(key);
  return values;
}

std::string SystemMessage(HResult hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  UniqueLocalMemory owner(buffer);
  if (length == 0 || buffer == nullptr) return std::string();
  WString text = FromWin(buffer, length);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                           text.back() == u'.')) {
    text.pop_back();
  }
  return WideToUtf8(text);
}

}  // namespace ci
