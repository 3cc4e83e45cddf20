#!/usr/bin/env python3
"""Generates the message classes of one .proto schema file.

Reads a proto2 schema (messages with optional and required scalar and string
fields, explicit defaults) and writes a C++ header and source holding, for each
message: the class derived from ProtocolMessage with its members, accessors and
hand-unrolled codec, its FieldInfo tables, its embedded self-description (the
schema encoded as a ProtocolDescriptor message), and its static type record,
registration and default instance.

usage: generate_messages.py --proto FILE --schema-name NAME --include PATH
                            --header OUT.h --source OUT.cc
"""

import argparse
import re
import sys

# ---------------------------------------------------------------------------
# Field kinds


class Kind:
    def __init__(self, cpp, wire, declared, implicit_default, reader, writer, chain_writer):
        self.cpp = cpp                      # member type
        self.wire = wire                    # wire type
        self.declared = declared            # DeclaredType value
        self.implicit_default = implicit_default  # default text when none is given
        self.reader = reader                # Decoder method
        self.writer = writer                # flat-buffer writer
        self.chain_writer = chain_writer    # chain writer


KINDS = {
    'bool': Kind('bool', 0, 8, 'false', 'ReadBool', 'WriteBoolFieldToArray', 'WriteBoolField'),
    'fixed32': Kind('int32_t', 5, 7, '0', 'ReadFixed32', 'WriteFixed32FieldToArray', 'WriteFixed32Field'),
    'int32': Kind('int32_t', 0, 5, '0', 'ReadInt32', 'WriteInt32FieldToArray', 'WriteInt32Field'),
    'int64': Kind('int64_t', 0, 3, '0', 'ReadInt64', 'WriteInt64FieldToArray', 'WriteInt64Field'),
    'double': Kind('double', 1, 1, '0.0', 'ReadDouble', 'WriteDoubleFieldToArray', 'WriteDoubleField'),
    'string': Kind('std::string*', 2, 9, '', 'ReadString', 'WriteStringFieldToArray', 'WriteStringField'),
}
LABELS = {'optional': 1, 'required': 2}
# Value bytes of the kinds whose encoded length does not depend on the value.
FIXED_VALUE_SIZE = {'bool': 1, 'fixed32': 4, 'double': 8}


class Field:
    def __init__(self, label, type_name, name, number, explicit_default):
        self.label = label
        self.type_name = type_name
        self.kind = KINDS[type_name]
        self.name = name
        self.number = number
        self.explicit_default = explicit_default  # text as written, or None

    @property
    def required(self):
        return self.label == 'required'

    @property
    def bit(self):
        return 1 << (self.number - 1)

    @property
    def tag(self):
        return (self.number << 3) | self.kind.wire

    @property
    def default_text(self):
        return self.explicit_default if self.explicit_default is not None else self.kind.implicit_default

    def default_literal(self):
        text = self.default_text
        if self.type_name == 'bool':
            return text
        if self.type_name in ('fixed32', 'int32'):
            value = int(text, 0)
            if self.type_name == 'fixed32' and value >= 1 << 31:
                value -= 1 << 32
            return 'INT32_C(%d)' % value if value != -(1 << 31) else 'INT32_MIN'
        if self.type_name == 'int64':
            return 'INT64_C(%d)' % int(text, 0)
        if self.type_name == 'double':
            return repr(float(text))
        raise AssertionError(self.type_name)


class Message:
    def __init__(self, name):
        self.name = name
        self.fields = []  # declaration order

    @property
    def by_number(self):
        return sorted(self.fields, key=lambda f: f.number)


# ---------------------------------------------------------------------------
# Schema parsing

TOKEN = re.compile(r'\s+|//[^\n]*|/\*.*?\*/|"(?:[^"\\]|\\.)*"|[A-Za-z_][A-Za-z0-9_.]*|-?[0-9][0-9A-Za-z_.+-]*|.',
                   re.S)


class SchemaError(Exception):
    pass


def tokenize(text):
    tokens = []
    for m in TOKEN.finditer(text):
        t = m.group(0)
        if t.isspace() or t.startswith('//') or t.startswith('/*'):
            continue
        tokens.append(t)
    return tokens


