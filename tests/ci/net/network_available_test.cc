// The network check of the WinINet client over interface tables made up by the
// test, and a refused send when only loopback is up.
#include "ci/net/network_available_win.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "tests/ci/net/test_clients_win.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

struct Row {
  DWORD type;
  DWORD status;
};

// What the fake GetIfTable answers: these rows, or a fixed result.
std::vector<Row> rows;
DWORD forced_result = NO_ERROR;
DWORD claimed_entries = 0;  // when not 0, the entry count written instead of rows.size()
int calls = 0;

DWORD WINAPI FakeGetIfTable(PMIB_IFTABLE table, PULONG size, BOOL) {
  ++calls;
  if (forced_result != NO_ERROR) {
    if (forced_result == ERROR_INSUFFICIENT_BUFFER) *size += sizeof(MIB_IFROW);
    return forced_result;
  }
  const ULONG needed =
      static_cast<ULONG>(offsetof(MIB_IFTABLE, table) + rows.size() * sizeof(MIB_IFROW));
  if (*size < needed) {
    *size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  table->dwNumEntries = claimed_entries ? claimed_entries : static_cast<DWORD>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::memset(&table->table[i], 0, sizeof(MIB_IFROW));
    table->table[i].dwType = rows[i].type;
    table->table[i].dwOperStatus = rows[i].status;
  }
  return NO_ERROR;
}

constexpr DWORD kLoopback = IF_TYPE_SOFTWARE_LOOPBACK;
constexpr DWORD kEthernet = IF_TYPE_ETHERNET_CSMACD;

TEST(NetworkAvailableTest, DecidesOnTheInterfaceTable) {
  struct Case {
    const char* name;
    std::vector<Row> rows;
    DWORD forced;
    DWORD claimed;
    bool available;
    int calls;
  };
  // The first buffer (864 bytes) holds one row; more rows take a second call.
  const Case cases[] = {
      {"only loopback up", {{kLoopback, IF_OPER_STATUS_OPERATIONAL}}, NO_ERROR, 0, false, 1},
      {"empty table", {}, NO_ERROR, 0, false, 1},
      {"ethernet operational",
       {{kLoopback, 5}, {kEthernet, IF_OPER_STATUS_OPERATIONAL}},
       NO_ERROR,
       0,
       true,
       2},
      {"ethernet connected", {{kEthernet, IF_OPER_STATUS_CONNECTED}}, NO_ERROR, 0, true, 1},
      {"ethernet down",
       {{kEthernet, IF_OPER_STATUS_DISCONNECTED}, {kLoopback, 5}},
       NO_ERROR,
       0,
       false,
       2},
      {"a second call after a shortfall", std::vector<Row>(3, Row{kLoopback, 5}), NO_ERROR, 0,
       false, 2},
      {"a count that does not fit the size", {{kLoopback, 5}}, NO_ERROR, 500, true, 1},
      {"a failure", {}, ERROR_NOT_SUPPORTED, 0, true, 1},
      {"shortfall twice", {}, ERROR_INSUFFICIENT_BUFFER, 0, true, 2},
      {"too many interfaces", std::vector<Row>(200, Row{kLoopback, 5}), NO_ERROR, 0, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rows = c.rows;
    forced_result = c.forced;
    claimed_entries = c.claimed;
    calls = 0;
    EXPECT_EQ(NetworkAvailableWith(&FakeGetIfTable), c.available);
    EXPECT_EQ(calls, c.calls);
  }
  EXPECT_TRUE(NetworkAvailableWith(nullptr));  // no GetIfTable: assume a network
}

bool NoNetwork() { return false; }

TEST(NetworkAvailableTest, WithoutANetworkTheWinInetClientRefusesAtOnce) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.Start("127.0.0.2"));
  auto client = MakeInetHttpClient(RefusingProbe(), &NoNetwork);
  ASSERT_TRUE(client);
  client->retries = 3;
  EXPECT_HR_EQ(client->Send(u"127.0.0.2", server.port(), u"/"), static_cast<HResult>(0x80072EFDu));
  EXPECT_TRUE(server.Requests().empty());
  // WinHTTP has no such check.
  auto winhttp = MakeWinHttpClient(RefusingProbe());
  EXPECT_HR_OK(winhttp->Send(u"127.0.0.2", server.port(), u"/"));
}

}  // namespace
}  // namespace ci::test
