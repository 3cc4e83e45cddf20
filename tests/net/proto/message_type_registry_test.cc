// The registry's reference counts and lookups, and its name hash.
#include "net/proto/message_type_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/proto/message_type.h"
#include "net/proto/protocol_message.h"
#include "sample_type.h"

namespace {

using sample_type::kByName;
using sample_type::kByNumber;
using sample_type::kFields;
using sample_type::MakeType;

TEST(MessageTypeRegistryTest, SameNameTwiceCountsTwoAndUnwindsInSteps) {
  MessageTypeRegistry registry;
  const MessageType a = MakeType("shared", 0);
  const MessageType b = MakeType("shared", 0);
  registry.Register(&a);
  registry.Register(&b);
  EXPECT_EQ(registry.NameCount("shared"), 2);
  EXPECT_EQ(registry.FindByName("shared"), &a);  // the first record stays
  registry.Unregister(&a);
  EXPECT_EQ(registry.NameCount("shared"), 1);
  registry.Unregister(&b);
  EXPECT_EQ(registry.NameCount("shared"), 0);
  EXPECT_EQ(registry.FindByName("shared"), nullptr);
  registry.Unregister(&b);  // unregistering an absent name changes nothing
  EXPECT_EQ(registry.NameCount("shared"), 0);
}

TEST(MessageTypeRegistryTest, OnlyNonzeroIdsEnterTheIdMap) {
  MessageTypeRegistry registry;
  const MessageType zero = MakeType("zeroid", 0);
  const MessageType seven = MakeType("sevenid", 7);
  registry.Register(&zero);
  registry.Register(&seven);
  EXPECT_EQ(registry.IdCount(0), 0);
  EXPECT_EQ(registry.FindById(0), nullptr);
  EXPECT_EQ(registry.IdCount(7), 1);
  EXPECT_EQ(registry.FindById(7), &seven);
  EXPECT_EQ(registry.FindByName("zeroid"), &zero);
  EXPECT_EQ(registry.TypesByName(), (std::vector<const MessageType*>{&seven, &zero}));
  registry.Unregister(&seven);
  EXPECT_EQ(registry.TypesByName(), (std::vector<const MessageType*>{&zero}));
  EXPECT_EQ(registry.IdCount(7), 0);
  EXPECT_EQ(registry.NameCount("sevenid"), 0);
}

TEST(MessageTypeRegistryTest, ScopedRegistrationUsesTheGlobalRegistry) {
  const MessageType type = MakeType("scopedregistrationtesttype", 0);
  {
    ScopedTypeRegistration registration(&type);
    EXPECT_EQ(MessageTypeRegistry::Global().NameCount("scopedregistrationtesttype"), 1);
  }
  EXPECT_EQ(MessageTypeRegistry::Global().NameCount("scopedregistrationtesttype"), 0);
}

uint32_t Hash(const char* s, uint32_t initial) {
  return Lookup2Hash(reinterpret_cast<const uint8_t*>(s), std::strlen(s), initial);
}

TEST(Lookup2HashTest, MatchesAnIndependentImplementation) {
  // Values from a separate lookup2 implementation (with initial value 0),
  // covering tails of every length class and inputs longer than one block.
  EXPECT_EQ(Hash("a", 0), 0x29eec818u);
  EXPECT_EQ(Hash("abc", 0), 0x251e4793u);
  EXPECT_EQ(Hash("0123456789ab", 0), 0x92f31ad0u);
  EXPECT_EQ(Hash("proxysettingsproto", 0), 0x07d84bd8u);
  EXPECT_EQ(Hash("userpreferencesproto", 0), 0xfc125397u);
  EXPECT_EQ(Hash("machinepreferencesproto", 0), 0x663ed116u);
  EXPECT_EQ(Hash("0123456789abcdefghijklmnopqrstuvwxyz", 0), 0xbfbe133du);
}

TEST(Lookup2HashTest, TypeNamesUseTheirOwnInitialValue) {
  EXPECT_EQ(TypeNameHash("machinepreferencesproto"), Hash("machinepreferencesproto", 0x12b9b0a1u));
  EXPECT_NE(TypeNameHash("machinepreferencesproto"), Hash("machinepreferencesproto", 0));
  // Embedded zero bytes are part of the name.
  EXPECT_NE(TypeNameHash(std::string_view("a\0b", 3)), TypeNameHash(std::string_view("a", 1)));
}

}  // namespace
