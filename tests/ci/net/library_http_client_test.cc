// The password cracked out of a URL, followed through the program's heap: no
// block that goes back to it still holds the password, after a successful crack
// (through both clients) and after a crack that fails once the password is out.
#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "ci/base/secret_wstring.h"
#include "ci/net/library_http_client_win.h"
#include "tests/ci/net/test_clients_win.h"
#include "tests/support/allocation_seams.h"
#include "tests/support/hresult_checks.h"

namespace ci::test {
namespace {

const std::u16string kPassword = u"Pw-4f9c1e-only-here";

SecretWString UrlWithPassword() {
  SecretWString url;
  url = u"http://user:" + kPassword + u"@127.0.0.2:8080/path?q=1";
  return url;
}

TEST(UrlCrackTest, TheCrackedPasswordIsWipedBeforeItsMemoryGoesBack) {
  const SecretWString url = UrlWithPassword();
  for (ClientKind kind : {ClientKind::kWinHttp, ClientKind::kWinInet}) {
    SCOPED_TRACE(KindName(kind));
    auto client = MakeClient(kind);
    ASSERT_TRUE(client);
    bool cracked = false, password_read = false;
    std::size_t unwiped = 0;
    {
      ReleasedMemoryWatch watch(kPassword);
      {
        UrlComponents parts;
        cracked = Succeeded(client->CrackUrl(url.value(), false, &parts));
        password_read = parts.password.value() == kPassword;
      }
      unwiped = watch.blocks_holding_marker();
    }
    EXPECT_TRUE(cracked);
    EXPECT_TRUE(password_read);
    EXPECT_EQ(unwiped, 0u);
  }
}

TEST(UrlCrackTest, ACrackThatFailsAfterThePasswordCameOutWipesItToo) {
  const SecretWString url = UrlWithPassword();
  HResult result = kS_OK;
  std::size_t unwiped = 0;
  {
    ReleasedMemoryWatch watch(kPassword);
    UrlComponents parts;
    result = CrackUrlInto<URL_COMPONENTS>(
        url.size(),
        [](URL_COMPONENTS* parts) {
          // The library has written the password when it gives up.
          for (std::size_t i = 0; i < kPassword.size(); ++i) {
            parts->lpszPassword[i] = static_cast<wchar_t>(kPassword[i]);
          }
          parts->dwPasswordLength = static_cast<DWORD>(kPassword.size());
          ::SetLastError(ERROR_WINHTTP_INVALID_URL);
          return FALSE;
        },
        &parts);
    unwiped = watch.blocks_holding_marker();
  }
  EXPECT_HR_EQ(result, HResultFromWin32(ERROR_WINHTTP_INVALID_URL));
  EXPECT_EQ(unwiped, 0u);
}

TEST(UrlCrackTest, TheWatchSeesAPasswordReleasedUnwiped) {
  // The seam itself: an ordinary string holding the password is counted.
  std::size_t unwiped = 0;
  {
    ReleasedMemoryWatch watch(kPassword);
    { const std::u16string copy = u"prefix, long enough for the heap: " + kPassword; }
    unwiped = watch.blocks_holding_marker();
  }
  EXPECT_GE(unwiped, 1u);
}

}  // namespace
}  // namespace ci::test
