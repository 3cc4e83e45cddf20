// Decode, re-encode, decode again: ProtocolDescriptor.
#include "fuzz/round_trip.h"
#include "net/proto/protocoltype.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RoundTrip<ProtocolDescriptor>(data, size);
}
