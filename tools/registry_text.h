// Registry string data as the client reads it raw: UTF-16, little-endian, up to
// the first zero character (or the end, or an odd trailing byte). Platform-free.
#pragma once

#include <cstdint>
#include <vector>

#include "ci/base/wide_string.h"

namespace ci {

WString RegistryText(const std::vector<std::uint8_t>& data);

}  // namespace ci
