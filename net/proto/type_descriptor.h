// The schema descriptor each type record creates empty. Nothing in this system
// fills it; until descriptor messages exist it is a field-less message.
#pragma once

class ProtocolMessage;

// A new empty descriptor owned by the caller, or null when out of memory.
ProtocolMessage* NewEmptyTypeDescriptor();
