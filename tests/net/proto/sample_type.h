// A small type's field table, with a gap and names out of number order: the
// type-record and registry tests build their types from it.
#pragma once

#include <cstdint>

#include "net/proto/message_type.h"

namespace sample_type {

inline const FieldInfo kFields[] = {
    kErrorCodeFieldInfo,
    {"zeta", "zeta", 1, 0, 8, 1, "false"},
    {"Alpha", "Alpha", 3, 2, 9, 1, ""},
};
inline const FieldInfo* const kByNumber[] = {&kFields[0], &kFields[1], nullptr, &kFields[2]};
inline const FieldInfo* const kByName[] = {&kFields[2], &kFields[0], &kFields[1]};

inline MessageType MakeType(const char* name, int32_t id) {
  return MessageType(name, id, kFields, 3, kByNumber, 3, kByName);
}

}  // namespace sample_type
