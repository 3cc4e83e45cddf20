#include "ci/prefs/key_paths.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(RootName, ShortAndLongNamesInAnyCaseNameTheSameRoot) {
  struct Case {
    const char16_t* name;
    RootKeyId id;
  } cases[] = {
      {u"HKLM", RootKeyId::kLocalMachine},
      {u"hklm", RootKeyId::kLocalMachine},
      {u"HKEY_LOCAL_MACHINE", RootKeyId::kLocalMachine},
      {u"hkey_Local_Machine", RootKeyId::kLocalMachine},
      {u"HKCU", RootKeyId::kCurrentUser},
      {u"HKEY_CURRENT_USER", RootKeyId::kCurrentUser},
      {u"HKU", RootKeyId::kUsers},
      {u"hkey_users", RootKeyId::kUsers},
      {u"HKCR", RootKeyId::kClassesRoot},
      {u"HKEY_CLASSES_ROOT", RootKeyId::kClassesRoot},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchRootName(c.name), c.id) << std::string(c.name, c.name + 4);
}

TEST(RootName, OtherNamesAreUnknown) {
  // Other predefined roots, prefixes and extensions of valid names, the empty
  // name, and look-alikes that only a locale-aware comparison might accept.
  const char16_t* unknown[] = {u"HKCC",
                               u"HKEY_CURRENT_CONFIG",
                               u"HKEY_PERFORMANCE_DATA",
                               u"",
                               u"HK",
                               u"HKLMX",
                               u"HKL",
                               u"HKEY_USER",
                               u" HKLM",
                               u"\uFF28\uFF2B\uFF2C\uFF2D",
                               u"HK\u00ADLM"};
  for (const char16_t* name : unknown) EXPECT_EQ(MatchRootName(name), RootKeyId::kUnknown);
  EXPECT_EQ(MatchRootName(WString(u"HKLM\0", 5)), RootKeyId::kUnknown);
}

TEST(RootName, SplitKeepsEverythingAfterTheFirstBackslash) {
  WString path = kMachineRoot;
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kLocalMachine);
  EXPECT_EQ(path, u"Software\\Velmor\\Velmor Updater");

  path = kSharedRoot;
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kLocalMachine);
  EXPECT_EQ(path, u"Software\\Velmor\\Velmor Updater\\Shared");

  path = kUserRoot;
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kCurrentUser);

  path = u"HKCU\\a\\\\b\\";  // passed on unchanged, doubled and trailing backslashes too
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kCurrentUser);
  EXPECT_EQ(path, u"a\\\\b\\");

  path = u"HKCU\\";
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kCurrentUser);
  EXPECT_EQ(path, u"");
}

TEST(RootName, RootAloneAddressesTheRootAndUnknownRootsStillSplit) {
  WString path = u"HKLM";
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kLocalMachine);
  EXPECT_EQ(path, u"");

  path = u"\\Software\\X";  // empty root name
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kUnknown);
  EXPECT_EQ(path, u"Software\\X");

  path = u"HKCC\\System";
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kUnknown);
  EXPECT_EQ(path, u"System");

  path = u"";
  EXPECT_EQ(SplitKeyPath(&path), RootKeyId::kUnknown);
  EXPECT_EQ(path, u"");
}

}  // namespace
}  // namespace ci