class Parser:
    def __init__(self, tokens):
        self.tokens = tokens
        self.i = 0

    def peek(self):
        return self.tokens[self.i] if self.i < len(self.tokens) else None

    def take(self, expected=None):
        t = self.peek()
        if t is None:
            raise SchemaError('unexpected end of schema')
        if expected is not None and t != expected:
            raise SchemaError('expected %r, found %r' % (expected, t))
        self.i += 1
        return t

    def parse(self):
        messages = []
        while self.peek() is not None:
            t = self.take()
            if t in ('syntax', 'package'):
                if t == 'syntax':
                    self.take('=')
                    if self.take() != '"proto2"':
                        raise SchemaError('only proto2 schemas are supported')
                else:
                    self.take()
                self.take(';')
            elif t == 'message':
                messages.append(self.parse_message())
            else:
                raise SchemaError('unexpected %r' % t)
        return messages

    def parse_message(self):
        message = Message(self.take())
        self.take('{')
        while self.peek() != '}':
            label = self.take()
            if label not in LABELS:
                raise SchemaError('%s: unsupported label %r' % (message.name, label))
            type_name = self.take()
            if type_name not in KINDS:
                raise SchemaError('%s: unsupported type %r' % (message.name, type_name))
            name = self.take()
            self.take('=')
            number = int(self.take(), 0)
            default = None
            if self.peek() == '[':
                self.take('[')
                self.take('default')
                self.take('=')
                default = self.take()
                if default.startswith('"'):
                    default = default[1:-1]
                    if '\\' in default:
                        raise SchemaError('%s.%s: escapes in defaults are not supported' % (message.name, name))
                self.take(']')
            self.take(';')
            message.fields.append(Field(label, type_name, name, number, default))
        self.take('}')
        validate(message)
        return message


def validate(message):
    numbers = set()
    for f in message.fields:
        # Has-bit n-1 for field number n in one 32-bit word.
        if not 1 <= f.number <= 32:
            raise SchemaError('%s.%s: field numbers must be 1 to 32' % (message.name, f.name))
        if f.number in numbers:
            raise SchemaError('%s: field number %d used twice' % (message.name, f.number))
        numbers.add(f.number)
        if f.type_name == 'string' and f.explicit_default not in (None, ''):
            raise SchemaError('%s.%s: string defaults other than empty are not supported' % (message.name, f.name))
        if f.type_name == 'bool' and f.default_text not in ('true', 'false'):
            raise SchemaError('%s.%s: bad bool default' % (message.name, f.name))


# ---------------------------------------------------------------------------
# Self-description: the schema encoded as a ProtocolDescriptor message


def varint(value):
    value &= (1 << 64) - 1
    out = bytearray()
    while value >= 0x80:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    out.append(value)
    return bytes(out)


def tag_bytes(number, wire):
    return varint((number << 3) | wire)


def string_field(number, text):
    data = text.encode('utf-8')
    return tag_bytes(number, 2) + varint(len(data)) + data


def int32_field(number, value):
    return tag_bytes(number, 0) + varint(value)


def self_description(message, schema_name):
    # ProtocolDescriptor: name (1), the Tag groups (2) with name (3), number (4),
    # wire_type (5), declared_type (6), label (7), default_value (8); filename (11).
    out = bytearray(string_field(1, message.name))
    for f in message.by_number:
        out += tag_bytes(2, 3)
        out += string_field(3, f.name)
        out += int32_field(4, f.number)
        out += int32_field(5, f.kind.wire)
        out += int32_field(6, f.kind.declared)
        out += int32_field(7, LABELS[f.label])
        if f.explicit_default is not None:
            out += string_field(8, f.explicit_default)
        out += tag_bytes(2, 4)
    out += string_field(11, schema_name)
    return bytes(out)


# ---------------------------------------------------------------------------
# C++ output

def c_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def byte_rows(data, indent='    ', per_row=12):
    rows = []
    for i in range(0, len(data), per_row):
        rows.append(indent + ', '.join('0x%02X' % b for b in data[i:i + per_row]) + ',')
    return '\n'.join(rows)


