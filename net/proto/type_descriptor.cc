#include "net/proto/type_descriptor.h"

#include <new>

#include "net/proto/opaque_message.h"

ProtocolMessage* NewEmptyTypeDescriptor() { return new (std::nothrow) OpaqueMessage; }
