#include "tools/server_client_win.h"

#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"
#include "ci/base/utf8.h"
#include "ci/base/win_handles.h"
#include "ci/prefs/reg_key.h"
#include "tools/server_activation_win.h"

namespace ci {
namespace {

constexpr char16_t kMachineRootPath[] = u"Software\\Velmor\\Velmor Updater";

// Absent when the key is not open or the value cannot be read.
RawValue ReadValue(RegKey& key, const char16_t* name) {
  RawValue value;
  if (key.handle() == nullptr) return value;
  DWORD type = 0;
  if (Failed(key.QueryBinaryValue(name, &value.data, &type))) return RawValue();
  value.present = true;
  value.type = type;
  return value;
}

}  // namespace

HResult CallServer(ServerOperation operation, const std::string& message, bool null_message,
                   bool* activation_failed) {
  *activation_failed = true;
  ComApartment apartment;
  if (!apartment.joined()) return apartment.hr();
  ComPtr<IAdminPrefsManager> manager;
  const HRESULT created = CreateServerObject(CLSID_AdminPrefsManagerCtl, IID_IAdminPrefsManager,
                                             reinterpret_cast<void**>(manager.GetAddressOf()));
  if (FAILED(created)) return created;
  *activation_failed = false;
  UniqueBstr blob;
  if (!null_message) {
    blob = MakeByteBstr(message.data(), static_cast<UINT>(message.size()));
    if (!blob) return kE_OUTOFMEMORY;
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
  return hr;
}

RawValue ReadMachineValue(const char16_t* name) {
  RegKey key;
  key.Open(HKEY_LOCAL_MACHINE, kMachineRootPath, KEY_QUERY_VALUE);  // unopened: absent
  return ReadValue(key, name);
}

MachineValues ReadMachineValues() {
  RegKey key;
  key.Open(HKEY_LOCAL_MACHINE, kMachineRootPath, KEY_QUERY_VALUE);  // unopened: all absent
  MachineValues values;
  values.machine_prefs = ReadValue(key, u"machine_prefs");
  values.proxy_settings = ReadValue(key, u"ProxySettings");
  values.send_anonymous_data = ReadValue(key, u"SendAnonymousData");
  values.userid = ReadValue(key, u"userid");
  values.offline = ReadValue(key, u"offline");
  values.no_eula = ReadValue(key, u"no_eula");
  values.tc_accpt = ReadValue(key, u"tc_accpt");
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
