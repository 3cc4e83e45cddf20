// DecodeBlob over a BSTR used as a byte container (the service's message
// arguments): its byte length, not its character count, is the message length.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include "net/proto/protocol_message.h"

inline bool DecodeBlob(BSTR blob, ProtoWrapper* store) {
  if (!blob) return false;
  return DecodeBlob(blob, ::SysStringByteLen(blob), store);
}
