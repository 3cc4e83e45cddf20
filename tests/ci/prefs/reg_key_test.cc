// The registry layer against the real registry of the build tree's Wine prefix;
// every check looks at the stored bytes with the platform's own calls.
#include "ci/prefs/reg_key.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/bytes.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/registry_win.h"
#include "tests/support/test_key_win.h"

namespace ci {
namespace {

using test::ByteList;
using test::RawValue;
using test::ReadRaw;
using test::TestKey;
using test::WriteRaw;

TEST(RegKeyPaths, ShortLongAndLowerCaseRootNamesReachTheSameKey) {
  TestKey key(HKEY_LOCAL_MACHINE);
  const DWORD one = 1, two = 2, three = 3;
  ASSERT_HR_OK(RegKey::SetValue(u"HKLM\\" + key.sub_key(), u"a", REG_DWORD, &one, 4));
  ASSERT_HR_OK(RegKey::SetValue(u"hklm\\" + key.sub_key(), u"b", REG_DWORD, &two, 4));
  ASSERT_HR_OK(
      RegKey::SetValue(u"HKEY_LOCAL_MACHINE\\" + key.sub_key(), u"c", REG_DWORD, &three, 4));
  DWORD value = 0;
  EXPECT_HR_OK(RegKey::GetValue(u"Hkey_Local_Machine\\" + key.sub_key(), u"a", &value));
  EXPECT_EQ(value, 1u);
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, key.sub_key(), u"b", &raw));
  EXPECT_EQ(raw.bytes, ByteList({2, 0, 0, 0}));
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, key.sub_key(), u"c", &raw));
  EXPECT_EQ(raw.bytes, ByteList({3, 0, 0, 0}));

  TestKey user;
  ASSERT_HR_OK(RegKey::SetValue(u"HKEY_CURRENT_USER\\" + user.sub_key(), u"u", REG_DWORD, &two, 4));
  EXPECT_TRUE(RegKey::HasValue(u"hkcu\\" + user.sub_key(), u"u"));
  EXPECT_FALSE(RegKey::HasValue(u"HKLM\\" + user.sub_key(), u"u"));
}

TEST(RegKeyPaths, ARootNameAloneAddressesTheRootKey) {
  TestKey key;  // only for a unique value name
  const WString name = u"vu_prefs_root_" + key.sub_key().substr(key.sub_key().rfind(u'\\') + 1);
  const DWORD seven = 7;
  ASSERT_HR_OK(RegKey::SetValue(u"HKCU", name, REG_DWORD, &seven, 4));
  RawValue raw;
  EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, u"", name, &raw));
  EXPECT_TRUE(RegKey::HasValue(u"HKEY_CURRENT_USER", name));
  EXPECT_HR_OK(RegKey::DeleteValue(u"HKCU", name));
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, u"", name, &raw));
}

TEST(RegKeyPaths, UnknownRootsFailWithoutTouchingTheRegistry) {
  TestKey key;
  const DWORD one = 1;
  for (const WString& path : {u"HKCC\\" + key.sub_key(), u"\\" + key.sub_key(),
                              u"HKEY_CURRENT_CONFIG\\" + key.sub_key(), key.sub_key(), WString()}) {
    EXPECT_HR_EQ(RegKey::SetValue(path, u"v", REG_DWORD, &one, 4), kE_PATH_NOT_FOUND);
    DWORD value = 99;
    EXPECT_HR_EQ(RegKey::GetValue(path, u"v", &value), kE_PATH_NOT_FOUND);
    EXPECT_EQ(value, 99u);
    EXPECT_HR_EQ(RegKey::GetValue(path, u"v", REG_EXPAND_SZ, &value), kE_PATH_NOT_FOUND);
    EXPECT_HR_EQ(RegKey::DeleteValue(path, u"v"), kE_PATH_NOT_FOUND);
    EXPECT_FALSE(RegKey::HasValue(path, u"v"));
  }
  // "Software\..." without a root must not have been taken as HKCU or created anywhere.
  EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, key.sub_key()));
  EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, key.sub_key()));
}

