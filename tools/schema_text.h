// Message schemas as text, read from each class's embedded self-description
// with ProtocolDescriptor; declared types and labels are named by the enums of
// the descriptor schema's own self-description.
#pragma once

#include <cstdint>
#include <string>

class MessageType;

namespace ci {

// "bool", "fixed32", "string", "group" (the number when the enum lacks it).
std::string DeclaredTypeWord(int32_t declared_type);
// "optional", "required", "repeated".
std::string LabelWord(int32_t label);

// The schema of `type` in the form of a schema file: fields with numbers,
// declared types, labels and defaults, groups nested, enums with their values.
// False when the type has no self-description or it does not decode.
bool DescribeType(const MessageType& type, std::string* text);

// What `describe` prints: the schema of the registered type named `type_name`
// (its type name or class name, in any case), or of every registered type in
// name order when `type_name` is empty. False with the reason in `error` when no
// such type is registered or a self-description does not decode.
bool DescribeRegisteredTypes(const std::string& type_name, std::string* text, std::string* error);

}  // namespace ci
