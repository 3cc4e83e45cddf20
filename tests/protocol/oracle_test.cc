// Differential tests against libprotobuf's classes generated from the same
// schema files: random messages encoded by libprotobuf (with unknown fields,
// repeated fields and non-canonical varints) decode here to the same values, and
// our encodings parse in libprotobuf to the same values.
//
// Intended divergences from libprotobuf (checked in IntendedDivergences below):
// - A single 0x00 as the very last byte ends the message successfully here: a
//   message in an odd-length BSTR arrives padded with one zero byte.
// - `auto_detect` is required and always written, even when never set; an
//   unset one is written as false.
// - A boolean whose varint lies outside the sign-extended 32-bit range fails
//   the parse here; libprotobuf reads it as true.
// - A tag of field number 0 with a skippable wire type is kept as an unknown
//   field here; libprotobuf rejects it.
// - A tag varint longer than five bytes fails here.
// - Unknown fields keep their value bytes exactly as received (non-canonical
//   varints included) and only their tags are re-encoded in shortest form;
//   libprotobuf re-encodes unknown values canonically.
// A known field number arriving with another wire type is kept as an unknown
// field by both.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.pb.h"
#include "protocol/preferences.h"
#include "protocol/preferences.pb.h"
#include "protocol/proxy_settings.h"
#include "protocol/proxy_settings.pb.h"
#include "tests/protocol/differential.h"

