// The descriptor messages: field order on the wire, group entries with their
// own unknown fields, the rules that end a group, required fields inside groups,
// and the reuse of group records after Clear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "net/proto/protocoltype.h"
#include "tests/protocol/wire_checks.h"

namespace {

using ci::test::Concat;
using wire_checks::Bytes;
using wire_checks::Encode;
using wire_checks::Parse;

// A complete Tag entry (start and end tags included) for field `number`.
Bytes TagEntry(char name, uint8_t number) {
  return {0x13, 0x1A, 0x01, static_cast<uint8_t>(name), 0x20, number, 0x28, 0x00, 0x30, 0x08,
          0x38, 0x01, 0x14};
}

const Bytes kHead = {0x0A, 0x01, 'B', 0x5A, 0x01, 'a'};  // name "B", filename "a"

TEST(DescriptorMessagesTest, NameIsWrittenBeforeFilename) {
  ProtocolDescriptor d;
  d.set_filename("a");
  d.set_name("B");
  EXPECT_EQ(Encode(d), kHead);
  ProtocolDescriptor back;
  ASSERT_TRUE(Parse(&back, kHead));
  EXPECT_EQ(back.filename(), "a");
  EXPECT_EQ(back.name(), "B");
}

TEST(DescriptorMessagesTest, RequiredFieldsAreAlwaysWritten) {
  EXPECT_EQ(Encode(ProtocolDescriptor()), (Bytes{0x0A, 0x00, 0x5A, 0x00}));
  EXPECT_EQ(Encode(RPC_ServiceDescriptor()), (Bytes{0x0A, 0x00, 0x12, 0x00}));
  RPC_ServiceDescriptor service;
  service.add_method();
  EXPECT_EQ(Encode(service),
            (Bytes{0x0A, 0x00, 0x12, 0x00, 0x1B, 0x22, 0x00, 0x2A, 0x00, 0x32, 0x00, 0x1C}));
}

TEST(DescriptorMessagesTest, MissingRequiredFieldsAreNamedWithTheirGroups) {
  const struct {
    Bytes bytes;
    const char* missing;
  } cases[] = {
      {{0x0A, 0x01, 'B'}, "missing field: filename"},
      {{0x5A, 0x01, 'a'}, "missing field: name"},
      // A Tag entry without its label.
      {Concat({kHead, {0x13, 0x1A, 0x01, 'x', 0x20, 0x01, 0x28, 0x00, 0x30, 0x08, 0x14}}),
       "missing field: Tag.label"},
      {Concat({kHead, {0x13, 0x14}}), "missing field: Tag.name"},
      {Concat({kHead, {0x73, 0x74}}), "missing field: EnumType.name"},
      {Concat(
           {kHead, {0x73, 0x7A, 0x01, 'E', 0x8B, 0x01, 0x92, 0x01, 0x01, 'V', 0x8C, 0x01, 0x74}}),
       "missing field: EnumType.Tag.value"},
      {Concat({kHead, {0x73, 0x7A, 0x01, 'E', 0x8B, 0x01, 0x98, 0x01, 0x01, 0x8C, 0x01, 0x74}}),
       "missing field: EnumType.Tag.name"},
  };
  for (const auto& c : cases) {
    ProtocolDescriptor d;
    EXPECT_FALSE(Parse(&d, c.bytes)) << c.missing;
    ASSERT_NE(d.FindMissingField(), nullptr) << c.missing;
    EXPECT_STREQ(d.FindMissingField(), c.missing);
  }

  const Bytes service_head = {0x0A, 0x01, 'f', 0x12, 0x01, 'S'};
  RPC_ServiceDescriptor service;
  EXPECT_FALSE(Parse(&service, Concat({service_head, {0x1B, 0x22, 0x01, 'm', 0x2A, 0x00, 0x1C}})));
  EXPECT_STREQ(service.FindMissingField(), "missing field: Method.result_type");
}

TEST(DescriptorMessagesTest, GroupsEndOnlyAtTheirOwnEndTag) {
  const Bytes service_head = {0x0A, 0x01, 'f', 0x12, 0x01, 'S'};
  const Bytes method_fields = {0x22, 0x01, 'm', 0x2A, 0x01, 'a', 0x32, 0x01, 'r'};
  const struct {
    const char* what;
    Bytes bytes;
    bool ok;
  } cases[] = {
      {"complete", Concat({service_head, {0x1B}, method_fields, {0x1C}}), true},
      {"input ends inside the entry", Concat({service_head, {0x1B}, method_fields}), false},
      {"zero tag inside the entry", Concat({service_head, {0x1B}, method_fields, {0x00}}), false},
      {"zero tag inside the entry, then its end",
       Concat({service_head, {0x1B}, method_fields, {0x00, 0x1C}}), false},
      {"end tag of another number", Concat({service_head, {0x1B}, method_fields, {0x14}}), false},
      {"end tag with nothing open", Concat({service_head, {0x1C}}), false},
      {"malformed tag inside the entry",
       Concat({service_head, {0x1B}, method_fields, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}), false},
      {"final zero after the last entry",
       Concat({service_head, {0x1B}, method_fields, {0x1C, 0x00}}), true},
  };
  for (const auto& c : cases) {
    RPC_ServiceDescriptor service;
    EXPECT_EQ(Parse(&service, c.bytes), c.ok) << c.what;
  }

  // Inside an EnumType entry, the end tag of its inner Tag group closes nothing.
  ProtocolDescriptor d;
  EXPECT_FALSE(Parse(&d, Concat({kHead, {0x73, 0x7A, 0x01, 'E', 0x8C, 0x01, 0x74}})));
}

// A group entry is parsed first in number order and then field by field; any
// arrival order gives the same entry, the last of a repeated field winning.
TEST(DescriptorMessagesTest, EntryFieldsDecodeInAnyOrder) {
  const Bytes name = {0x1A, 0x01, 'n'}, number = {0x20, 0x07}, wire = {0x28, 0x02},
              declared = {0x30, 0x09}, label = {0x38, 0x01}, parent = {0x60, 0x03};
  const struct {
    const char* what;
    Bytes fields;
  } cases[] = {
      {"in number order", Concat({name, number, wire, declared, label, parent})},
      {"reversed", Concat({parent, label, declared, wire, number, name})},
      {"first field last", Concat({number, wire, declared, label, parent, name})},
      {"a field twice, the last one counting",
       Concat({name, number, {0x28, 0x05}, declared, label, wire, parent})},
      {"an unknown field between", Concat({name, number, {0x98, 0x06, 0x05}, wire, declared,
                                           label, parent})},
  };
  for (const auto& c : cases) {
    ProtocolDescriptor d;
    ASSERT_TRUE(Parse(&d, Concat({kHead, {0x13}, c.fields, {0x14}, TagEntry('z', 2)}))) << c.what;
    ASSERT_EQ(d.tag_size(), 2) << c.what;
    const ProtocolDescriptor::Tag& t = d.tag(0);
    EXPECT_EQ(t.name(), "n") << c.what;
    EXPECT_EQ(t.number(), 7) << c.what;
    EXPECT_EQ(t.wire_type(), 2) << c.what;
    EXPECT_EQ(t.declared_type(), 9) << c.what;
    EXPECT_EQ(t.label(), 1) << c.what;
    EXPECT_EQ(t.parent(), 3) << c.what;
    EXPECT_FALSE(t.has_default_value()) << c.what;
    EXPECT_EQ(d.tag(1).name(), "z") << c.what;
  }
}

TEST(DescriptorMessagesTest, UnknownFieldsStayInTheirEntry) {
  const Bytes service_head = {0x0A, 0x01, 'f', 0x12, 0x01, 'S'};
  const Bytes method_fields = {0x22, 0x01, 'm', 0x2A, 0x01, 'a', 0x32, 0x01, 'r'};
  // Field 99 (varint 5) and an unknown group 100 inside the entry; field 98 after it.
  const Bytes inside = {0x98, 0x06, 0x05, 0xA3, 0x06, 0x08, 0x01, 0xA4, 0x06};
  const Bytes outside = {0x90, 0x06, 0x07};
  RPC_ServiceDescriptor service;
  ASSERT_TRUE(
      Parse(&service, Concat({service_head, {0x1B}, inside, method_fields, {0x1C}, outside})));
  ASSERT_EQ(service.method_size(), 1);
  ASSERT_NE(service.method(0).unknown_fields(), nullptr);
  EXPECT_EQ(service.method(0).unknown_fields()->size(), static_cast<int32_t>(inside.size()));
  // Written back inside the entry, just before its end tag; the message's own after it.
  EXPECT_EQ(Encode(service),
            Concat({service_head, {0x1B}, method_fields, inside, {0x1C}, outside}));
}

TEST(DescriptorMessagesTest, Int32ValuesAreSignExtendedOnTheWire) {
  ProtocolDescriptor d;
  d.set_filename("a");
  d.set_name("B");
  ProtocolDescriptor::Tag* tag = d.add_tag();
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->parent(), -1);
  EXPECT_EQ(tag->enum_id(), -1);
  EXPECT_FALSE(tag->has_parent());
  tag->set_name("x");
  tag->set_number(1);
  tag->set_wire_type(0);
  tag->set_declared_type(8);
  tag->set_label(1);
  tag->set_parent(-1);
  const Bytes expected =
      Concat({{0x0A, 0x01, 'B',  0x13, 0x1A, 0x01, 'x',  0x20, 0x01, 0x28, 0x00, 0x30, 0x08, 0x38,
               0x01, 0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x14},
              {0x5A, 0x01, 'a'}});
  EXPECT_EQ(Encode(d), expected);