TEST(RegKeyValues, EachTypeStoresItsByteLayout) {
  TestKey key;
  const WString path = key.path() + u"\\deeper\\still";  // missing keys above are created
  ASSERT_HR_OK(RegKey::SetValue(path, u"text", REG_SZ, u"abc", 0));
  const std::uint32_t dword = 0x01020304;
  ASSERT_HR_OK(RegKey::SetValue(path, u"dword", REG_DWORD, &dword, 0));
  const std::uint64_t qword = 0x1122334455667788ull;
  ASSERT_HR_OK(RegKey::SetValue(path, u"qword", REG_QWORD, &qword, 0));
  const std::uint8_t blob[] = {0, 1, 0xFF};
  ASSERT_HR_OK(RegKey::SetValue(path, u"blob", REG_BINARY, blob, 3));
  const char16_t multi[] = u"a\0bc\0";  // the literal adds the final zero
  ASSERT_HR_OK(RegKey::SetValue(path, u"multi", REG_MULTI_SZ, multi, sizeof(multi)));

  const WString sub = key.sub_key() + u"\\deeper\\still";
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, sub, u"text", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.bytes,
            ByteList({'a', 0, 'b', 0, 'c', 0, 0, 0}));  // 3 characters and the terminator
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, sub, u"dword", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw.bytes, ByteList({4, 3, 2, 1}));
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, sub, u"qword", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(raw.bytes, ByteList({0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, sub, u"blob", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw.bytes, ByteList({0, 1, 0xFF}));
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, sub, u"multi", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(raw.bytes, ByteList({'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));

  // And back through the layer.
  WString text;
  EXPECT_HR_OK(RegKey::GetValue(path, u"text", &text));
  EXPECT_EQ(text, u"abc");
  DWORD got_dword = 0;
  EXPECT_HR_OK(RegKey::GetValue(path, u"dword", &got_dword));
  EXPECT_EQ(got_dword, dword);
  std::uint64_t got_qword = 0;
  EXPECT_HR_OK(RegKey::GetValue(path, u"qword", REG_QWORD, &got_qword));
  EXPECT_EQ(got_qword, qword);
  std::vector<std::uint8_t> bytes;
  EXPECT_HR_OK(RegKey::GetValue(path, u"blob", &bytes));
  EXPECT_EQ(bytes, ByteList({0, 1, 0xFF}));
  std::vector<WString> list;
  EXPECT_HR_OK(RegKey::GetValue(path, u"multi", &list));
  EXPECT_EQ(list, (std::vector<WString>{u"a", u"bc"}));
}

TEST(RegKeyValues, EmptyValuesReadAsEmptyWithSuccess) {
  TestKey key;
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"blob", REG_BINARY, nullptr, 10));
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"text", REG_SZ, u"", 0));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"no_bytes_text", REG_SZ, nullptr, 0));
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.sub_key(), u"blob", &raw));
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_TRUE(raw.bytes.empty());

  std::vector<std::uint8_t> bytes{1, 2};
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"blob", &bytes));
  EXPECT_TRUE(bytes.empty());
  WString text = u"stale";
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"text", &text));
  EXPECT_EQ(text, u"");
  text = u"stale";
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"no_bytes_text", &text));
  EXPECT_EQ(text, u"");
  std::vector<WString> list{u"stale"};
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"blob", &list));
  EXPECT_TRUE(list.empty());
}

TEST(RegKeyValues, TextReadsAreTerminatedWhateverTheStoredData) {
  TestKey key;
  // No terminator, an odd byte count, and an embedded zero.
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"bare", REG_SZ, u"abc", 6));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"odd", REG_SZ, u"abcd", 7));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"one_byte", REG_SZ, "x", 1));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"inner_zero", REG_SZ, u"ab\0cd", 12));
  const std::uint8_t bin[] = {'h', 0, 'i', 0};
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"binary", REG_BINARY, bin, 4));
  WString text;
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"bare", &text));
  EXPECT_EQ(text, u"abc");
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"odd", &text));
  EXPECT_EQ(text, u"abc");  // the half character is dropped
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"one_byte", &text));
  EXPECT_EQ(text, u"");
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"inner_zero", &text));
  EXPECT_EQ(text, u"ab");
  // The stored type is not compared with the requested one.
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"binary", &text));
  EXPECT_EQ(text, u"hi");
}

