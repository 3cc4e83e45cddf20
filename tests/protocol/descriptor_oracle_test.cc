// Differential tests of the descriptor messages and of fields numbered 16 and
// above against libprotobuf's classes generated (groups included) from the same
// schema files: random messages with unknown fields inside group entries and
// non-canonical varints decode here to the same values, our encodings parse in
// libprotobuf to the same values, and truncations are refused by both alike.
//
// Intended divergences (besides those of the preference messages): unknown
// values inside entries keep their bytes as received, where libprotobuf writes
// them canonically; required fields are always written, so an entry with an
// unset required field still encodes it (libprotobuf refuses to serialise it).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"
#include "net/proto/protocoltype.pb.h"
#include "tests/protocol/differential.h"
#include "tests/protocol/wide_numbers.h"
#include "tests/protocol/wide_numbers.pb.h"

namespace {

namespace oracle = velmor::updater;
using google::protobuf::UnknownFieldSet;

constexpr int kRounds = 600;

using differential::Encode;
using differential::Parse;
using differential::Random;
using differential::RunDifferential;

// Numbers no descriptor record knows, and known numbers with wire type 5, which
// none of their fields uses.
void AddUnknown(Random& r, const google::protobuf::Message& owner, google::protobuf::Message* m) {
  if (!r.Chance(25)) return;
  UnknownFieldSet* set = owner.GetReflection()->MutableUnknownFields(m);
  static const uint32_t kUnknown[] = {20, 99, 100, 2047, 2048};
  for (uint32_t i = r.Below(3) + 1; i > 0; --i) {
    const uint32_t number = kUnknown[r.Below(5)];
    switch (r.Below(4)) {
      case 0:
        set->AddVarint(number, r.U64());
        break;
      case 1:
        set->AddLengthDelimited(number, r.Bytes(10));
        break;
      case 2:
        set->AddGroup(number)->AddFixed64(number + 1, r.U64());
        break;
      case 3:
        set->AddFixed32(1 + r.Below(19), static_cast<uint32_t>(r.U64()));
        break;
    }
  }
}

void Randomize(Random& r, oracle::ProtocolDescriptor* d) {
  d->set_filename(r.Bytes(20));
  d->set_name(r.Bytes(20));
  for (uint32_t i = r.Below(25); i > 0; --i) {
    oracle::ProtocolDescriptor::Tag* t = d->add_tag();
    t->set_name(r.Bytes(12));
    t->set_number(r.Int32());
    t->set_wire_type(r.Int32());
    t->set_declared_type(r.Int32());
    t->set_label(r.Int32());
    if (r.Chance(40)) t->set_default_value(r.Bytes(5));
    if (r.Chance(20)) t->set_foreign(r.Bytes(5));
    if (r.Chance(20)) t->set_flags(r.Int32());
    if (r.Chance(40)) t->set_parent(r.Int32());
    if (r.Chance(20)) t->set_enum_id(r.Int32());
    AddUnknown(r, *t, t);
  }
  for (uint32_t i = r.Below(4); i > 0; --i) {
    oracle::ProtocolDescriptor::EnumType* e = d->add_enumtype();
    e->set_name(r.Bytes(8));
    if (r.Chance(50)) e->set_parent(r.Int32());
    for (uint32_t j = r.Below(12); j > 0; --j) {
      oracle::ProtocolDescriptor::EnumType::Tag* v = e->add_tag();
      v->set_name(r.Bytes(8));
      v->set_value(r.Int32());
      AddUnknown(r, *v, v);
    }
    AddUnknown(r, *e, e);
  }
  AddUnknown(r, *d, d);
}

void Randomize(Random& r, oracle::RPC_ServiceDescriptor* s) {
  s->set_filename(r.Bytes(20));
  s->set_name(r.Bytes(20));
  if (r.Chance(50)) s->set_failure_detection_delay(r.Double());
  for (uint32_t i = r.Below(8); i > 0; --i) {
    oracle::RPC_ServiceDescriptor::Method* m = s->add_method();
    m->set_name(r.Bytes(8));
    m->set_argument_type(r.Bytes(8));
    m->set_result_type(r.Bytes(8));
    if (r.Chance(40)) m->set_stream_type(r.Bytes(4));
    if (r.Chance(40)) m->set_protocol(r.Bytes(4));
    if (r.Chance(40)) m->set_deadline(r.Double());
    if (r.Chance(40)) m->set_duplicate_suppression(r.Chance(50));
    if (r.Chance(40)) m->set_fail_fast(r.Chance(50));
    if (r.Chance(40)) m->set_client_logging(r.Int32());
    if (r.Chance(40)) m->set_server_logging(r.Int32());
    if (r.Chance(40)) m->set_security_level(r.Bytes(4));
    AddUnknown(r, *m, m);
  }
  AddUnknown(r, *s, s);
}

void Randomize(Random& r, oracle::test::WideNumbers* w) {
  if (r.Chance(50)) w->set_flag(r.Chance(50));
  if (r.Chance(50)) w->set_fixed(static_cast<uint32_t>(r.Int32()));
  if (r.Chance(50)) w->set_small(r.Int32());
  if (r.Chance(50)) w->set_large(static_cast<int64_t>(r.U64()));
  if (r.Chance(50)) w->set_real(r.Double());
  if (r.Chance(50)) w->set_text(r.Bytes(20));
  w->set_required_flag(r.Chance(50));
  w->set_required_fixed(static_cast<uint32_t>(r.Int32()));
  w->set_required_real(r.Double());
  if (r.Chance(50)) w->set_far_flag(r.Chance(50));
  if (r.Chance(50)) w->set_far_real(r.Double());
  for (uint32_t i = r.Below(6); i > 0; --i) {
    oracle::test::WideNumbers::Entry* e = w->add_entry();
    if (r.Chance(50)) e->set_flag(r.Chance(50));
    if (r.Chance(50)) e->set_fixed(static_cast<uint32_t>(r.Int32()));
    if (r.Chance(50)) e->set_real(r.Double());
    if (r.Chance(50)) e->set_small(r.Int32());
    if (r.Chance(50)) e->set_text(r.Bytes(6));
    e->set_required_flag(r.Chance(50));
    e->set_required_fixed(static_cast<uint32_t>(r.Int32()));
  }
}

// ---- field-by-field comparison ----------------------------------------------------

#define EXPECT_SAME(ours, theirs, ours_name, theirs_name)                            \
  do {                                                                               \
    EXPECT_EQ((ours).has_##ours_name(), (theirs).has_##theirs_name()) << #ours_name; \
    EXPECT_EQ((ours).ours_name(), (theirs).theirs_name()) << #ours_name;             \
  } while (0)
#define EXPECT_SAME_FIELD(ours, theirs, name) EXPECT_SAME(ours, theirs, name, name)

void ExpectSame(const ProtocolDescriptor& a, const oracle::ProtocolDescriptor& b) {
  EXPECT_SAME_FIELD(a, b, filename);
  EXPECT_SAME_FIELD(a, b, name);
  ASSERT_EQ(a.tag_size(), b.tag_size());
  for (int32_t i = 0; i < a.tag_size(); ++i) {
    const auto& x = a.tag(i);
    const auto& y = b.tag(i);
    EXPECT_SAME_FIELD(x, y, name);
    EXPECT_SAME_FIELD(x, y, number);
    EXPECT_SAME_FIELD(x, y, wire_type);
    EXPECT_SAME_FIELD(x, y, declared_type);
    EXPECT_SAME_FIELD(x, y, label);
    EXPECT_SAME_FIELD(x, y, default_value);
    EXPECT_SAME_FIELD(x, y, foreign);
    EXPECT_SAME_FIELD(x, y, flags);
    EXPECT_SAME_FIELD(x, y, parent);
    EXPECT_SAME_FIELD(x, y, enum_id);
  }
  ASSERT_EQ(a.enum_type_size(), b.enumtype_size());
  for (int32_t i = 0; i < a.enum_type_size(); ++i) {
    const auto& x = a.enum_type(i);
    const auto& y = b.enumtype(i);
    EXPECT_SAME_FIELD(x, y, name);
    EXPECT_SAME_FIELD(x, y, parent);
    ASSERT_EQ(x.tag_size(), y.tag_size());
    for (int32_t j = 0; j < x.tag_size(); ++j) {
      EXPECT_SAME_FIELD(x.tag(j), y.tag(j), name);
      EXPECT_SAME_FIELD(x.tag(j), y.tag(j), value);
    }
  }
}

void ExpectSame(const RPC_ServiceDescriptor& a, const oracle::RPC_ServiceDescriptor& b) {
  EXPECT_SAME_FIELD(a, b, filename);
  EXPECT_SAME_FIELD(a, b, name);
  EXPECT_SAME_FIELD(a, b, failure_detection_delay);
  ASSERT_EQ(a.method_size(), b.method_size());
  for (int32_t i = 0; i < a.method_size(); ++i) {
    const auto& x = a.method(i);
    const auto& y = b.method(i);
    EXPECT_SAME_FIELD(x, y, name);
    EXPECT_SAME_FIELD(x, y, argument_type);
    EXPECT_SAME_FIELD(x, y, result_type);
    EXPECT_SAME_FIELD(x, y, stream_type);
    EXPECT_SAME_FIELD(x, y, protocol);
    EXPECT_SAME_FIELD(x, y, deadline);
    EXPECT_SAME_FIELD(x, y, duplicate_suppression);
    EXPECT_SAME_FIELD(x, y, fail_fast);
    EXPECT_SAME_FIELD(x, y, client_logging);
    EXPECT_SAME_FIELD(x, y, server_logging);
    EXPECT_SAME_FIELD(x, y, security_level);
  }
}

void ExpectSame(const WideNumbers& a, const oracle::test::WideNumbers& b) {
  EXPECT_SAME_FIELD(a, b, flag);
  EXPECT_EQ(static_cast<uint32_t>(a.fixed()), b.fixed());
  EXPECT_SAME_FIELD(a, b, small);
  EXPECT_SAME_FIELD(a, b, large);
  EXPECT_SAME_FIELD(a, b, real);
  EXPECT_SAME_FIELD(a, b, text);
  EXPECT_SAME_FIELD(a, b, required_flag);
  EXPECT_EQ(static_cast<uint32_t>(a.required_fixed()), b.required_fixed());
  EXPECT_SAME_FIELD(a, b, required_real);
  EXPECT_SAME_FIELD(a, b, far_flag);
  EXPECT_SAME_FIELD(a, b, far_real);
  ASSERT_EQ(a.entry_size(), b.entry_size());
  for (int32_t i = 0; i < a.entry_size(); ++i) {
    EXPECT_SAME_FIELD(a.entry(i), b.entry(i), flag);
    EXPECT_EQ(static_cast<uint32_t>(a.entry(i).fixed()), b.entry(i).fixed());
    EXPECT_SAME_FIELD(a.entry(i), b.entry(i), real);
    EXPECT_SAME_FIELD(a.entry(i), b.entry(i), small);
    EXPECT_SAME_FIELD(a.entry(i), b.entry(i), text);
    EXPECT_SAME_FIELD(a.entry(i), b.entry(i), required_flag);
    EXPECT_EQ(static_cast<uint32_t>(a.entry(i).required_fixed()), b.entry(i).required_fixed());
  }
}

TEST(DescriptorOracleTest, ProtocolDescriptorAgreesWithLibprotobuf) {
  RunDifferential<ProtocolDescriptor, oracle::ProtocolDescriptor>(11, kRounds, Randomize,
                                                                  ExpectSame);
}

TEST(DescriptorOracleTest, ServiceDescriptorAgreesWithLibprotobuf) {
  RunDifferential<RPC_ServiceDescriptor, oracle::RPC_ServiceDescriptor>(12, kRounds, Randomize,
                                                                        ExpectSame);
}

TEST(DescriptorOracleTest, WideFieldNumbersAgreeWithLibprotobuf) {
  RunDifferential<WideNumbers, oracle::test::WideNumbers>(13, kRounds, Randomize, ExpectSame);
}

TEST(DescriptorOracleTest, OurKnownFieldsEncodeAsLibprotobufDoes) {
  // With only known fields and canonical values, the bytes are identical.
  for (const ProtocolMessage* m :
       {static_cast<const ProtocolMessage*>(&ProtocolDescriptor::default_instance()),
        static_cast<const ProtocolMessage*>(&RPC_ServiceDescriptor::default_instance())}) {
    const MessageType& type = m->GetType();
    const std::string self(reinterpret_cast<const char*>(type.self_description()),
                           static_cast<size_t>(type.self_description_size()));
    oracle::ProtocolDescriptor theirs;
    ASSERT_TRUE(theirs.ParseFromString(self));
    EXPECT_EQ(theirs.SerializeAsString(), self);
    ProtocolDescriptor ours;
    ASSERT_TRUE(Parse(&ours, self));
    ExpectSame(ours, theirs);
  }
}

TEST(DescriptorOracleTest, IntendedDivergences) {
  // An entry with an unset required field: we write the field anyway.
  RPC_ServiceDescriptor ours;
  ours.add_method()->set_name("m");
  const std::string encoded = Encode(ours);
  oracle::RPC_ServiceDescriptor theirs;
  ASSERT_TRUE(theirs.ParseFromString(encoded));
  EXPECT_TRUE(theirs.method(0).has_result_type());
  oracle::RPC_ServiceDescriptor unset;
  unset.add_method()->set_name("m");
  EXPECT_FALSE(unset.IsInitialized());

  // A padded unknown varint inside an entry is kept byte for byte here.
  const std::string padded("\x0A\x00\x12\x00\x1B\x22\x00\x2A\x00\x32\x00\xA0\x01\x81\x00\x1C", 16);
  ours.Clear();
  ASSERT_TRUE(Parse(&ours, padded));
  EXPECT_EQ(Encode(ours), padded);
  ASSERT_TRUE(theirs.ParseFromString(padded));
  EXPECT_EQ(theirs.SerializeAsString(),
            std::string("\x0A\x00\x12\x00\x1B\x22\x00\x2A\x00\x32\x00\xA0\x01\x01\x1C", 15));
}

}  // namespace