namespace {

namespace oracle = velmor::updater;
using google::protobuf::UnknownFieldSet;

constexpr int kRounds = 1500;

using differential::Encode;
using differential::Parse;
using differential::Random;
using differential::RunDifferential;

// ---- field-by-field comparison ------------------------------------------------

#define EXPECT_SAME_FIELD(ours, theirs, name)                       \
  do {                                                              \
    EXPECT_EQ((ours).has_##name(), (theirs).has_##name()) << #name; \
    EXPECT_EQ((ours).name(), (theirs).name()) << #name;             \
  } while (0)

void ExpectSame(const MachinePreferencesProto& a, const oracle::MachinePreferencesProto& b) {
  EXPECT_SAME_FIELD(a, b, notify_software_updates);
  EXPECT_SAME_FIELD(a, b, send_stats);
  EXPECT_SAME_FIELD(a, b, express_updates_enabled);
  EXPECT_SAME_FIELD(a, b, third_party_updates_enabled);
  EXPECT_SAME_FIELD(a, b, user_changed_third_party_updates_enabled);
}

void ExpectSame(const UserPreferencesProto& a, const oracle::UserPreferencesProto& b) {
  EXPECT_SAME_FIELD(a, b, notify_new_software);
  EXPECT_SAME_FIELD(a, b, display_systray);
  EXPECT_EQ(a.has_window_width(), b.has_window_width());
  EXPECT_EQ(static_cast<uint32_t>(a.window_width()), b.window_width());
  EXPECT_EQ(a.has_window_height(), b.has_window_height());
  EXPECT_EQ(static_cast<uint32_t>(a.window_height()), b.window_height());
}

void ExpectSame(const ProxySettingsProto& a, const oracle::ProxySettingsProto& b) {
  EXPECT_SAME_FIELD(a, b, auto_detect);
  EXPECT_SAME_FIELD(a, b, http_host);
  EXPECT_SAME_FIELD(a, b, ssl_host);
  EXPECT_SAME_FIELD(a, b, proxy_for_all);
  EXPECT_EQ(a.has_http_port(), b.has_http_port());
  EXPECT_EQ(static_cast<uint32_t>(a.http_port()), b.http_port());
  EXPECT_EQ(a.has_ssl_port(), b.has_ssl_port());
  EXPECT_EQ(static_cast<uint32_t>(a.ssl_port()), b.ssl_port());
}

// ---- random content -----------------------------------------------------------

// Field numbers no class of ours knows, including ones with multi-byte tags.
uint32_t UnknownNumber(Random& r) {
  static const uint32_t kNumbers[] = {7, 8, 15, 16, 100, 2047, 2048, 262143, 536870911};
  return kNumbers[r.Below(9)];
}

void AddUnknownFields(Random& r, UnknownFieldSet* set, int depth, uint32_t known_numbers) {
  const int count = static_cast<int>(r.Below(4));
  for (int i = 0; i < count; ++i) {
    // Sometimes a known number with a wire type none of these classes uses.
    if (r.Chance(20)) {
      const uint32_t known = 1 + r.Below(known_numbers);
      if (r.Chance(50) || depth >= 3) {
        set->AddFixed64(known, r.U64());
      } else {
        AddUnknownFields(r, set->AddGroup(known), depth + 1, known_numbers);
      }
      continue;
    }
    const uint32_t number = UnknownNumber(r);
    switch (r.Below(5)) {
      case 0:
        set->AddVarint(number, r.Chance(50) ? r.Below(300) : r.U64());
        break;
      case 1:
        set->AddFixed32(number, r.U32());
        break;
      case 2:
        set->AddFixed64(number, r.U64());
        break;
      case 3:
        set->AddLengthDelimited(number, r.Bytes(40));
        break;
      case 4:
        if (depth < 3) {
          AddUnknownFields(r, set->AddGroup(number), depth + 1, known_numbers);
        } else {
          set->AddVarint(number, 1);
        }
        break;
    }
  }
}

void Randomize(Random& r, oracle::MachinePreferencesProto* m) {
  if (r.Chance(50)) m->set_notify_software_updates(r.Chance(50));
  if (r.Chance(50)) m->set_send_stats(r.Chance(50));
  if (r.Chance(50)) m->set_express_updates_enabled(r.Chance(50));
  if (r.Chance(50)) m->set_third_party_updates_enabled(r.Chance(50));
  if (r.Chance(50)) m->set_user_changed_third_party_updates_enabled(r.Chance(50));
  if (r.Chance(40)) AddUnknownFields(r, m->GetReflection()->MutableUnknownFields(m), 0, 5);
}

void Randomize(Random& r, oracle::UserPreferencesProto* m) {
  if (r.Chance(50)) m->set_notify_new_software(r.Chance(50));
  if (r.Chance(50)) m->set_display_systray(r.Chance(50));
  if (r.Chance(50)) m->set_window_width(r.Port());
  if (r.Chance(50)) m->set_window_height(r.Port());
  if (r.Chance(40)) AddUnknownFields(r, m->GetReflection()->MutableUnknownFields(m), 0, 4);
}

void Randomize(Random& r, oracle::ProxySettingsProto* m) {
  m->set_auto_detect(r.Chance(50));
  if (r.Chance(50)) m->set_http_host(r.Chance(50) ? "proxy.example.com" : r.Bytes(300));
  if (r.Chance(50)) m->set_http_port(r.Port());
  if (r.Chance(50)) m->set_ssl_host(r.Bytes(30));
  if (r.Chance(50)) m->set_ssl_port(r.Port());
  if (r.Chance(50)) m->set_proxy_for_all(r.Chance(50));
  if (r.Chance(40)) AddUnknownFields(r, m->GetReflection()->MutableUnknownFields(m), 0, 6);
}

// ---- the differential runs ------------------------------------------------------

TEST(OracleTest, MachinePreferencesAgreeWithLibprotobuf) {
  RunDifferential<MachinePreferencesProto, oracle::MachinePreferencesProto>(1, kRounds, Randomize,
                                                                            ExpectSame);
}

TEST(OracleTest, UserPreferencesAgreeWithLibprotobuf) {
  RunDifferential<UserPreferencesProto, oracle::UserPreferencesProto>(2, kRounds, Randomize,
                                                                      ExpectSame);
}

TEST(OracleTest, ProxySettingsAgreeWithLibprotobuf) {
  RunDifferential<ProxySettingsProto, oracle::ProxySettingsProto>(3, kRounds, Randomize,
                                                                  ExpectSame);
}

TEST(OracleTest, OurRandomMessagesParseInLibprotobuf) {
  Random r(4);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    ProxySettingsProto ours;
    if (r.Chance(80)) ours.set_auto_detect(r.Chance(50));
    if (r.Chance(50)) ours.set_http_host(r.Bytes(200));
    if (r.Chance(50)) ours.set_http_port(static_cast<int32_t>(r.Port()));
    if (r.Chance(50)) ours.set_ssl_host(r.Bytes(20));
    if (r.Chance(50)) ours.set_ssl_port(static_cast<int32_t>(r.Port()));
    if (r.Chance(50)) ours.set_proxy_for_all(r.Chance(50));
    oracle::ProxySettingsProto theirs;
    ASSERT_TRUE(theirs.ParseFromString(Encode(ours)));
    // auto_detect is written even when unset, so libprotobuf sees it present.
    EXPECT_TRUE(theirs.has_auto_detect());
    EXPECT_EQ(theirs.auto_detect(), ours.auto_detect());
    if (!ours.has_auto_detect()) ours.set_auto_detect(false);
    ExpectSame(ours, theirs);

    UserPreferencesProto user;
    if (r.Chance(50)) user.set_notify_new_software(r.Chance(50));
    if (r.Chance(50)) user.set_display_systray(r.Chance(50));
    if (r.Chance(50)) user.set_window_width(static_cast<int32_t>(r.Port()));
    if (r.Chance(50)) user.set_window_height(static_cast<int32_t>(r.Port()));
    oracle::UserPreferencesProto their_user;
    ASSERT_TRUE(their_user.ParseFromString(Encode(user)));
    ExpectSame(user, their_user);
    // With only known fields the bytes are libprotobuf's own.
    EXPECT_EQ(Encode(user), their_user.SerializeAsString());
  }
}

TEST(OracleTest, IntendedDivergences) {
  MachinePreferencesProto ours;
  oracle::MachinePreferencesProto theirs;
  const std::string final_zero("\x10\x01\x00", 3);
  EXPECT_TRUE(Parse(&ours, final_zero));
  EXPECT_FALSE(theirs.ParseFromString(final_zero));

  const std::string wide_bool("\x10\x80\x80\x80\x80\x10", 6);  // 2^32
  EXPECT_FALSE(Parse(&ours, wide_bool));
  EXPECT_TRUE(theirs.ParseFromString(wide_bool));

  const std::string field_zero("\x01\x01\x02\x03\x04\x05\x06\x07\x08", 9);
  ours.Clear();
  EXPECT_TRUE(Parse(&ours, field_zero));
  EXPECT_EQ(Encode(ours), field_zero);
  EXPECT_FALSE(theirs.ParseFromString(field_zero));

  ProxySettingsProto proxy;
  EXPECT_EQ(Encode(proxy), std::string("\x08\x00", 2));
  oracle::ProxySettingsProto their_proxy;
  EXPECT_EQ(their_proxy.SerializePartialAsString(), "");

  // Non-canonical unknown varints are kept byte for byte.
  const std::string padded_unknown("\x38\x81\x80\x00", 4);
  ours.Clear();
  ASSERT_TRUE(Parse(&ours, padded_unknown));
  EXPECT_EQ(Encode(ours), padded_unknown);
  ASSERT_TRUE(theirs.ParseFromString(padded_unknown));
  EXPECT_EQ(theirs.SerializeAsString(), std::string("\x38\x01", 2));
}

// ---- self-descriptions ----------------------------------------------------------

struct TagExpectation {
  const char* name;
  int number, wire_type, declared_type, label;
  const char* default_value;  // null when absent
};

void ExpectSelfDescription(const uint8_t* bytes, int32_t size, const char* filename,
                           const char* name, std::initializer_list<TagExpectation> tags) {
  const std::string wire(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  oracle::ProtocolDescriptor d;
  ASSERT_TRUE(d.ParseFromString(wire));
  EXPECT_EQ(d.filename(), filename);
  EXPECT_EQ(d.name(), name);
  EXPECT_EQ(d.enumtype_size(), 0);
  ASSERT_EQ(d.tag_size(), static_cast<int>(tags.size()));
  int i = 0;
  for (const TagExpectation& t : tags) {
    const auto& tag = d.tag(i++);
    EXPECT_EQ(tag.name(), t.name);
    EXPECT_EQ(tag.number(), t.number);
    EXPECT_EQ(tag.wire_type(), t.wire_type);
    EXPECT_EQ(tag.declared_type(), t.declared_type);
    EXPECT_EQ(tag.label(), t.label);
    EXPECT_EQ(tag.has_default_value(), t.default_value != nullptr) << t.name;
    if (t.default_value) {
      EXPECT_EQ(tag.default_value(), t.default_value);
    }
    EXPECT_FALSE(tag.has_parent());
    EXPECT_FALSE(tag.has_foreign());
  }
  // Fields in number order, name (1) before the tags (2) and filename (11):
  // libprotobuf's own encoding of the same content is byte-identical.
  EXPECT_EQ(d.SerializeAsString(), wire);
}

TEST(OracleTest, SelfDescriptionsDescribeTheSchemas) {
  ExpectSelfDescription(MachinePreferencesProto::self_description(),
                        MachinePreferencesProto::self_description_size(),
                        "protocol/preferences.proto", "MachinePreferencesProto",
                        {{"notify_software_updates", 1, 0, 8, 1, "false"},
                         {"send_stats", 2, 0, 8, 1, "false"},
                         {"express_updates_enabled", 3, 0, 8, 1, "true"},
                         {"third_party_updates_enabled", 4, 0, 8, 1, "true"},
                         {"user_changed_third_party_updates_enabled", 5, 0, 8, 1, "false"}});
  ExpectSelfDescription(UserPreferencesProto::self_description(),
                        UserPreferencesProto::self_description_size(), "protocol/preferences.proto",
                        "UserPreferencesProto",
                        {{"notify_new_software", 1, 0, 8, 1, "true"},
                         {"display_systray", 2, 0, 8, 1, "false"},
                         {"window_width", 3, 5, 7, 1, "740"},
                         {"window_height", 4, 5, 7, 1, "560"}});
  ExpectSelfDescription(ProxySettingsProto::self_description(),
                        ProxySettingsProto::self_description_size(),
                        "protocol/proxy_settings.proto", "ProxySettingsProto",
                        {{"auto_detect", 1, 0, 8, 2, nullptr},
                         {"http_host", 2, 2, 9, 1, nullptr},
                         {"http_port", 3, 5, 7, 1, "80"},
                         {"ssl_host", 4, 2, 9, 1, nullptr},
                         {"ssl_port", 5, 5, 7, 1, "443"},
                         {"proxy_for_all", 6, 0, 8, 1, "true"}});
}

}  // namespace
