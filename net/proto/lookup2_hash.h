// Bob Jenkins' published lookup2 hash, and the type-name hash built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// lookup2 over `length` bytes with a = b = 0x9e3779b9 and c = `initial`.
uint32_t Lookup2Hash(const uint8_t* bytes, size_t length, uint32_t initial);

// The registry's name hash: lookup2 over the name's bytes with c = 0x12b9b0a1;
// 0xFFFFFFFF is mapped to 0xFFFFFFFE.
uint32_t TypeNameHash(std::string_view name);
