// The schema descriptor each type record creates empty: a ProtocolDescriptor.
// Nothing in this system fills it.
#pragma once

class ProtocolMessage;

// A new empty descriptor owned by the caller, or null when out of memory.
ProtocolMessage* NewEmptyTypeDescriptor();
