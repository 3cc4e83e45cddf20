#include <windows.h>
#include <wininet.h>

#include "bench/http/direct_exchanges.h"

namespace bench {

long DirectWinInetGet(const wchar_t* host, std::uint16_t port, const wchar_t* path) {
  long total = -1;
  HINTERNET session = InternetOpenW(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection =
      session ? InternetConnectW(session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
              : nullptr;
  HINTERNET request = connection ? HttpOpenRequestW(connection, L"GET", path, nullptr, nullptr,
                                                    nullptr, 0x84080300, 0)
                                 : nullptr;
  DWORD status = 0, size = sizeof(status);
  if (request && HttpSendRequestW(request, nullptr, 0, nullptr, 0) &&
      HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                     nullptr)) {
    total = 0;
    char chunk[1024];
    DWORD read = 0;
    while (InternetReadFile(request, chunk, sizeof(chunk), &read) && read > 0) total += read;
  }
  if (request) InternetCloseHandle(request);
  if (connection) InternetCloseHandle(connection);
  if (session) InternetCloseHandle(session);
  return total;
}

}  // namespace bench