  // Both the ten-byte form and the five-byte form read back as -1.
  for (const Bytes& parent :
       {Bytes{0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
        Bytes{0x60, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}}) {
    ProtocolDescriptor back;
    const Bytes entry = Concat(
        {{0x13, 0x1A, 0x01, 'x', 0x20, 0x01, 0x28, 0x00, 0x30, 0x08, 0x38, 0x01}, parent, {0x14}});
    ASSERT_TRUE(Parse(&back, Concat({kHead, entry})));
    EXPECT_TRUE(back.tag(0).has_parent());
    EXPECT_EQ(back.tag(0).parent(), -1);
  }
  // A longer value outside the 32-bit range (2^35) fails.
  ProtocolDescriptor wide;
  EXPECT_FALSE(
      Parse(&wide, Concat({kHead, {0x13, 0x60, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 0x14}})));
}

TEST(DescriptorMessagesTest, DoublesAndTwoByteTagsRoundTrip) {
  RPC_ServiceDescriptor service;
  service.set_filename("f");
  service.set_name("S");
  service.set_failure_detection_delay(1.5);
  RPC_ServiceDescriptor::Method* method = service.add_method();
  method->set_name("m");
  method->set_argument_type("a");
  method->set_result_type("r");
  method->set_deadline(-0.25);
  method->set_stream_type("s");
  method->set_client_logging(-2);
  const Bytes bytes = Encode(service);
  // failure_detection_delay: tag 0x81 0x01 and 1.5 little-endian, last of all.
  const Bytes tail = {0x81, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F};
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_EQ(Bytes(bytes.end() - static_cast<long>(tail.size()), bytes.end()), tail);

  RPC_ServiceDescriptor back;
  ASSERT_TRUE(Parse(&back, bytes));
  EXPECT_TRUE(back.has_failure_detection_delay());
  EXPECT_EQ(back.failure_detection_delay(), 1.5);
  ASSERT_EQ(back.method_size(), 1);
  EXPECT_EQ(back.method(0).deadline(), -0.25);
  EXPECT_EQ(back.method(0).stream_type(), "s");
  EXPECT_EQ(back.method(0).client_logging(), -2);
  EXPECT_FALSE(back.method(0).has_fail_fast());
  EXPECT_EQ(Encode(back), bytes);
}

TEST(DescriptorMessagesTest, ClearKeepsGroupRecordsForReuse) {
  ProtocolDescriptor d;
  ASSERT_TRUE(Parse(&d, Concat({kHead, TagEntry('x', 1), TagEntry('y', 2), TagEntry('z', 3)})));
  ASSERT_EQ(d.tag_size(), 3);
  const ProtocolDescriptor::Tag* first = &d.tag(0);
  d.Clear();
  EXPECT_EQ(d.tag_size(), 0);
  EXPECT_EQ(d.tag_list().allocated(), 3);
  EXPECT_FALSE(d.has_name());

  ASSERT_TRUE(Parse(&d, Concat({kHead, TagEntry('p', 7), TagEntry('q', 8)})));
  EXPECT_EQ(d.tag_size(), 2);
  EXPECT_EQ(d.tag_list().allocated(), 3);  // two in use, one kept
  EXPECT_EQ(&d.tag(0), first);
  EXPECT_EQ(d.tag(1).name(), "q");
  EXPECT_EQ(d.tag(1).number(), 8);
  // The kept record comes back cleared.
  ProtocolDescriptor::Tag* reused = d.add_tag();
  EXPECT_FALSE(reused->has_name());
  EXPECT_EQ(reused->parent(), -1);
  EXPECT_EQ(d.tag_list().allocated(), 3);
}

// A cleared string keeps its bytes for reuse; nothing of them may show through
// the accessors, the encoding, or a later shorter or longer value.
TEST(DescriptorMessagesTest, ClearedStringsShowNothingOfTheirOldBytes) {
  ProtocolDescriptor d;
  d.set_name("a long descriptor name");
  d.set_filename("file.proto");
  d.Clear();
  EXPECT_EQ(d.name(), "");
  EXPECT_EQ(d.EncodedSize(), 4);  // both required strings written empty
  EXPECT_EQ(Encode(d), (Bytes{0x0A, 0x00, 0x5A, 0x00}));
  EXPECT_EQ(*d.mutable_filename(), "");
  EXPECT_EQ(d.filename(), "");

  d.Clear();
  ASSERT_TRUE(Parse(&d, kHead));  // shorter than the kept bytes
  EXPECT_EQ(d.name(), "B");
  EXPECT_EQ(d.name().size(), 1u);
  EXPECT_EQ(d.name().c_str()[1], '\0');
  EXPECT_EQ(Encode(d), kHead);

  // The same field twice: the second value, shorter or longer, replaces the first.
  d.Clear();
  ASSERT_TRUE(Parse(&d, {0x0A, 0x03, 'x', 'y', 'z', 0x0A, 0x01, 'q', 0x5A, 0x00}));
  EXPECT_EQ(d.name(), "q");
  ASSERT_TRUE(Parse(&d, {0x0A, 0x05, '1', '2', '3', '4', '5'}));
  EXPECT_EQ(d.name(), "12345");

  ProtocolDescriptor::Tag* tag = d.add_tag();
  tag->set_default_value("seventeen chars!!");
  d.Clear();
  tag = d.add_tag();
  EXPECT_FALSE(tag->has_default_value());
  EXPECT_EQ(tag->default_value(), "");
  EXPECT_EQ(tag->EncodedSize(), 10);  // the five required fields, empty or zero
}

TEST(DescriptorMessagesTest, GroupListsGrowByAQuarterPlusOne) {
  ProtocolDescriptor d;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 15; ++i) {
    d.add_tag()->set_number(i);
    if (capacities.empty() || capacities.back() != d.tag_list().capacity()) {
      capacities.push_back(d.tag_list().capacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 6, 8, 11, 14, 18}));
  for (int i = 0; i < 15; ++i) EXPECT_EQ(d.tag(i).number(), i);
}

