#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <thread>

#include "ci/net/proxy_state.h"

namespace ci {
namespace {

void ExpectFoundReset(const ProxyState& state) {
  EXPECT_EQ(state.found_type, 0);
  EXPECT_TRUE(state.found_auto_config_url.empty());
  EXPECT_TRUE(state.found_http_proxy.empty());
  EXPECT_EQ(state.found_http_port, 80);
  EXPECT_TRUE(state.found_ssl_proxy.empty());
  EXPECT_EQ(state.found_ssl_port, 443);
  EXPECT_EQ(state.found_reserved[0], 0);
  EXPECT_EQ(state.found_reserved[1], 0);
}

TEST(ProxyState, StartsWithTheDocumentedValues) {
  const ProxyState state;
  EXPECT_FALSE(state.detected);
  EXPECT_FALSE(state.direct_ok);
  EXPECT_TRUE(state.allow_detection);
  EXPECT_TRUE(state.http_proxy.empty());
  EXPECT_EQ(state.http_port, 80);
  EXPECT_TRUE(state.ssl_proxy.empty());
  EXPECT_EQ(state.ssl_port, 443);
  EXPECT_TRUE(state.flag_a);
  EXPECT_FALSE(state.flag_b);
  EXPECT_TRUE(state.user.empty());
  EXPECT_TRUE(state.password.empty());
  EXPECT_EQ(state.found_extra, 0);
  EXPECT_TRUE(state.found_extra_text.empty());
  ExpectFoundReset(state);
}

void FillFound(ProxyState* state) {
  state->found_type = 4;
  state->found_auto_config_url = u"http://127.0.0.1/wpad.dat";
  state->found_http_proxy = u"proxy";
  state->found_http_port = 3128;
  state->found_ssl_proxy = u"ssl-proxy";
  state->found_ssl_port = 8443;
  state->found_reserved[0] = 7;
  state->found_reserved[1] = 9;
  state->found_extra = 5;
  state->found_extra_text = u"extra";
}

TEST(ProxyState, ResetFoundForgetsWhatAReaderFoundOnly) {
  ProxyState state;
  FillFound(&state);
  state.http_proxy = u"configured";
  state.ResetFound();
  ExpectFoundReset(state);
  EXPECT_EQ(state.http_proxy, u"configured");
  EXPECT_EQ(state.found_extra, 5);  // not one of the found values it resets
}

TEST(ProxyState, MarkDirectWorksRecordsTheDirectRoute) {
  ProxyState state;
  state.detected = true;
  FillFound(&state);
  state.MarkDirectWorks();
  EXPECT_TRUE(state.direct_ok);
  EXPECT_FALSE(state.detected);
  ExpectFoundReset(state);
}

TEST(ProxyState, MarkDirectWorksWaitsForTheLock) {
  ProxyState state;
  std::atomic<bool> marked{false};
  state.lock.Lock();
  std::thread other([&] {
    state.MarkDirectWorks();
    marked = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(marked.load());
  state.lock.Unlock();
  other.join();
  EXPECT_TRUE(marked.load());
  EXPECT_TRUE(state.direct_ok);
}

TEST(ProxyState, DestructionLeavesNoPasswordCharacters) {
  // A short password lives inside the object, so its storage can be read back
  // after the destructor ran.
  alignas(ProxyState) unsigned char storage[sizeof(ProxyState)];
  ProxyState* state = new (storage) ProxyState;
  state->password = WString(u"s3cr");
  const unsigned char* begin = storage;
  const unsigned char* end = storage + sizeof(storage);
  const char16_t secret[] = u"s3cr";
  const auto* secret_bytes = reinterpret_cast<const unsigned char*>(secret);
  ASSERT_NE(std::search(begin, end, secret_bytes, secret_bytes + 8), end);
  state->~ProxyState();
  EXPECT_EQ(std::search(begin, end, secret_bytes, secret_bytes + 8), end);
}

TEST(ProxyState, OneProcessWideInstance) {
  EXPECT_EQ(&GlobalProxyState(), &GlobalProxyState());
  EXPECT_EQ(GlobalProxyState().http_port, 80);
}

}  // namespace
}  // namespace ci
