#include "tools/schema_text.h"

#include <cctype>
#include <vector>

#include "net/proto/message_type.h"
#include "net/proto/message_type_registry.h"
#include "net/proto/protocoltype.h"
#include "net/proto/wire_codec.h"

namespace ci {
namespace {

bool DecodeSelfDescription(const MessageType& type, ProtocolDescriptor* descriptor) {
  return type.self_description() != nullptr &&
         ParseFromBytes(descriptor, type.self_description(), type.self_description_size());
}

// The descriptor schema, decoded once from its own self-description.
const ProtocolDescriptor& DescriptorSchema() {
  static const ProtocolDescriptor* const schema = [] {
    auto* descriptor = new ProtocolDescriptor;
    DecodeSelfDescription(ProtocolDescriptor::default_instance().GetType(), descriptor);
    return descriptor;
  }();
  return *schema;
}

// The name of `value` in the descriptor schema's enum `enum_name`, without its
// prefix and in lower case: TYPE_FIXED32 gives "fixed32".
std::string EnumWord(const char* enum_name, int32_t value) {
  const ProtocolDescriptor& schema = DescriptorSchema();
  for (int32_t i = 0; i < schema.enum_type_size(); ++i) {
    const ProtocolDescriptor::EnumType& e = schema.enum_type(i);
    if (e.name() != enum_name) continue;
    for (int32_t j = 0; j < e.tag_size(); ++j) {
      if (e.tag(j).value() != value) continue;
      const std::string& name = e.tag(j).name();
      std::string word = name.substr(name.find('_') + 1);
      for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return word;
    }
  }
  return std::to_string(value);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The fields whose parent is `parent` (-1: the top level), with their groups'
// fields nested below them.
void AppendFields(const ProtocolDescriptor& d, int32_t parent, const std::string& indent,
                  std::string* out) {
  // Children always come after their parent, so the walk cannot loop.
  for (int32_t i = parent + 1; i < d.tag_size(); ++i) {
    const ProtocolDescriptor::Tag& tag = d.tag(i);
    if (tag.parent() != parent) continue;
    *out += indent + LabelWord(tag.label()) + " " + DeclaredTypeWord(tag.declared_type()) + " " +
            tag.name() + " = " + std::to_string(tag.number());
    if (tag.has_default_value()) {
      const bool text = tag.declared_type() == TYPE_STRING;
      *out += " [default = " + (text ? Quoted(tag.default_value()) : tag.default_value()) + "]";
    }
    if (tag.declared_type() == TYPE_GROUP) {
      *out += " {\n";
      AppendFields(d, i, indent + "  ", out);
      *out += indent + "}\n";
    } else {
      *out += ";\n";
    }
  }
}

}  // namespace

std::string DeclaredTypeWord(int32_t declared_type) {
  return EnumWord("DeclaredType", declared_type);
}

std::string LabelWord(int32_t label) { return EnumWord("Label", label); }

bool DescribeType(const MessageType& type, std::string* text) {
  ProtocolDescriptor d;
  if (!DecodeSelfDescription(type, &d)) return false;
  std::string& out = *text;
  out = "// " + type.name() + ", from " + d.filename() + "\n";
  out += "message " + d.name() + " {\n";
  AppendFields(d, -1, "  ", &out);
  for (int32_t i = 0; i < d.enum_type_size(); ++i) {
    const ProtocolDescriptor::EnumType& e = d.enum_type(i);
    out += "  enum " + e.name() + " {\n";
    for (int32_t j = 0; j < e.tag_size(); ++j) {
      out += "    " + e.tag(j).name() + " = " + std::to_string(e.tag(j).value()) + ";\n";
    }
    out += "  }\n";
  }
  out += "}\n";
  return true;
}

bool DescribeRegisteredTypes(const std::string& type_name, std::string* text, std::string* error) {
  const MessageTypeRegistry& registry = MessageTypeRegistry::Global();
  std::vector<const MessageType*> types;
  if (type_name.empty()) {
    types = registry.TypesByName();
  } else {
    // Type names are the class names in lower case.
    std::string name = type_name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const MessageType* type = registry.FindByName(name)) types.push_back(type);
  }
  if (types.empty()) {
    std::string known;
    for (const MessageType* type : registry.TypesByName())
      known += (known.empty() ? "" : ", ") + type->name();
    *error = "no message type \"" + type_name + "\" is registered (known: " + known + ")";
    return false;
  }
  text->clear();
  for (const MessageType* type : types) {
    std::string schema;
    if (!DescribeType(*type, &schema)) {
      *error = "the self-description of " + type->name() + " does not decode";
      return false;
    }
    *text += (text->empty() ? "" : "\n") + schema;
  }
  return true;
}

}  // namespace ci
