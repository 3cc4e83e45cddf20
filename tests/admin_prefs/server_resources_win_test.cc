// Resources of the server executable: the type library's contents, the registry
// scripts, the manifest and the icons.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "admin_prefs/registration/registrar_win.h"
#include "admin_prefs/registration/registration.h"
#include "admin_prefs/resource_ids.h"
#include "ci/base/paths.h"
#include "ci/base/win_handles.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/processes_win.h"

namespace ci {
namespace {

WString ServerPath() {
  return test::FullPath(test::TestDirectory() + u"\\" VU_SERVER_RELATIVE_PATH);
}

WString Text(BSTR b) { return b ? FromWin(b, ::SysStringLen(b)) : WString(); }

WString HelpString(ITypeLib* lib, INT index) {
  UniqueBstr help;
  if (FAILED(lib->GetDocumentation(index, nullptr, help.put(), nullptr, nullptr))) return u"<none>";
  return Text(help.get());
}

TEST(ServerTypeLibrary, DescribesTheLibraryClassAndInterface) {
  const WString path = ServerPath();
  ComPtr<ITypeLib> lib;
  ASSERT_HR_OK(::LoadTypeLibEx(AsWin(path), REGKIND_NONE, lib.ReleaseAndGetAddressOf()));

  TLIBATTR* lib_attr = nullptr;
  ASSERT_HR_OK(lib->GetLibAttr(&lib_attr));
  wchar_t guid[40];
  ::StringFromGUID2(lib_attr->guid, guid, 40);
  EXPECT_EQ(FromWin(guid), kAdminPrefsLibId);
  EXPECT_EQ(lib_attr->wMajorVerNum, 1);
  EXPECT_EQ(lib_attr->wMinorVerNum, 0);
  EXPECT_EQ(lib_attr->lcid, 0u);
  lib->ReleaseTLibAttr(lib_attr);
  EXPECT_EQ(HelpString(lib.Get(), -1),
            u"Velmor Updater Administrative Preferences Manager 1.0 Type Library");
  ASSERT_EQ(lib->GetTypeInfoCount(), 2u);

  // The class: creatable, IAdminPrefsManager its one and default interface.
  CLSID clsid = {};
  WString clsid_text = kAdminPrefsClsid;
  ASSERT_HR_OK(::CLSIDFromString(AsWin(clsid_text), &clsid));
  ComPtr<ITypeInfo> coclass;
  ASSERT_HR_OK(lib->GetTypeInfoOfGuid(clsid, coclass.ReleaseAndGetAddressOf()));
  TYPEATTR* attr = nullptr;
  ASSERT_HR_OK(coclass->GetTypeAttr(&attr));
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(attr->cImplTypes, 1);
  coclass->ReleaseTypeAttr(attr);
  INT impl_flags = 0;
  ASSERT_HR_OK(coclass->GetImplTypeFlags(0, &impl_flags));
  EXPECT_TRUE(impl_flags & IMPLTYPEFLAG_FDEFAULT);
  UniqueBstr name, help;
  ASSERT_HR_OK(coclass->GetDocumentation(MEMBERID_NIL, name.put(), help.put(), nullptr, nullptr));
  EXPECT_EQ(Text(name.get()), u"AdminPrefsManagerCtl");
  EXPECT_EQ(Text(help.get()), u"AdminPrefsManagerCtl Class");

  // The interface: from IUnknown, OLE-automation compatible, three operations.
  IID iid = {};
  WString iid_text = kAdminPrefsIid;
  ASSERT_HR_OK(::IIDFromString(AsWin(iid_text), &iid));
  ComPtr<ITypeInfo> info;
  ASSERT_HR_OK(lib->GetTypeInfoOfGuid(iid, info.ReleaseAndGetAddressOf()));
  ASSERT_HR_OK(info->GetTypeAttr(&attr));
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_EQ(attr->cFuncs, 3);
  EXPECT_EQ(attr->cbSizeVft, 6 * sizeof(void*));  // IUnknown's three, then ours
  info->ReleaseTypeAttr(attr);
  ASSERT_HR_OK(info->GetDocumentation(MEMBERID_NIL, name.put(), help.put(), nullptr, nullptr));
  EXPECT_EQ(Text(help.get()), u"Velmor Updater IAdminPrefsManager Interface");

  const struct {
    const char16_t* name;
    const char16_t* parameter;
    const char16_t* help;
  } kOperations[] = {
      {u"SaveAdminPreferences", u"serialized_prefs", u"Save Admin Preferences"},
      {u"SaveProxySettings", u"serialized_proxy_settings", u"Save Proxy Settings"},
      {u"SaveAcceptingEulaSettings", u"serialized_prefs", u"Save settings for accepting EULA"},
  };
  for (UINT i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    FUNCDESC* func = nullptr;
    ASSERT_HR_OK(info->GetFuncDesc(i, &func));
    EXPECT_EQ(func->memid, static_cast<MEMBERID>(i + 1));
    EXPECT_EQ(func->oVft, static_cast<SHORT>((3 + i) * sizeof(void*)));
    EXPECT_EQ(func->callconv, CC_STDCALL);
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(func->cParams, 1);
    EXPECT_EQ(func->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
    EXPECT_TRUE(func->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FIN);
    const MEMBERID id = func->memid;
    info->ReleaseFuncDesc(func);

    BSTR names[2] = {};
    UINT count = 0;
    ASSERT_HR_OK(info->GetNames(id, names, 2, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(Text(names[0]), kOperations[i].name);
    EXPECT_EQ(Text(names[1]), kOperations[i].parameter);
    ::SysFreeString(names[0]);
    ::SysFreeString(names[1]);
    ASSERT_HR_OK(info->GetDocumentation(id, nullptr, help.put(), nullptr, nullptr));
    EXPECT_EQ(Text(help.get()), kOperations[i].help);
  }
}

class ServerResources : public testing::Test {
 protected:
  void SetUp() override {
    module_.reset(::LoadLibraryExW(AsWin(ServerPath()), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module_);
  }
  std::string Bytes(const wchar_t* type, const wchar_t* name) {
    HRSRC resource = ::FindResourceW(module_.get(), name, type);
    if (!resource) return std::string();
    const char* data =
        static_cast<const char*>(::LockResource(::LoadResource(module_.get(), resource)));
    return data ? std::string(data, ::SizeofResource(module_.get(), resource)) : std::string();
  }
  UniqueLibrary module_;
};

TEST_F(ServerResources, ManifestAsksForAdministratorAndCommonControls6) {
  const std::string manifest = Bytes(RT_MANIFEST, MAKEINTRESOURCEW(VU_IDR_MANIFEST));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
}

// The version resource and the manifest say the version that the code uses
// (for the resource module's folder), all made from the project version.
TEST_F(ServerResources, VersionResourceAndManifestCarryTheProgramVersion) {
  const std::string version(std::begin(kProgramVersionFolder), std::end(kProgramVersionFolder) - 1);
  const std::string manifest = Bytes(RT_MANIFEST, MAKEINTRESOURCEW(VU_IDR_MANIFEST));
  EXPECT_NE(manifest.find("version=\"" + version + "\""), std::string::npos);

  const WString path = ServerPath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(AsWin(path), &ignored);
  ASSERT_NE(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(AsWin(path), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, version);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  for (const wchar_t* name : {L"\\StringFileInfo\\040904b0\\FileVersion",
                              L"\\StringFileInfo\\040904b0\\ProductVersion"}) {
    wchar_t* text = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), name, reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(FromWin(text), WString(kProgramVersionFolder));
  }
}

TEST_F(ServerResources, IconGroupAndElevationIcon) {
  EXPECT_FALSE(Bytes(RT_GROUP_ICON, L"IDI_APP").empty());
  EXPECT_FALSE(Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(VU_IDI_ELEVATION)).empty());
  HICON icon = static_cast<HICON>(
      ::LoadImageW(module_.get(), MAKEINTRESOURCEW(VU_IDI_ELEVATION), IMAGE_ICON, 32, 32, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(::GetIconInfo(icon, &info));
  BITMAP bitmap = {};
  ASSERT_TRUE(::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 32);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  ::DestroyIcon(icon);
}

TEST_F(ServerResources, RegistryScriptsAndTypeLibraryArePresent) {
  WString text;
  ASSERT_HR_OK(LoadScriptResource(ServerPath(), kAppIdScriptId, &text));
  EXPECT_NE(text.find(u"'%APPID%' = s '%DESCRIPTION%'"), WString::npos);
  ASSERT_HR_OK(LoadScriptResource(ServerPath(), kClassScriptId, &text));
  EXPECT_NE(text.find(u"ForceRemove '%CLSID%'"), WString::npos);
  EXPECT_FALSE(Bytes(L"TYPELIB", MAKEINTRESOURCEW(VU_IDR_TYPELIB)).empty());
}

}  // namespace
}  // namespace ci
