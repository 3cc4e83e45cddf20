#include "net/proto/type_descriptor.h"

#include <new>

#include "net/proto/protocoltype.h"

ProtocolMessage* NewEmptyTypeDescriptor() { return new (std::nothrow) ProtocolDescriptor; }