TEST(RegKeyValues, LongValuesRoundTrip) {
  TestKey key;
  WString text(70000, u'x');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<WChar>(u'a' + i % 26);
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"long", REG_SZ, text.c_str(), 0));
  WString back;
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"long", &back));
  EXPECT_EQ(back, text);
  std::vector<std::uint8_t> blob(300000);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"blob", REG_BINARY, blob.data(),
                                static_cast<DWORD>(blob.size())));
  std::vector<std::uint8_t> got;
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"blob", &got));
  EXPECT_EQ(got, blob);
}

TEST(RegKeyValues, UnsupportedTypesAreRefusedAfterTheKeyIsReached) {
  TestKey key;
  const WString path = key.path() + u"\\created";
  EXPECT_HR_EQ(RegKey::SetValue(path, u"x", REG_EXPAND_SZ, u"%TEMP%", 0), kE_DATATYPE_MISMATCH);
  EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, key.sub_key() + u"\\created"));
  EXPECT_FALSE(RegKey::HasValue(path, u"x"));
  EXPECT_HR_EQ(RegKey::SetValue(path, u"x", REG_NONE, "", 0), kE_DATATYPE_MISMATCH);

  DWORD out = 0;
  EXPECT_HR_EQ(RegKey::GetValue(path, u"x", REG_EXPAND_SZ, &out), kE_DATATYPE_MISMATCH);
  // A key that cannot be opened reports that first.
  EXPECT_HR_EQ(RegKey::GetValue(key.path() + u"\\missing", u"x", REG_EXPAND_SZ, &out),
               kE_FILE_NOT_FOUND);
  EXPECT_HR_EQ(RegKey::GetValue(path, u"x", REG_SZ, nullptr), kE_POINTER);
}

TEST(RegKeyValues, NullDataIsHandledSafely) {
  TestKey key;
  EXPECT_HR_EQ(RegKey::SetValue(key.path(), u"d", REG_DWORD, nullptr, 4), kE_POINTER);
  EXPECT_HR_EQ(RegKey::SetValue(key.path(), u"q", REG_QWORD, nullptr, 8), kE_POINTER);
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"d"));
  EXPECT_HR_OK(RegKey::SetValue(key.path(), u"s", REG_SZ, nullptr, 0));
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.sub_key(), u"s", &raw));
  EXPECT_EQ(raw.bytes, ByteList({0, 0}));
  EXPECT_HR_OK(RegKey::SetValue(key.path(), u"m", REG_MULTI_SZ, nullptr, 6));
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.sub_key(), u"m", &raw));
  EXPECT_TRUE(raw.bytes.empty());
}

TEST(RegKeyValues, MissingValuesAndKeys) {
  TestKey key;
  const DWORD one = 1;
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"present", REG_DWORD, &one, 4));

  DWORD value = 42;
  EXPECT_HR_EQ(RegKey::GetValue(key.path(), u"absent", &value), kE_FILE_NOT_FOUND);
  EXPECT_EQ(value, 42u);
  WString text = u"stale";
  EXPECT_HR_EQ(RegKey::GetValue(key.path(), u"absent", &text), kE_FILE_NOT_FOUND);
  EXPECT_EQ(text, u"");
  std::vector<std::uint8_t> bytes{1};
  EXPECT_HR_EQ(RegKey::GetValue(key.path() + u"\\nokey", u"present", &bytes), kE_FILE_NOT_FOUND);
  EXPECT_TRUE(bytes.empty());

  EXPECT_FALSE(RegKey::HasValue(key.path() + u"\\nokey", u"present"));
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"absent"));
  EXPECT_TRUE(RegKey::HasValue(key.path(), u"present"));

  EXPECT_HR_EQ(RegKey::DeleteValue(key.path(), u"absent"), kS_FALSE);
  EXPECT_HR_EQ(RegKey::DeleteValue(key.path() + u"\\nokey", u"present"), kE_FILE_NOT_FOUND);
  EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, key.sub_key() + u"\\nokey"));
  EXPECT_HR_OK(RegKey::DeleteValue(key.path(), u"present"));
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"present"));
  EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, key.sub_key()));  // the key stays
}