def header_for(message):
    m = message.name
    lines = []
    w = lines.append
    w('class %s final : public ProtocolMessage {' % m)
    w(' public:')
    w('  %s();' % m)
    w('  ~%s() override;' % m)
    w('  %s(const %s&) = delete;' % (m, m))
    w('  %s& operator=(const %s&) = delete;' % (m, m))
    w('')
    w('  static const %s& default_instance();' % m)
    w('  // The schema of this class encoded as a ProtocolDescriptor message.')
    w('  static const uint8_t* self_description();')
    w('  static int32_t self_description_size();')
    w('')
    w('  const char* FindMissingField() const override;')
    w('  void Clear() override;')
    w('  void WriteToChain(ByteChain* chain) const override;')
    w('  uint8_t* WriteToArray(uint8_t* out) const override;')
    w('  bool MergeFromDecoder(Decoder* decoder) override;')
    w('  const MessageType& GetType() const override;')
    w('  ProtocolMessage* NewInstance() const override;')
    w('  int32_t EncodedSize() const override;')
    w('  int32_t MemoryFootprint() const override;')
    for f in message.fields:
        n = f.name
        w('')
        w('  // %s %s %s = %d' % (f.label, f.type_name, n, f.number))
        w('  bool has_%s() const { return (has_bits_ & 0x%Xu) != 0; }' % (n, f.bit))
        if f.type_name == 'string':
            w('  const std::string& %s() const { return %s_ ? *%s_ : EmptyProtoString(); }' % (n, n, n))
            w('  void set_%s(const std::string& bytes) { mutable_%s()->assign(bytes); }' % (n, n))
            w('  std::string* mutable_%s() {' % n)
            w('    has_bits_ |= 0x%Xu;' % f.bit)
            w('    return ConstructStringIn(&%s_, %s_storage_);' % (n, n))
            w('  }')
        else:
            t = f.kind.cpp
            w('  %s %s() const { return %s_; }' % (t, n, n))
            w('  void set_%s(%s value) {' % (n, t))
            w('    %s_ = value;' % n)
            w('    has_bits_ |= 0x%Xu;' % f.bit)
            w('  }')
    w('')
    w('  // Fields of other numbers or wire types, in arrival order; null when none.')
    w('  const ByteChain* unknown_fields() const { return unknown_fields_; }')
    w('')
    w(' private:')
    for f in message.by_number:
        w('  %s %s_;' % (f.kind.cpp, f.name))
    w('  uint32_t has_bits_;')
    w('  ByteChain* unknown_fields_;')
    strings = [f for f in message.by_number if f.type_name == 'string']
    if strings:
        w('  // Room for the string objects, each constructed on its first write.')
    for f in strings:
        w('  alignas(std::string) unsigned char %s_storage_[sizeof(std::string)];' % f.name)
    w('};')
    return '\n'.join(lines)


def bit_count(mask):
    """A C++ expression counting the set bits of `bits` under `mask`."""
    positions = [i for i in range(32) if mask >> i & 1]
    if len(positions) > 8:
        return 'SetBitCount(bits & 0x%Xu)' % mask
    # Independent single-bit terms add in parallel; shorter than a full count.
    terms = ['(bits >> %d & 1u)' % i if i else '(bits & 1u)' for i in positions]
    return 'static_cast<int32_t>(%s)' % ' + '.join(terms)


def required_check(message):
    """The end-of-input condition on required fields, as a C++ suffix."""
    mask = 0
    for f in message.fields:
        if f.required:
            mask |= f.bit
    return ' && (has_bits_ & 0x%Xu) == 0x%Xu' % (mask, mask) if mask else ''


def scalar_reset(message):
    """Statements that put every scalar default in place."""
    return ['%s_ = %s;' % (f.name, f.default_literal()) for f in message.by_number if f.type_name != 'string']


