#include "ci/prefs/serialize_wrapper.h"

#include <string>

std::vector<uint8_t> SerializeWrapper(ProtoWrapper* wrapper) {
  ProtocolMessage* message = wrapper->GetMessage();
  wrapper->WriteToMessage(message);
  std::string bytes;
  AppendEncoded(*message, &bytes);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}