TEST(DescriptorMessagesTest, NestedGroupsDecodeIntoTheirEntries) {
  const Bytes enums = {0x73, 0x7A, 0x01, 'E',  0x80, 0x01, 0x03,  // EnumType "E", parent 3
                       0x8B, 0x01, 0x92, 0x01, 0x01, 'A',  0x98, 0x01, 0x00, 0x8C, 0x01,  // A = 0
                       0x8B, 0x01, 0x92, 0x01, 0x01, 'B',  0x98, 0x01, 0x07, 0x8C, 0x01,  // B = 7
                       0x74};
  ProtocolDescriptor d;
  ASSERT_TRUE(Parse(&d, Concat({kHead, enums})));
  ASSERT_EQ(d.enum_type_size(), 1);
  const ProtocolDescriptor::EnumType& e = d.enum_type(0);
  EXPECT_EQ(e.name(), "E");
  EXPECT_EQ(e.parent(), 3);
  ASSERT_EQ(e.tag_size(), 2);
  EXPECT_EQ(e.tag(1).name(), "B");
  EXPECT_EQ(e.tag(1).value(), 7);
  EXPECT_EQ(Encode(d), Concat({{0x0A, 0x01, 'B', 0x5A, 0x01, 'a'}, enums}));
  EXPECT_GT(d.MemoryFootprint(), static_cast<int32_t>(sizeof d));
}

TEST(DescriptorMessagesTest, DefaultInstancesOfMessagesAndGroups) {
  EXPECT_EQ(ProtocolDescriptor::default_instance().tag_size(), 0);
  EXPECT_EQ(ProtocolDescriptor::Tag::default_instance().parent(), -1);
  EXPECT_EQ(ProtocolDescriptor::Tag::default_instance().enum_id(), -1);
  EXPECT_EQ(ProtocolDescriptor::EnumType::default_instance().parent(), 0);
  EXPECT_EQ(ProtocolDescriptor::EnumType::Tag::default_instance().value(), 0);
  EXPECT_EQ(RPC_ServiceDescriptor::default_instance().failure_detection_delay(), 0.0);
  EXPECT_FALSE(RPC_ServiceDescriptor::Method::default_instance().fail_fast());
}

}  // namespace
