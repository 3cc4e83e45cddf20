// The server's command line and the order of the registration steps.
#include "admin_prefs/module/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

constexpr ServerCommand kRun = ServerCommand::kRunServer;
constexpr ServerCommand kReg = ServerCommand::kRegister;
constexpr ServerCommand kUnreg = ServerCommand::kUnregister;

TEST(ParseServerCommandLine, KeywordsAfterASwitchInAnyCase) {
  EXPECT_EQ(ParseServerCommandLine(u"\"C:\\p\\VelmorUpdaterAdminPrefs.exe\" /RegServer"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe -REGSERVER"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /unregserver"), kUnreg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe -UnRegServer"), kUnreg);
  EXPECT_EQ(ParseServerCommandLine(u"/RegServer"), kReg);
}

TEST(ParseServerCommandLine, KeywordEndsAtEndSpaceOrTabOnly) {
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServer more text"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /UnregServer\t/x"), kUnreg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServers"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServer:now"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServer\r\n"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServe"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /"), kRun);
  // The text ends at its first 0, as the process's own command line does.
  EXPECT_EQ(ParseServerCommandLine(WString(u"x.exe /RegServer\0tail", 20)), kReg);
  EXPECT_EQ(ParseServerCommandLine(WString(u"x.exe \0/RegServer", 17)), kRun);
}

TEST(ParseServerCommandLine, EverySwitchIsTriedInOrder) {
  // A hyphen in the program path is only the first switch looked at.
  EXPECT_EQ(ParseServerCommandLine(u"\"C:\\my-apps\\x.exe\" -RegServer"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"C:/apps/x.exe /RegServer"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe --RegServer"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServerX /UnregServer"), kUnreg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /RegServer /UnregServer"), kReg);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /UnregServer /RegServer"), kUnreg);
  // Inside another token after a switch the keyword is not at the token's start.
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /x:RegServer"), kRun);
}

TEST(ParseServerCommandLine, AnythingElseRunsTheServer) {
  EXPECT_EQ(ParseServerCommandLine(u""), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe RegServer"), kRun);  // no switch character
  EXPECT_EQ(ParseServerCommandLine(u"x.exe -Embedding"), kRun);
  EXPECT_EQ(ParseServerCommandLine(u"x.exe /Automation"), kRun);
}

// Records the steps run; each step answers what the test set.
std::string g_calls;
HResult g_results[4];
HResult Step(int index, const char* name) {
  g_calls += name;
  g_calls += ' ';
  return g_results[index];
}
const RegistrationSteps kSteps = {
    [] { return Step(0, "reg-appid"); }, [] { return Step(1, "reg-server"); },
    [] { return Step(2, "unreg-server"); }, [] { return Step(3, "unreg-appid"); }};

class RunServerCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    for (HResult& result : g_results) result = kS_OK;
  }
};

TEST_F(RunServerCommandTest, RegisterRunsAppIdThenServer) {
  g_results[1] = kS_FALSE;
  EXPECT_HR_EQ(RunServerCommand(kReg, kSteps), kS_FALSE);
  EXPECT_EQ(g_calls, "reg-appid reg-server ");
}

TEST_F(RunServerCommandTest, UnregisterRunsServerThenAppId) {
  g_results[3] = static_cast<HResult>(0x80070002u);
  EXPECT_HR_EQ(RunServerCommand(kUnreg, kSteps), static_cast<HResult>(0x80070002u));
  EXPECT_EQ(g_calls, "unreg-server unreg-appid ");
}

TEST_F(RunServerCommandTest, AFailedFirstStepEndsTheCommand) {
  g_results[0] = kE_FAIL;
  EXPECT_HR_EQ(RunServerCommand(kReg, kSteps), kE_FAIL);
  g_results[2] = kDISP_E_EXCEPTION;
  EXPECT_HR_EQ(RunServerCommand(kUnreg, kSteps), kDISP_E_EXCEPTION);
  EXPECT_EQ(g_calls, "reg-appid unreg-server ");
}

TEST_F(RunServerCommandTest, RunningTheServerRunsNoStep) {
  EXPECT_HR_OK(RunServerCommand(kRun, kSteps));
  EXPECT_EQ(g_calls, "");
}

}  // namespace
}  // namespace ci
