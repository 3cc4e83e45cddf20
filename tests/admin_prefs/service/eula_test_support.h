// Shared pieces of the EULA tests: values of a key given in the platform's own
// strings (through the tests' registry helpers) and an install folder holding the
// first-run stand-in.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace ci {
namespace eula_test {

// One registry key given as a predefined root and a sub-key path.
struct Key {
  HKEY root;
  std::wstring path;
  // The same location as a product key path ("HKCU\...").
  std::u16string KeyPath() const;
};

void SetString(const Key& key, const wchar_t* name, const std::wstring& text);
void SetDword(const Key& key, const wchar_t* name, DWORD value);
void SetBinary(const Key& key, const wchar_t* name, const std::string& bytes);
std::optional<std::wstring> GetString(const Key& key, const wchar_t* name);
bool HasValue(const Key& key, const wchar_t* name);
bool KeyExists(const Key& key);
void DeleteTree(const Key& key);

// A folder "<temp>\vu eula <pid>\install dir" whose sub-folder `version` holds a
// copy of the first-run stand-in named vufirstboot.exe. Removed on destruction.
class InstallFolder {
 public:
  explicit InstallFolder(const std::wstring& version);
  ~InstallFolder();
  const std::wstring& install_dir() const { return install_dir_; }
  bool ready() const { return ready_; }
  // Waits up to `timeout_ms` for the stand-in's marker ("ran" or "done").
  bool WaitForMarker(const wchar_t* marker, DWORD timeout_ms) const;
  bool HasMarker(const wchar_t* marker) const;

 private:
  std::wstring base_;
  std::wstring install_dir_;
  std::wstring version_dir_;
  bool ready_ = false;
};

// True for 36 upper-case hexadecimal characters in groups 8-4-4-4-12.
bool IsUserIdForm(const std::wstring& text);

// Every marker of an installation whose licence was not accepted yet and that is
// offline, with proxy settings stored under both roots.
void WriteUnacceptedInstallation(const Key& machine, const Key& user);
// The installation's folder and version under the machine key.
void WriteInstall(const Key& machine, const InstallFolder& folder, const std::wstring& version);
// The acceptance recorded: the markers and both stored proxies gone, a user id of
// the right form. `ExpectUnaccepted`: all still there.
void ExpectAccepted(const Key& machine, const Key& user);
void ExpectUnaccepted(const Key& machine, const Key& user);

}  // namespace eula_test
}  // namespace ci
