// Where the product's resource module "cires.dll" (its localised strings) is
// expected: in the folder named after this program's version beside the code's
// module when that folder exists, otherwise beside the module itself.
#pragma once

#include "ci/base/product_version.h"
#include "ci/base/wide_string.h"

namespace ci {

constexpr char16_t kResourceModuleName[] = u"cires.dll";
constexpr char16_t kProgramVersionFolder[] = u"" VU_VERSION_TEXT;

// The path for a module directory; empty for an empty directory. Whether the
// resource module itself exists is not checked.
WString ResourceModulePathFor(const WString& module_directory);

// ResourceModulePathFor the directory of the module holding this code, computed on
// the first call and the same string on every later one. Not synchronised: the
// first call happens on the main thread.
const WString& GetResourceModulePath();

}  // namespace ci