TEST(RegKeyValues, IntegersAreReadOnlyFromValuesOfTheirOwnTypeAndSize) {
  TestKey key;
  const std::uint64_t qword = 2;
  const DWORD dword = 7;
  const std::uint8_t two_bytes[] = {1, 0};
  struct Stored {
    const char16_t* name;
    DWORD type;
    const void* data;
    DWORD size;
    bool as_dword;  // reads as a DWORD (7)
    bool as_qword;  // reads as a QWORD (2)
  };
  const Stored stored[] = {
      {u"dword", REG_DWORD, &dword, 4, true, false},
      {u"qword", REG_QWORD, &qword, 8, false, true},
      {u"text zero", REG_SZ, u"0", 4, false, false},  // would read as 0x30
      {u"text long", REG_SZ, u"12345678", 18, false, false},
      {u"expandable", REG_EXPAND_SZ, u"1", 4, false, false},
      {u"binary of four", REG_BINARY, &dword, 4, false, false},
      {u"binary of eight", REG_BINARY, &qword, 8, false, false},
      {u"big-endian", REG_DWORD_BIG_ENDIAN, &dword, 4, false, false},
      {u"short dword", REG_DWORD, two_bytes, 2, false, false},
      {u"long dword", REG_DWORD, &qword, 8, false, false},
      {u"short qword", REG_QWORD, &dword, 4, false, false},
      {u"none", REG_NONE, &dword, 4, false, false},
  };
  for (const Stored& value : stored) {
    ASSERT_TRUE(
        WriteRaw(HKEY_CURRENT_USER, key.sub_key(), value.name, value.type, value.data, value.size));
  }
  for (const Stored& value : stored) {
    const std::u16string name(value.name);
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    DWORD as_dword = 99;
    std::uint64_t as_qword = 99;
    EXPECT_HR_EQ(RegKey::GetValue(key.path(), value.name, &as_dword),
                 value.as_dword ? kS_OK : kE_FILE_NOT_FOUND);
    EXPECT_EQ(as_dword, value.as_dword ? 7u : 99u);
    EXPECT_HR_EQ(RegKey::GetValue(key.path(), value.name, REG_QWORD, &as_qword),
                 value.as_qword ? kS_OK : kE_FILE_NOT_FOUND);
    EXPECT_EQ(as_qword, value.as_qword ? 2u : 99u);
  }
  // Text reads take any stored type, as before.
  WString text;
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"text zero", &text));
  EXPECT_EQ(text, u"0");
}

TEST(RegKeyValues, EmptyDataCountsAsPresent) {
  TestKey key;
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"empty", REG_BINARY, nullptr, 0));
  EXPECT_TRUE(RegKey::HasValue(key.path(), u"empty"));
}

TEST(RegKeyValues, MultiStringReads) {
  TestKey key;
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"two_bytes", REG_MULTI_SZ, u"", 2));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"good", REG_MULTI_SZ, u"a\0b\0", 10));
  ASSERT_TRUE(
      WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"unterminated", REG_MULTI_SZ, u"a\0b", 4));
  ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, key.sub_key(), u"odd", REG_BINARY, "a\0\0\0\0\0\0", 7));
  std::vector<WString> list{u"stale"};
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"two_bytes", &list));
  EXPECT_TRUE(list.empty());
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"good", &list));
  EXPECT_EQ(list, (std::vector<WString>{u"a", u"b"}));
  EXPECT_HR_EQ(RegKey::GetValue(key.path(), u"unterminated", &list), kE_INVALIDARG);
  EXPECT_TRUE(list.empty());
  EXPECT_HR_OK(RegKey::GetValue(key.path(), u"odd", &list));
  EXPECT_EQ(list, std::vector<WString>{u"a"});
}

