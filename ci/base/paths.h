// The program's files: its module and directories, path operations on
// 260-character paths, where the product's resource module is, and starting
// another program of the product by its path.
#pragma once

#include <windows.h>

#include "ci/base/hresult.h"
#include "ci/base/product_version.h"
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

// --- The resource module ---------------------------------------------------------

// Where the product's resource module "cires.dll" (its localised strings) is
// expected: in the folder named after this program's version beside the code's
// module when that folder exists, otherwise beside the module itself.
constexpr char16_t kResourceModuleName[] = u"cires.dll";
constexpr char16_t kProgramVersionFolder[] = u"" VU_VERSION_TEXT;

// The path for a module directory; empty for an empty directory. Whether the
// resource module itself exists is not checked.
WString ResourceModulePathFor(const WString& module_directory);

// ResourceModulePathFor the directory of the module holding this code, computed on
// the first call and the same string on every later one. Not synchronised: the
// first call happens on the main thread.
const WString& GetResourceModulePath();

// --- Starting a program ----------------------------------------------------------

// Starts the program at `path` (used as it stands: not quoted, split or searched
// for) with no arguments, no window and without waiting for it. On success the
// caller owns both handles in `info` and closes them; on failure `info` is zeroed
// and the result is the platform's error as an HRESULT.
HResult RunProgram(const WString& path, PROCESS_INFORMATION* info);

}  // namespace ci