def source_for(message, schema_name):
    m = message.name
    fields = message.by_number
    strings = [f for f in fields if f.type_name == 'string']
    lines = []
    w = lines.append

    # Tables.
    decl = message.fields
    w('namespace {')
    w('')
    w('const FieldInfo k%sFields[] = {' % m)
    w('    kErrorCodeFieldInfo,')
    for f in decl:
        w('    {%s, %s, %d, %d, %d, %d, %s},' % (c_string(f.name), c_string(f.name), f.number, f.kind.wire,
                                             f.kind.declared, LABELS[f.label], c_string(f.default_text)))
    w('};')
    index = {f.number: i + 1 for i, f in enumerate(decl)}
    highest = max((f.number for f in decl), default=0)
    refs = ['&k%sFields[0]' % m] + [('&k%sFields[%d]' % (m, index[n])) if n in index else 'nullptr'
                                   for n in range(1, highest + 1)]
    w('const FieldInfo* const k%sByNumber[] = {%s};' % (m, ', '.join(refs)))
    names = sorted([('ErrorCode', 0)] + [(f.name, index[f.number]) for f in decl],
                   key=lambda p: p[0].encode('utf-8'))
    w('const FieldInfo* const k%sByName[] = {%s};' % (m, ', '.join('&k%sFields[%d]' % (m, i) for _, i in names)))
    desc = self_description(message, schema_name)
    w('const uint8_t k%sSelfDescription[] = {' % m)
    w(byte_rows(desc))
    w('};')
    w('')
    w('using %sStatics = GeneratedStatics<%s>;' % (m, m))
    w('')
    w('%sStatics& %sStaticData() {' % (m, m))
    w('  static %sStatics statics(%s, k%sFields, %d, k%sByNumber, %d, k%sByName);'
      % (m, c_string(m.lower()), m, len(decl) + 1, m, highest, m))
    w('  return statics;')
    w('}')
    w('')
    w('// Builds the type record, registers it and constructs the default instance')
    w('// during static initialisation.')
    w('const bool k%sStaticsBuilt = (%sStaticData(), true);' % (m, m))
    w('')
    w('}  // namespace')
    w('')

    # Construction, destruction, statics.
    init = ['%s_(%s)' % (f.name, 'nullptr' if f.type_name == 'string' else f.default_literal()) for f in fields]
    init += ['has_bits_(0)', 'unknown_fields_(nullptr)']
    w('%s::%s()' % (m, m))
    w('    : ' + ',\n      '.join(init) + ' {}')
    w('')
    w('%s::~%s() {' % (m, m))
    for f in strings:
        w('  DestroyString(%s_);' % f.name)
    w('  delete unknown_fields_;')
    w('}')
    w('')
    w('const %s& %s::default_instance() { return %sStaticData().default_instance; }' % (m, m, m))
    w('const MessageType& %s::GetType() const { return %sStaticData().type; }' % (m, m))
    w('const uint8_t* %s::self_description() { return k%sSelfDescription; }' % (m, m))
    w('int32_t %s::self_description_size() { return static_cast<int32_t>(sizeof k%sSelfDescription); }' % (m, m))
    w('ProtocolMessage* %s::NewInstance() const { return new (std::nothrow) %s; }' % (m, m))
    w('')

    # FindMissingField.
    w('const char* %s::FindMissingField() const {' % m)
    for f in decl:
        if f.required:
            w('  if (!(has_bits_ & 0x%Xu)) return "missing field: %s";' % (f.bit, f.name))
    w('  return nullptr;')
    w('}')
    w('')

    # Clear.
    w('void %s::Clear() {' % m)
    for s in scalar_reset(message):
        w('  ' + s)
    for f in strings:
        w('  if (%s_) %s_->clear();' % (f.name, f.name))
    w('  has_bits_ = 0;')
    w('  delete unknown_fields_;')
    w('  unknown_fields_ = nullptr;')
    w('}')
    w('')

    # EncodedSize: fixed-size optional fields are counted from the has-bits.
    w('int32_t %s::EncodedSize() const {' % m)
    constant = sum(1 + FIXED_VALUE_SIZE[f.type_name] for f in fields
                   if f.required and f.type_name in FIXED_VALUE_SIZE)
    w('  int32_t size = %d;' % constant)
    by_size = {}
    for f in fields:
        if not f.required and f.type_name in FIXED_VALUE_SIZE:
            by_size.setdefault(1 + FIXED_VALUE_SIZE[f.type_name], 0)
            by_size[1 + FIXED_VALUE_SIZE[f.type_name]] |= f.bit
    w('  const uint32_t bits = has_bits_;')
    for size, mask in sorted(by_size.items()):
        w('  size += %d * %s;' % (size, bit_count(mask)))
    for f in fields:
        if f.type_name in FIXED_VALUE_SIZE:
            continue
        if f.type_name == 'string':
            expr = 'StringFieldSize(%d, %s_)' % (f.number, f.name)
        elif f.type_name == 'int32':
            expr = 'Int32FieldSize(%d, %s_)' % (f.number, f.name)
        else:
            expr = 'Int64FieldSize(%d, %s_)' % (f.number, f.name)
        if f.required:
            w('  size += %s;' % expr)
        else:
            w('  if (bits & 0x%Xu) size += %s;' % (f.bit, expr))
    w('  if (unknown_fields_) size += unknown_fields_->size();')
    w('  return size;')
    w('}')
    w('')

    # Writers.
    for kind, sig, tail in (('array', 'uint8_t* %s::WriteToArray(uint8_t* out) const {' % m,
                             ['  if (unknown_fields_) out = unknown_fields_->CopyTo(out);', '  return out;']),
                            ('chain', 'void %s::WriteToChain(ByteChain* chain) const {' % m,
                             ['  if (unknown_fields_) chain->AppendChain(*unknown_fields_);'])):
        w(sig)
        # A local copy: stores into the output may alias the message's members.
        w('  const uint32_t bits = has_bits_;')
        for f in fields:
            if kind == 'array':
                stmt = 'out = %s(%d, %s_, out);' % (f.kind.writer, f.number, f.name)
            else:
                stmt = '%s(%d, %s_, chain);' % (f.kind.chain_writer, f.number, f.name)
            if f.required:
                w('  ' + stmt)
            else:
                w('  if (bits & 0x%Xu) %s' % (f.bit, stmt))
        lines.extend(tail)
        w('}')
        w('')

    # MergeFromDecoder: a switch on the exact tag; after each field the next
    # field in number order is tried directly.
    w('bool %s::MergeFromDecoder(Decoder* input) {' % m)
    w('  // Works on a local copy of the decoder, so that its position can live in a')
    w('  // register, and hands the final position back.')
    w('  Decoder local = *input;')
    w('  Decoder* const decoder = &local;')
    w('  const bool ok = [&]() -> bool {')
    loop_start = len(lines)
    w('  for (;;) {')
    w('    const uint32_t tag = decoder->ReadTag();')
    w('    switch (tag) {')
    for i, f in enumerate(fields):
        w('      case 0x%Xu:' % f.tag)
        if i > 0:
            w('      parse_%s:' % f.name)
        if f.type_name == 'string':
            # The object is created only once the whole string is there.
            w('        if (!ReadStringInto(decoder, &%s_, %s_storage_)) return false;' % (f.name, f.name))
        else:
            w('        if (!decoder->%s(&%s_)) return false;' % (f.kind.reader, f.name))
        w('        has_bits_ |= 0x%Xu;' % f.bit)
        if i + 1 < len(fields):
            w('        if (decoder->ExpectTag(0x%Xu)) goto parse_%s;' % (fields[i + 1].tag, fields[i + 1].name))
        w('        break;')
    w('      case 0:')
    w('        // End of input, a zero tag or a malformed tag: only the first two,')
    w('        // with nothing after them, end the message.')
    w('        return decoder->AtEnd()%s;' % required_check(message))
    w('      default:')
    w('        if (!decoder->StoreUnknownField(tag, &unknown_fields_)) return false;')
    w('        break;')
    w('    }')
    w('  }')
    lines[loop_start:] = ['  ' + line for line in lines[loop_start:]]
    w('  }();')
    w('  *input = local;')
    w('  return ok;')
    w('}')
    w('')

    # MemoryFootprint.
    w('int32_t %s::MemoryFootprint() const {' % m)
    w('  int32_t size = static_cast<int32_t>(sizeof(*this));')
    for f in strings:
        w('  size += StringFootprint(%s_);' % f.name)
    w('  if (unknown_fields_) size += unknown_fields_->MemoryFootprint();')
    w('  return size;')
    w('}')
    return '\n'.join(lines)


