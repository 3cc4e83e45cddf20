// The client reaches the server directly when elevated, through the elevation
// moniker otherwise. Wine's user is always elevated, so the choice is shown
// through the seams.
#include "tools/server_activation_win.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/hresult_checks.h"
#include "tools/hresult_text.h"

namespace ci {
namespace {

// {01234567-89AB-CDEF-0123-456789ABCDEF}
constexpr GUID kClass = {
    0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

bool elevated = false;
HRESULT moniker_result = kS_OK;
std::wstring bound_name;
int direct_calls = 0;
int moniker_calls = 0;
int fake_object = 0;

bool Elevated() { return elevated; }
HRESULT Bind(const wchar_t* name, REFIID, void** object) {
  ++moniker_calls;
  bound_name = name;
  if (SUCCEEDED(moniker_result)) *object = &fake_object;
  return moniker_result;
}
HRESULT Direct(REFCLSID clsid, REFIID, void** object) {
  ++direct_calls;
  *object = &fake_object;
  return IsEqualGUID(clsid, kClass) ? kS_OK : kE_INVALIDARG;
}

const ActivationSeams kSeams{&Elevated, &Bind, &Direct};

class ServerActivationTest : public testing::Test {
 protected:
  void SetUp() override {
    moniker_result = kS_OK;
    bound_name.clear();
    direct_calls = moniker_calls = 0;
  }
};

TEST_F(ServerActivationTest, TheMonikerNamesTheClassToCreateElevated) {
  EXPECT_EQ(ElevationMonikerName(kClass),
            L"Elevation:Administrator!new:{01234567-89AB-CDEF-0123-456789ABCDEF}");
}

TEST_F(ServerActivationTest, AnElevatedProcessCreatesTheServerDirectly) {
  elevated = true;
  void* object = nullptr;
  EXPECT_HR_OK(CreateServerObject(kClass, IID_IUnknown, &object, kSeams));
  EXPECT_EQ(object, &fake_object);
  EXPECT_EQ(direct_calls, 1);
  EXPECT_EQ(moniker_calls, 0);
}

TEST_F(ServerActivationTest, AProcessThatIsNotElevatedAsksThroughTheMoniker) {
  elevated = false;
  void* object = nullptr;
  EXPECT_HR_OK(CreateServerObject(kClass, IID_IUnknown, &object, kSeams));
  EXPECT_EQ(object, &fake_object);
  EXPECT_EQ(moniker_calls, 1);
  EXPECT_EQ(direct_calls, 0);
  EXPECT_EQ(bound_name, ElevationMonikerName(kClass));
}

TEST_F(ServerActivationTest, ARefusedConsentIsReportedInWords) {
  elevated = false;
  moniker_result = HRESULT_FROM_WIN32(ERROR_CANCELLED);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_HR_EQ(CreateServerObject(kClass, IID_IUnknown, &object, kSeams),
               HRESULT_FROM_WIN32(ERROR_CANCELLED));
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(DescribeServerResult(HRESULT_FROM_WIN32(ERROR_CANCELLED)).find("consent was refused"),
            std::string::npos);
}

TEST_F(ServerActivationTest, WinesUserCountsAsElevated) {
  // What the real seam says here; on Windows a filtered token says false.
  EXPECT_TRUE(SystemActivation().process_elevated());
}

}  // namespace
}  // namespace ci
