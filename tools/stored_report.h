// What `adminprefs show` reports: the values under the machine root, the two
// checksummed messages verified and decoded. Platform-free; the registry is read
// by the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/field_values.h"

namespace ci {

// One registry value as read: absent, or its type code and bytes.
struct RawValue {
  bool present = false;
  std::uint32_t type = 0;  // REG_SZ 1, REG_BINARY 3, REG_DWORD 4
  std::vector<std::uint8_t> data;
};

enum class StoredState {
  kAbsent,
  kWrongType,    // not REG_BINARY
  kBadChecksum,  // too short for a checksum, or it does not match the bytes
  kUndecodable,  // checksum fine, message bytes do not decode
  kValid,
};

enum class StoredKind { kPreferences, kProxySettings };

struct StoredMessage {
  std::string value_name;
  StoredState state = StoredState::kAbsent;
  std::vector<std::uint8_t> bytes;  // the whole stored value
  std::vector<ShownField> fields;   // for kValid
};

StoredMessage InspectStoredMessage(const std::string& value_name, StoredKind kind,
                                   const RawValue& value);

// The values `show` prints, read from the machine root.
struct MachineValues {
  RawValue machine_prefs;
  RawValue proxy_settings;
  RawValue send_anonymous_data;
  RawValue userid;
  RawValue offline;
  RawValue no_eula;
  RawValue tc_accpt;
};

struct ShowReport {
  std::string text;
  bool damaged = false;  // a stored message failed its checksum or did not decode
};

ShowReport FormatShowReport(const MachineValues& values, bool json);

}  // namespace ci
