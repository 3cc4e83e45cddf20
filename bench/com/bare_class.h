// The class of the bare benchmark server: the same interface as the real server
// under a CLSID of its own.
#pragma once

#include <windows.h>

namespace ci {
namespace bench {

// {9B3E6A71-2C4D-4F0E-8A5B-7D19C2E4F603}
constexpr CLSID kBareClass = {
    0x9B3E6A71, 0x2C4D, 0x4F0E, {0x8A, 0x5B, 0x7D, 0x19, 0xC2, 0xE4, 0xF6, 0x03}};
constexpr const wchar_t* kBareClassKey =
    L"Software\\Classes\\CLSID\\{9B3E6A71-2C4D-4F0E-8A5B-7D19C2E4F603}";

}  // namespace bench
}  // namespace ci
