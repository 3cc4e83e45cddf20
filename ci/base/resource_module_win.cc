#include "ci/base/resource_module.h"

#include "ci/base/paths.h"

namespace ci {

WString ResourceModulePathFor(const WString& module_directory) {
  if (module_directory.empty()) return WString();
  WString folder = AppendPath(module_directory, kProgramVersionFolder);
  if (!IsDirectory(folder)) folder = module_directory;
  return AppendPath(folder, kResourceModuleName);
}

const WString& GetResourceModulePath() {
  static const WString path = ResourceModulePathFor(GetCurrentModuleDirectory());
  return path;
}

}  // namespace ci
