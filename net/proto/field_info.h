// Static, read-only description of one field of one message class.
#pragma once

#include <cstdint>

struct FieldInfo {
  const char* name;        // "Method.deadline" for a field inside a group
  const char* short_name;  // without the group prefix
  int32_t number;
  int32_t wire_type;         // WireType
  int32_t declared_type;     // DeclaredType
  int32_t label;             // Label
  const char* default_text;  // "false", "740", "" for strings
};

// Every class's table starts with this entry for field number 0.
constexpr FieldInfo kErrorCodeFieldInfo = {
    "ErrorCode", "ErrorCode", 0, 0, 3 /* TYPE_INT64 */, 1 /* LABEL_OPTIONAL */, "200"};
