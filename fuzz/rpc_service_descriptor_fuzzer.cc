// Decode, re-encode, decode again: RPC_ServiceDescriptor.
#include "fuzz/round_trip.h"
#include "net/proto/protocoltype.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RoundTrip<RPC_ServiceDescriptor>(data, size);
}
