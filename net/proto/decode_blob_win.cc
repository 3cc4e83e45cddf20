#include "net/proto/decode_blob_win.h"

bool DecodeBlob(BSTR blob, ProtoWrapper* store) {
  if (!blob) return false;
  return DecodeBlob(blob, ::SysStringByteLen(blob), store);
}