def generate(messages, schema_name, include, proto_path):
    banner = '// Generated from %s by protocol/generator/generate_messages.py; do not edit.\n' % schema_name
    header = [banner, '#pragma once', '', '#include <cstdint>', '#include <new>', '#include <string>', '',
              '#include "net/proto/generated_support.h"', '#include "net/proto/protocol_message.h"', '']
    for msg in messages:
        header.append(header_for(msg))
        header.append('')
    source = [banner, '#include "%s"' % include, '', '#include <cstdint>', '#include <new>', '',
              '#include "net/proto/byte_chain.h"', '#include "net/proto/decoder.h"',
              '#include "net/proto/wire_writer.h"', '']
    for msg in messages:
        source.append(source_for(msg, schema_name))
        source.append('')
    return '\n'.join(header), '\n'.join(source)


def write_if_changed(path, text):
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--proto', required=True, help='schema file to read')
    ap.add_argument('--schema-name', required=True, help='file name recorded in the self-descriptions')
    ap.add_argument('--include', required=True, help='include path of the generated header')
    ap.add_argument('--header', required=True)
    ap.add_argument('--source', required=True)
    args = ap.parse_args()
    with open(args.proto, encoding='utf-8') as f:
        text = f.read()
    try:
        messages = Parser(tokenize(text)).parse()
    except SchemaError as e:
        sys.exit('%s: %s' % (args.proto, e))
    if not messages:
        sys.exit('%s: no messages' % args.proto)
    header, source = generate(messages, args.schema_name, args.include, args.proto)
    write_if_changed(args.header, header)
    write_if_changed(args.source, source)


if __name__ == '__main__':
    main()