TEST(RegKeyHandle, OpenAndCreateReplaceTheHeldKeyOnlyOnSuccess) {
  TestKey key;
  RegKey reg;
  EXPECT_EQ(reg.handle(), nullptr);
  EXPECT_HR_OK(reg.Close());
  ASSERT_HR_OK(reg.Create(HKEY_CURRENT_USER, key.sub_key()));
  const HKEY first = reg.handle();
  ASSERT_NE(first, nullptr);

  EXPECT_HR_EQ(reg.Open(HKEY_CURRENT_USER, key.sub_key() + u"\\missing", KEY_READ),
               kE_FILE_NOT_FOUND);
  EXPECT_EQ(reg.handle(), first);
  const std::uint8_t data[] = {9};
  EXPECT_HR_OK(reg.SetBinaryValue(u"still_usable", data, 1));

  ASSERT_HR_OK(reg.Open(HKEY_CURRENT_USER, key.sub_key(), KEY_READ));
  EXPECT_NE(reg.handle(), nullptr);
  std::vector<std::uint8_t> bytes;
  DWORD type = 0;
  EXPECT_HR_OK(reg.QueryBinaryValue(u"still_usable", &bytes, &type));
  EXPECT_EQ(bytes, ByteList({9}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_HR_OK(reg.Close());
  EXPECT_EQ(reg.handle(), nullptr);
  EXPECT_HR_OK(reg.Close());
}

TEST(RegKeyHandle, SetBinaryWithNullDataStoresAnEmptyValue) {
  TestKey key;
  RegKey reg;
  ASSERT_HR_OK(reg.Create(HKEY_CURRENT_USER, key.sub_key()));
  EXPECT_HR_OK(reg.SetBinaryValue(u"v", nullptr, 10));
  RawValue raw;
  ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.sub_key(), u"v", &raw));
  EXPECT_TRUE(raw.bytes.empty());
}

// Wine's registry grants an administrator every access whatever a key's security
// descriptor says, so a denied write is shown on a key opened for reading only.
TEST(RegKeyFailures, WritesThroughAReadOnlyKeyAreDenied) {
  TestKey key;
  const DWORD one = 1;
  ASSERT_HR_OK(RegKey::SetValue(key.path(), u"v", REG_DWORD, &one, 4));
  RegKey reg;
  ASSERT_HR_OK(reg.Open(HKEY_CURRENT_USER, key.sub_key(), KEY_READ));
  const std::uint8_t data[] = {1};
  EXPECT_HR_EQ(reg.SetBinaryValue(u"w", data, 1), kE_ACCESSDENIED);
  EXPECT_HR_EQ(reg.DeleteValue(u"v"), kE_ACCESSDENIED);
  EXPECT_TRUE(RegKey::HasValue(key.path(), u"v"));
  EXPECT_FALSE(RegKey::HasValue(key.path(), u"w"));
}

TEST(RegKeyFailures, PlatformErrorsOfTheStaticOperationsAreMapped) {
  TestKey key;
  // A non-volatile key cannot live below a volatile one: ERROR_CHILD_MUST_BE_VOLATILE.
  ASSERT_TRUE(test::CreateVolatileKey(HKEY_CURRENT_USER, key.sub_key()));
  const DWORD one = 1;
  EXPECT_HR_EQ(RegKey::SetValue(key.path() + u"\\child", u"v", REG_DWORD, &one, 4),
               static_cast<HResult>(0x800703FDu));
  // A value name beyond the platform's limit: ERROR_INVALID_PARAMETER from the write.
  const WString long_name(40000, u'n');
  EXPECT_HR_EQ(RegKey::SetValue(key.path(), long_name, REG_DWORD, &one, 4), kE_INVALIDARG);
}

TEST(RegKeyStatics, SplitMultiStringIsTheSharedParser) {
  std::vector<WString> list;
  EXPECT_HR_OK(RegKey::SplitMultiString(10, u"a\0b\0", &list));
  EXPECT_EQ(list, (std::vector<WString>{u"a", u"b"}));
  EXPECT_HR_EQ(RegKey::SplitMultiString(6, u"a\0b", &list), kE_INVALIDARG);
}

}  // namespace
}  // namespace ci
