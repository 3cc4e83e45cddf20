// Decode, re-encode, decode again: ProxySettingsProto.
#include "fuzz/round_trip.h"
#include "protocol/proxy_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RoundTrip<ProxySettingsProto>(data, size);
}
