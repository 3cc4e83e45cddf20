// The program's directories and path operations (260-character paths).
#pragma once

#include <windows.h>

#include "ci/base/wide_string.h"

namespace ci {

constexpr int kMaxPath = MAX_PATH;

WString GetModulePath(HMODULE module);  // null: the executable
HMODULE GetCurrentModule();
WString GetCurrentModuleDirectory();
WString GetExecutableFileName();
WString GetTempDirectory();  // ends with a backslash
WString AppendPath(const WString& base, const WString& part);
WString GetFileName(const WString& path);
WString GetDirectoryPart(const WString& path);
bool IsDirectory(const WString& path);

}  // namespace ci
