// Decoding a message without strings allocates nothing, a cleared message with
// strings and group entries decodes the same bytes again without allocating, and
// AppendEncoded allocates at most once (sizing first, then writing in place).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"

// The replacements pair malloc with free; GCC cannot see that new is replaced.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// Counts every allocation made through the global operator new of this program.
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

long AllocationsDuring(const std::function<void()>& work) {
  const long before = g_allocations.load();
  work();
  return g_allocations.load() - before;
}

TEST(AllocationTest, DecodingWithoutStringsAllocatesNothing) {
  const uint8_t machine_bytes[] = {0x08, 0x01, 0x10, 0x01, 0x18, 0x00, 0x20, 0x01, 0x28, 0x01};
  const uint8_t user_bytes[] = {0x08, 0x00, 0x10, 0x01, 0x1D, 0x00, 0x04,
                                0x00, 0x00, 0x25, 0x00, 0x03, 0x00, 0x00};
  const uint8_t proxy_bytes[] = {0x08, 0x01, 0x1D, 0x90, 0x1F, 0x00, 0x00,
                                 0x2D, 0xBB, 0x01, 0x00, 0x00, 0x30, 0x01};
  MachinePreferencesProto machine;
  UserPreferencesProto user;
  ProxySettingsProto proxy;
  bool ok = false;
  EXPECT_EQ(AllocationsDuring([&] {
              ok = ParseFromBytes(&machine, machine_bytes, sizeof machine_bytes) &&
                   ParseFromBytes(&user, user_bytes, sizeof user_bytes) &&
                   ParseFromBytes(&proxy, proxy_bytes, sizeof proxy_bytes);
            }),
            0);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(machine.has_user_changed_third_party_updates_enabled());
  EXPECT_EQ(user.window_width(), 1024);
  EXPECT_EQ(proxy.ssl_port(), 443);
}

TEST(AllocationTest, ReusedStringObjectsAreNotAllocatedAgain) {
  const uint8_t bytes[] = {0x08, 0x01, 0x12, 0x05, 'p',  'r',  'o',
                           'x',  'y',  0x1D, 0x50, 0x00, 0x00, 0x00};
  ProxySettingsProto proxy;
  ASSERT_TRUE(ParseFromBytes(&proxy, bytes, sizeof bytes));
  proxy.Clear();
  EXPECT_EQ(AllocationsDuring([&] { EXPECT_TRUE(ParseFromBytes(&proxy, bytes, sizeof bytes)); }),
            0);
  EXPECT_EQ(proxy.http_host(), "proxy");
}

TEST(AllocationTest, ClearedDescriptorDecodesAgainWithoutAllocating) {
  // The largest message of the system: 19 Tag entries and 3 enums with their values.
  const uint8_t* bytes = ProtocolDescriptor::self_description();
  const int32_t size = ProtocolDescriptor::self_description_size();
  ProtocolDescriptor d;
  ASSERT_TRUE(ParseFromBytes(&d, bytes, size));
  for (int round = 0; round < 2; ++round) {
    d.Clear();
    EXPECT_EQ(AllocationsDuring([&] { EXPECT_TRUE(ParseFromBytes(&d, bytes, size)); }), 0);
  }
  EXPECT_EQ(d.tag_size(), 19);
  EXPECT_EQ(d.enum_type(2).tag_size(), 11);
}

TEST(AllocationTest, AppendEncodedSizesOnceAndWritesInPlace) {
  ProxySettingsProto proxy;
  proxy.set_auto_detect(true);
  proxy.set_http_host(std::string(3000, 'h'));  // beyond any small-string buffer
  proxy.set_ssl_host(std::string(3000, 's'));
  std::string out;
  EXPECT_EQ(AllocationsDuring([&] { AppendEncoded(proxy, &out); }), 1);
  EXPECT_EQ(static_cast<int32_t>(out.size()), proxy.EncodedSize());

  std::string reserved;
  reserved.reserve(static_cast<size_t>(proxy.EncodedSize()));
  EXPECT_EQ(AllocationsDuring([&] { AppendEncoded(proxy, &reserved); }), 0);
  EXPECT_EQ(reserved, out);
}

}  // namespace
