// Decode, re-encode, decode again: UserPreferencesProto.
#include "fuzz/round_trip.h"
#include "protocol/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RoundTrip<UserPreferencesProto>(data, size);
}
