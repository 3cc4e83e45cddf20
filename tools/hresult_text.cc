#include "tools/hresult_text.h"

#include <cstdint>

namespace ci {

std::string DescribeServerResult(HResult hr) {
  static constexpr HResultText kKnown[] = {
      {0x00000000u, "success"},
      {0x80070057u, "the server could not decode the message (E_INVALIDARG); nothing was written"},
      {0x8042003Du, "the server refused the request: it does not run as an administrator"},
      {0x80040154u,
       "the server is not registered (REGDB_E_CLASSNOTREG); register it with "
       "VelmorUpdaterAdminPrefs.exe /RegServer as an administrator"},
      {0x80080005u, "the server could not be started (CO_E_SERVER_EXEC_FAILURE)"},
      {0x800702E4u, "the server needs elevation; run this client as an administrator"},
      {0x800704C7u, "the administrator's consent was refused; nothing was changed"},
      {0x80070005u, "access denied (E_ACCESSDENIED)"},
      {0x80004002u,
       "the server does not offer IAdminPrefsManager (E_NOINTERFACE); is its type library "
       "registered?"},
      {0x80004001u, "the server does not implement this operation (E_NOTIMPL)"},
      {0x800706BAu, "the server is unavailable (RPC_S_SERVER_UNAVAILABLE)"},
      {0x800706BEu, "the call failed inside the server (RPC_S_CALL_FAILED)"},
      {0x80070002u, "a registry key or file the server needs was not found"},
      {0x80004005u, "the server reported an unspecified failure (E_FAIL)"},
      {0x8007000Eu, "out of memory (E_OUTOFMEMORY)"},
  };
  return FindHResultText(kKnown, hr);
}

}  // namespace ci
