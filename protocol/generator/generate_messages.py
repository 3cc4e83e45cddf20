#!/usr/bin/env python3
"""Generates the message classes of one .proto schema file.

Reads a proto2 schema (messages with optional and required scalar and string
fields, explicit defaults, repeated groups nested to any depth, and enums) and
writes a C++ header and source holding, for each message: the class derived
from ProtocolMessage with its members, accessors and hand-unrolled codec, a
nested record class per group, its FieldInfo tables, its embedded
self-description (the schema encoded as a ProtocolDescriptor message), and its
static type record, registration and default instances.

usage: generate_messages.py --proto FILE --schema-name NAME --include PATH
                            --header OUT.h --source OUT.cc [--statics-on-first-use]
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
    'group': Kind(None, 3, 10, '', None, None, None),
}
LABELS = {'optional': 1, 'required': 2, 'repeated': 3}
WIRETYPE_ENDGROUP = 4
# Value bytes of the kinds whose encoded length does not depend on the value.
FIXED_VALUE_SIZE = {'bool': 1, 'fixed32': 4, 'double': 8}
MAX_FIELD_NUMBER = (1 << 29) - 1


def varint(value):
    value &= (1 << 64) - 1
    out = bytearray()
    while value >= 0x80:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    out.append(value)
    return bytes(out)


def snake_case(name):
    return re.sub(r'(?<=[a-z0-9])([A-Z])', r'_\1', name).lower()


class Field:
    def __init__(self, label, type_name, name, number, explicit_default, record=None):
        self.label = label
        self.type_name = type_name
        self.kind = KINDS[type_name]
        self.name = name
        self.number = number
        self.explicit_default = explicit_default  # text as written, or None
        self.record = record   # the group's own record, for a group field
        self.bit = None        # has-bit mask within the owning record
        self.full_name = name  # with the enclosing groups' names in front

    @property
    def required(self):
        return self.label == 'required'

    @property
    def is_group(self):
        return self.type_name == 'group'

    @property
    def tag(self):
        return (self.number << 3) | self.kind.wire

    @property
    def end_tag(self):
        return (self.number << 3) | WIRETYPE_ENDGROUP

    @property
    def tag_size(self):
        return len(varint(self.tag))

    @property
    def accessor(self):
        return snake_case(self.name) if self.is_group else self.name

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


class Record:
    """A message or a group: fields of its own, has-bits and an unknown-field chain."""

    def __init__(self, name, parent=None):
        self.name = name
        self.parent = parent  # enclosing record, None for a message
        self.fields = []      # declaration order
        self.enums = []       # (name, [(value name, value)]) of a message

    @property
    def is_message(self):
        return self.parent is None

    @property
    def cpp_name(self):
        return self.name if self.parent is None else self.parent.cpp_name + '::' + self.name

    @property
    def message(self):
        return self if self.parent is None else self.parent.message

    @property
    def by_number(self):
        return sorted(self.fields, key=lambda f: f.number)

    @property
    def scalars(self):
        return [f for f in self.fields if not f.is_group]

    @property
    def groups(self):
        return [f for f in self.fields if f.is_group]

    def flattened(self):
        """Every field in declaration order, each group followed by its own fields."""
        out = []
        for f in self.fields:
            out.append(f)
            if f.is_group:
                out.extend(f.record.flattened())
        return out

    def group_records(self):
        """The records of the groups inside, depth first."""
        out = []
        for f in self.groups:
            out.append(f.record)
            out.extend(f.record.group_records())
        return out


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
                record = Record(self.take())
                self.parse_body(record)
                finish(record)
                messages.append(record)
            else:
                raise SchemaError('unexpected %r' % t)
        return messages

    def parse_body(self, record):
        self.take('{')
        while self.peek() != '}':
            if self.peek() == 'enum':
                self.take()
                if not record.is_message:
                    raise SchemaError('%s: enums belong to messages, not groups' % record.cpp_name)
                record.enums.append(self.parse_enum())
                continue
            label = self.take()
            if label not in LABELS:
                raise SchemaError('%s: unsupported label %r' % (record.cpp_name, label))
            type_name = self.take()
            if type_name not in KINDS:
                raise SchemaError('%s: unsupported type %r' % (record.cpp_name, type_name))
            if (type_name == 'group') != (label == 'repeated'):
                raise SchemaError('%s: only groups are repeated, and groups only repeated' % record.cpp_name)
            name = self.take()
            self.take('=')
            number = int(self.take(), 0)
            if type_name == 'group':
                group = Record(name, record)
                self.parse_body(group)
                record.fields.append(Field(label, type_name, name, number, None, group))
                continue
            default = None
            if self.peek() == '[':
                self.take('[')
                self.take('default')
                self.take('=')
                default = self.take()
                if default.startswith('"'):
                    default = default[1:-1]
                    if '\\' in default:
                        raise SchemaError('%s.%s: escapes in defaults are not supported' % (record.cpp_name, name))
                self.take(']')
            self.take(';')
            record.fields.append(Field(label, type_name, name, number, default))
        self.take('}')

    def parse_enum(self):
        name = self.take()
        values = []
        self.take('{')
        while self.peek() != '}':
            value_name = self.take()
            self.take('=')
            values.append((value_name, int(self.take(), 0)))
            self.take(';')
        self.take('}')
        return name, values


def assign_bits(record, prefix):
    # Has-bits follow declaration order of the record's own non-group fields.
    scalars = record.scalars
    if len(scalars) > 32:
        raise SchemaError('%s: more than 32 fields in one record' % record.cpp_name)
    for i, f in enumerate(scalars):
        f.bit = 1 << i
    for f in record.fields:
        f.full_name = prefix + f.name
        if f.is_group:
            assign_bits(f.record, f.full_name + '.')


def finish(message):
    assign_bits(message, '')
    numbers = set()
    for f in message.flattened():
        # One table by number covers the message and its groups.
        if not 1 <= f.number <= MAX_FIELD_NUMBER:
            raise SchemaError('%s: field number out of range' % f.full_name)
        if f.number in numbers:
            raise SchemaError('%s: field number %d used twice' % (message.name, f.number))
        numbers.add(f.number)
        if f.type_name == 'string' and f.explicit_default not in (None, ''):
            raise SchemaError('%s: string defaults other than empty are not supported' % f.full_name)
        if f.type_name == 'bool' and f.default_text not in ('true', 'false'):
            raise SchemaError('%s: bad bool default' % f.full_name)
    if max(numbers, default=0) > 4096:
        raise SchemaError('%s: the table by number would be too large' % message.name)


# ---------------------------------------------------------------------------
# Self-description: the schema encoded as a ProtocolDescriptor message


def tag_bytes(number, wire):
    return varint((number << 3) | wire)


def string_field(number, text):
    data = text.encode('utf-8')
    return tag_bytes(number, 2) + varint(len(data)) + data


def int32_field(number, value):
    return tag_bytes(number, 0) + varint(value)


def self_description(message, schema_name):
    # ProtocolDescriptor, in field-number order: name (1); a Tag group (2) per
    # field in declaration order with name (3), number (4), wire_type (5),
    # declared_type (6), label (7), default_value (8), parent (12); filename (11);
    # an EnumType group (14) per enum with name (15) and a Tag group (17) per
    # value with name (18) and value (19).
    out = bytearray(string_field(1, message.name))
    index = {}
    parents = {}

    def note_parents(record, parent_index):
        for f in record.fields:
            parents[id(f)] = parent_index
    note_parents(message, -1)
    for i, f in enumerate(message.flattened()):
        index[id(f)] = i
        if f.is_group:
            note_parents(f.record, i)
        out += tag_bytes(2, 3)
        out += string_field(3, f.name)
        out += int32_field(4, f.number)
        out += int32_field(5, f.kind.wire)
        out += int32_field(6, f.kind.declared)
        out += int32_field(7, LABELS[f.label])
        if f.explicit_default is not None:
            out += string_field(8, f.explicit_default)
        if parents[id(f)] != -1:
            out += int32_field(12, parents[id(f)])
        out += tag_bytes(2, 4)
    out += string_field(11, schema_name)
    for name, values in message.enums:
        out += tag_bytes(14, 3)
        out += string_field(15, name)
        for value_name, value in values:
            out += tag_bytes(17, 3)
            out += string_field(18, value_name)
            out += int32_field(19, value)
            out += tag_bytes(17, 4)
        out += tag_bytes(14, 4)
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


def indent_lines(lines, by):
    return [(by + line) if line else line for line in lines]


def record_header(record):
    """The class of a message or of a group record (groups nest inside)."""
    m = record.name
    lines = []
    w = lines.append
    if record.is_message:
        w('class %s final : public ProtocolMessage {' % m)
    else:
        w('// One entry of the repeated group %s.' % record.cpp_name)
        w('class %s final {' % m)
    w(' public:')
    for f in record.groups:
        lines.extend(indent_lines(record_header(f.record), '  '))
        w('')
    w('  %s();' % m)
    w('  ~%s()%s;' % (m, ' override' if record.is_message else ''))
    w('  %s(const %s&) = delete;' % (m, m))
    w('  %s& operator=(const %s&) = delete;' % (m, m))
    w('')
    w('  static const %s& default_instance();' % m)
    if record.is_message:
        w('  // The schema of this class encoded as a ProtocolDescriptor message.')
        w('  static const uint8_t* self_description();')
        w('  static int32_t self_description_size();')
        w('')
        w('  const char* FindMissingField() const override;')
        w('  void Clear() override;')
        w('  void WriteToChain(ByteChain* chain) const override;')
        w('  uint8_t* WriteToArray(uint8_t* out) const override;')
        w('  bool MergeFromDecoder(Decoder* decoder) override;')
        w('  // The same on bare positions: the position after the message, or null.')
        w('  const uint8_t* MergeFromRange(const uint8_t* pos, const uint8_t* end);')
        w('  const MessageType& GetType() const override;')
        w('  ProtocolMessage* NewInstance() const override;')
        w('  int32_t EncodedSize() const override;')
        w('  int32_t MemoryFootprint() const override;')
    else:
        w('')
        w('  // As the ProtocolMessage operations; the encoding and its size leave out')
        w('  // the entry\'s own start and end tags, and decoding ends at the end tag.')
        w('  const char* FindMissingField() const;')
        w('  void Clear();')
        w('  void WriteToChain(ByteChain* chain) const;')
        w('  uint8_t* WriteToArray(uint8_t* out) const;')
        w('  bool MergeFromDecoder(Decoder* decoder) {')
        w('    const uint8_t* const next = MergeFromRange(decoder->position(), decoder->limit());')
        w('    if (!next) return false;')
        w('    decoder->AdvanceTo(next);')
        w('    return true;')
        w('  }')
        w('  // The same on bare positions: the position after the end tag, or null.')
        w('  const uint8_t* MergeFromRange(const uint8_t* pos, const uint8_t* end);')
        w('  int32_t EncodedSize() const;')
        w('  int32_t MemoryFootprint() const;')
    for f in record.fields:
        n = f.accessor
        w('')
        w('  // %s %s %s = %d' % (f.label, f.type_name, f.name, f.number))
        if f.is_group:
            t = f.record.name
            w('  int32_t %s_size() const { return %s_.size(); }' % (n, n))
            w('  const %s& %s(int32_t index) const { return %s_.Get(index); }' % (t, n, n))
            w('  %s* mutable_%s(int32_t index) { return %s_.Mutable(index); }' % (t, n, n))
            w('  // A new entry at the end (a kept record when there is one); null when out')
            w('  // of memory.')
            w('  %s* add_%s() { return %s_.Add(); }' % (t, n, n))
            w('  const RepeatedGroup<%s>& %s_list() const { return %s_; }' % (t, n, n))
            continue
        w('  bool has_%s() const { return (has_bits_ & 0x%Xu) != 0; }' % (n, f.bit))
        if f.type_name == 'string':
            # A string whose has-bit is clear reads as empty: Clear leaves the
            # object's bytes in place (see Clear) and they are dropped on first use.
            w('  const std::string& %s() const { return (has_bits_ & 0x%Xu) != 0 ? *%s_ : EmptyProtoString(); }'
              % (n, f.bit, n))
            w('  void set_%s(const std::string& bytes) { mutable_%s()->assign(bytes); }' % (n, n))
            w('  std::string* mutable_%s() {' % n)
            w('    std::string* const value = ConstructStringIn(&%s_, %s_storage_);' % (n, n))
            w('    if ((has_bits_ & 0x%Xu) == 0) {' % f.bit)
            w('      value->clear();')
            w('      has_bits_ |= 0x%Xu;' % f.bit)
            w('    }')
            w('    return value;')
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
    for f in record.by_number:
        if f.is_group:
            w('  RepeatedGroup<%s> %s_;' % (f.record.name, f.accessor))
        else:
            w('  %s %s_;' % (f.kind.cpp, f.name))
    w('  uint32_t has_bits_;')
    w('  ByteChain* unknown_fields_;')
    strings = [f for f in record.by_number if f.type_name == 'string']
    if strings:
        w('  // Room for the string objects, each constructed on its first write.')
    for f in strings:
        w('  alignas(std::string) unsigned char %s_storage_[sizeof(std::string)];' % f.name)
    w('};')
    return lines


def bit_count(mask):
    """A C++ expression counting the set bits of `bits` under `mask`."""
    positions = [i for i in range(32) if mask >> i & 1]
    if len(positions) > 8:
        return 'SetBitCount(bits & 0x%Xu)' % mask
    # Independent single-bit terms add in parallel; shorter than a full count.
    terms = ['(bits >> %d & 1u)' % i if i else '(bits & 1u)' for i in positions]
    return 'static_cast<int32_t>(%s)' % ' + '.join(terms)


def required_mask(record):
    mask = 0
    for f in record.scalars:
        if f.required:
            mask |= f.bit
    return mask


def has_nested_requirements(record):
    return any(f.required for f in record.flattened() if f not in record.fields)


def string_value(f):
    """The string object a writer takes: null (written as empty) when the has-bit
    is clear, since a cleared object may still hold earlier bytes. Optional
    fields are only written with their has-bit set."""
    if f.required:
        return '(bits & 0x%Xu) != 0 ? %s_ : nullptr' % (f.bit, f.name)
    return '%s_' % f.name


def own_group_field(record):
    """The group field of the enclosing record that `record` is the entries of."""
    return next(f for f in record.parent.groups if f.record is record)


def expectable(tag):
    """Whether Decoder::ExpectTag can match `tag`: it compares at most two bytes,
    so fields with longer tags are only reached through the switch."""
    return len(varint(tag)) <= 2


def value_parse(f):
    """The statements that read one value of field `f` (one entry of a group)
    into its member and mark it present; they return null on failure."""
    if f.is_group:
        return ['{',
                '  %s* const entry = %s_.Add();' % (f.record.name, f.accessor),
                '  if (!entry) return nullptr;',
                '  const uint8_t* const next = entry->MergeFromRange(decoder->position(), decoder->limit());',
                '  if (!next) return nullptr;',
                '  decoder->AdvanceTo(next);',
                '}']
    if f.type_name == 'string':
        # The object is created only once the whole string is there.
        read = 'ReadStringInto(decoder, &%s_, %s_storage_)' % (f.name, f.name)
    elif f.kind.reader:
        read = 'decoder->%s(&%s_)' % (f.kind.reader, f.name)
    else:
        raise AssertionError('%s: no reader for %s fields' % (f.full_name, f.type_name))
    return ['if (!%s) return nullptr;' % read, 'has_bits_ |= 0x%Xu;' % f.bit]


def field_case(f, following):
    """The switch case of field `f`. In a message it is also the fast path
    through the field: fields usually arrive in number order, so after its value
    the case tries the tag of the field that follows in number order
    (`following`, whose case comes next) and falls through into it when it
    matches, without a dispatch; a group first takes its further entries. With
    no `following` the case just reads the value."""
    lines = ['case 0x%Xu:' % f.tag]
    body = value_parse(f)
    if f.is_group and expectable(f.tag):
        body = ['do ' + body[0]] + body[1:-1] + ['} while (decoder->ExpectTag(0x%Xu));' % f.tag]
    if following is not None and expectable(following.tag):
        body += ['if (!decoder->ExpectTag(0x%Xu)) break;' % following.tag, '[[fallthrough]];']
    else:
        body += ['break;']
    return lines + indent_lines(body, '  ')


def in_order_step(f):
    """One step of a group entry's in-order pass: the value of field `f` (for a
    group, each of its entries in a row) when the input continues with its tag."""
    body = value_parse(f)
    if f.is_group:
        return ['while (decoder->ExpectTag(0x%Xu)) ' % f.tag + body[0]] + body[1:]
    return ['if (decoder->ExpectTag(0x%Xu)) {' % f.tag] + indent_lines(body, '  ') + ['}']


def record_source(record):
    """Out-of-line members of one record class (a message's or a group's)."""
    m = record.cpp_name
    short = record.name
    fields = record.by_number
    strings = [f for f in fields if f.type_name == 'string']
    lines = []
    w = lines.append

    # Construction and destruction.
    init = ['%s_(%s)' % (f.name, 'nullptr' if f.type_name == 'string' else f.default_literal())
            for f in fields if not f.is_group]
    init += ['has_bits_(0)', 'unknown_fields_(nullptr)']
    w('%s::%s()' % (m, short))
    w('    : ' + ',\n      '.join(init) + ' {}')
    w('')
    w('%s::~%s() {' % (m, short))
    for f in strings:
        w('  DestroyString(%s_);' % f.name)
    w('  delete unknown_fields_;')
    w('}')
    w('')

    # FindMissingField: own required fields, then each group's entries, in
    # declaration order.
    w('const char* %s::FindMissingField() const {' % m)
    for f in record.fields:
        if f.is_group:
            if any(g.required for g in f.record.flattened()):
                w('  for (int32_t i = 0; i < %s_.size(); ++i) {' % f.accessor)
                w('    if (const char* missing = %s_.Get(i).FindMissingField()) return missing;' % f.accessor)
                w('  }')
        elif f.required:
            w('  if (!(has_bits_ & 0x%Xu)) return "missing field: %s";' % (f.bit, f.full_name))
    w('  return nullptr;')
    w('}')
    w('')

    # Clear: group entries are cleared and kept for reuse. A string object keeps
    # its bytes and capacity; with its has-bit clear it reads, encodes and sizes as
    # empty, and the next decode overwrites the bytes in place without a library
    # call (the object is only shortened, never grown, when the new string fits).
    w('void %s::Clear() {' % m)
    for f in fields:
        if f.is_group:
            w('  %s_.Clear();' % f.accessor)
        elif f.type_name != 'string':
            w('  %s_ = %s;' % (f.name, f.default_literal()))
    w('  has_bits_ = 0;')
    w('  delete unknown_fields_;')
    w('  unknown_fields_ = nullptr;')
    w('}')
    w('')

    # EncodedSize: fixed-size optional fields are counted from the has-bits. The
    # tag of a field numbered 16 or more takes two bytes (or more), so each
    # field's own tag length is part of its size.
    w('int32_t %s::EncodedSize() const {' % m)
    constant = sum(f.tag_size + FIXED_VALUE_SIZE[f.type_name] for f in fields
                   if f.required and f.type_name in FIXED_VALUE_SIZE)
    w('  int32_t size = %d;' % constant)
    by_size = {}
    for f in fields:
        if not f.required and f.type_name in FIXED_VALUE_SIZE:
            size = f.tag_size + FIXED_VALUE_SIZE[f.type_name]
            by_size[size] = by_size.get(size, 0) | f.bit
    w('  const uint32_t bits = has_bits_;')
    if not by_size and all(f.is_group or f.required for f in fields):
        w('  (void)bits;')
    for size, mask in sorted(by_size.items()):
        w('  size += %d * %s;' % (size, bit_count(mask)))
    for f in fields:
        if f.type_name in FIXED_VALUE_SIZE:
            continue
        if f.is_group:
            w('  size += %d * %s_.size();' % (2 * f.tag_size, f.accessor))
            w('  for (int32_t i = 0; i < %s_.size(); ++i) size += %s_.Get(i).EncodedSize();'
              % (f.accessor, f.accessor))
            continue
        if f.type_name == 'string':
            expr = 'StringFieldSize(%d, %s)' % (f.number, string_value(f))
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
        if all(f.is_group or f.required for f in fields):
            w('  (void)bits;')
        for f in fields:
            if f.is_group:
                w('  for (int32_t i = 0; i < %s_.size(); ++i) {' % f.accessor)
                if kind == 'array':
                    w('    out = WriteVarint32ToArray(0x%Xu, out);' % f.tag)
                    w('    out = %s_.Get(i).WriteToArray(out);' % f.accessor)
                    w('    out = WriteVarint32ToArray(0x%Xu, out);' % f.end_tag)
                else:
                    w('    WriteVarint32(0x%Xu, chain);' % f.tag)
                    w('    %s_.Get(i).WriteToChain(chain);' % f.accessor)
                    w('    WriteVarint32(0x%Xu, chain);' % f.end_tag)
                w('  }')
                continue
            value = string_value(f) if f.type_name == 'string' else f.name + '_'
            if kind == 'array':
                stmt = 'out = %s(%d, %s, out);' % (f.kind.writer, f.number, value)
            else:
                stmt = '%s(%d, %s, chain);' % (f.kind.chain_writer, f.number, value)
            if f.required:
                w('  ' + stmt)
            else:
                w('  if (bits & 0x%Xu) %s' % (f.bit, stmt))
        lines.extend(tail)
        w('}')
        w('')

    # MergeFromRange: a switch on the exact tag, whose cases are also a message's
    # fast path (see field_case); a group entry has an in-order pass before it.
    # It works on bare positions and a local Decoder whose address never
    # escapes, so that the position lives in a register throughout.
    if record.is_message:
        w('bool %s::MergeFromDecoder(Decoder* input) {' % m)
        w('  const uint8_t* const next = MergeFromRange(input->position(), input->limit());')
        w('  if (!next) return false;')
        w('  input->AdvanceTo(next);')
        w('  return true;')
        w('}')
        w('')
    w('const uint8_t* %s::MergeFromRange(const uint8_t* pos, const uint8_t* end) {' % m)
    w('  Decoder local = Decoder::Resume(pos, end);')
    w('  Decoder* const decoder = &local;')
    end_tag = None if record.is_message else own_group_field(record).end_tag
    w('  for (;;) {')
    if not record.is_message:
        # A group's parser runs once per entry, so even one dispatch per entry
        # shows: each turn first takes the fields in number order and the end
        # tag, one compare of a tag each, and only a field out of order goes
        # through the switch, whose cases then need no fast path.
        for f in fields:
            if expectable(f.tag):
                lines.extend(indent_lines(in_order_step(f), '    '))
        if expectable(end_tag):
            w('    if (decoder->ExpectTag(0x%Xu)) return decoder->position();' % end_tag)
    w('    const uint32_t tag = decoder->ReadTag();')
    w('    switch (tag) {')
    for i, f in enumerate(fields):
        if record.is_message:
            following = fields[i + 1] if i + 1 < len(fields) else None
            lines.extend(indent_lines(field_case(f, following), '      '))
        else:
            lines.extend(indent_lines(field_case(f, None), '      '))
    if record.is_message:
        w('      case 0:')
        w('        // End of input, a zero tag or a malformed tag: only the first two,')
        w('        // with nothing after them, end the message.')
        if has_nested_requirements(record):
            w('        return decoder->AtEnd() && FindMissingField() == nullptr ? decoder->position() : nullptr;')
        else:
            mask = required_mask(record)
            check = ' && (has_bits_ & 0x%Xu) == 0x%Xu' % (mask, mask) if mask else ''
            w('        return decoder->AtEnd()%s ? decoder->position() : nullptr;' % check)
    else:
        w('      case 0x%Xu:' % end_tag)
        w('        return decoder->position();')
        w('      case 0:')
        w('        // The input ended (or broke off) before the entry\'s end tag.')
        w('        return nullptr;')
    w('      default:')
    w('        // Kept in this record; an end-group tag of another number fails here.')
    w('        if (!decoder->StoreUnknownField(tag, &unknown_fields_)) return nullptr;')
    w('        break;')
    w('    }')
    w('  }')
    w('}')
    w('')

    # MemoryFootprint.
    w('int32_t %s::MemoryFootprint() const {' % m)
    w('  int32_t size = static_cast<int32_t>(sizeof(*this));')
    for f in fields:
        if f.is_group:
            w('  size += %s_.MemoryFootprint();' % f.accessor)
    for f in strings:
        w('  size += StringFootprint(%s_);' % f.name)
    w('  if (unknown_fields_) size += unknown_fields_->MemoryFootprint();')
    w('  return size;')
    w('}')
    w('')
    return lines


def number_table_rows(m, names, index, highest):
    """Rows of the table by number: one per field, with its number and name; a
    long run of unused numbers is named once and filled eight to a row."""
    rows = []
    n = 0
    while n <= highest:
        if n in names:
            rows.append('    &k%sFields[%d],  // %d %s' % (m, index[n], n, names[n]))
            n += 1
            continue
        run_end = n
        while run_end + 1 <= highest and run_end + 1 not in names:
            run_end += 1
        count = run_end - n + 1
        if count < 8:
            rows.extend('    nullptr,  // %d' % k for k in range(n, run_end + 1))
        else:
            rows.append('    // %d to %d: unused' % (n, run_end))
            for k in range(0, count, 8):
                rows.append('    ' + ' '.join(['nullptr,'] * min(8, count - k)))
        n = run_end + 1
    return rows


def message_source(message, schema_name, eager_statics):
    m = message.name
    lines = []
    w = lines.append

    # Tables.
    decl = message.flattened()
    w('namespace {')
    w('')
    w('const FieldInfo k%sFields[] = {' % m)
    w('    kErrorCodeFieldInfo,')
    for f in decl:
        w('    {%s, %s, %d, %d, %d, %d, %s},' % (c_string(f.full_name), c_string(f.name), f.number, f.kind.wire,
                                             f.kind.declared, LABELS[f.label], c_string(f.default_text)))
    w('};')
    index = {f.number: i + 1 for i, f in enumerate(decl)}
    highest = max((f.number for f in decl), default=0)
    by_number = {0: 'ErrorCode'}
    by_number.update((f.number, f.full_name) for f in decl)
    index[0] = 0
    w('const FieldInfo* const k%sByNumber[] = {' % m)
    lines.extend(number_table_rows(m, by_number, index, highest))
    w('};')
    names = sorted([('ErrorCode', 0)] + [(f.full_name, index[f.number]) for f in decl],
                   key=lambda p: p[0].encode('utf-8'))
    w('const FieldInfo* const k%sByName[] = {' % m)
    for name, i in names:
        w('    &k%sFields[%d],  // %s' % (m, i, name))
    w('};')
    desc = self_description(message, schema_name)
    w('const uint8_t k%sSelfDescription[] = {' % m)
    w(byte_rows(desc))
    w('};')
    w('')
    groups = message.group_records()
    if groups:
        w('// The type record, its registration and the default instance, then the')
        w('// default instances of the group records.')
        w('struct %sStatics : GeneratedStatics<%s> {' % (m, m))
        w('  using GeneratedStatics<%s>::GeneratedStatics;' % m)
        for g in groups:
            w('  %s %s_default;' % (g.cpp_name, snake_case(g.cpp_name.replace('::', ''))))
        w('};')
    else:
        w('using %sStatics = GeneratedStatics<%s>;' % (m, m))
    w('')
    w('%sStatics& %sStaticData() {' % (m, m))
    w('  static %sStatics statics(%s, k%sFields, %d, k%sByNumber, %d, k%sByName, k%sSelfDescription,'
      % (m, c_string(m.lower()), m, len(decl) + 1, m, highest, m, m))
    w('                           static_cast<int32_t>(sizeof k%sSelfDescription));' % m)
    w('  return statics;')
    w('}')
    w('')
    if eager_statics:
        w('// Builds the type record, registers it and constructs the default instance')
        w('// during static initialisation.')
        w('const bool k%sStaticsBuilt = (%sStaticData(), true);' % (m, m))
        w('')
    w('}  // namespace')
    w('')
    w('const %s& %s::default_instance() { return %sStaticData().default_instance; }' % (m, m, m))
    for g in groups:
        w('const %s& %s::default_instance() { return %sStaticData().%s_default; }'
          % (g.cpp_name, g.cpp_name, m, snake_case(g.cpp_name.replace('::', ''))))
    w('const MessageType& %s::GetType() const { return %sStaticData().type; }' % (m, m))
    w('const uint8_t* %s::self_description() { return k%sSelfDescription; }' % (m, m))
    w('int32_t %s::self_description_size() { return static_cast<int32_t>(sizeof k%sSelfDescription); }' % (m, m))
    w('ProtocolMessage* %s::NewInstance() const { return new (std::nothrow) %s; }' % (m, m))
    w('')
    for g in groups:
        lines.extend(record_source(g))
    lines.extend(record_source(message))
    return '\n'.join(lines)


def generate(messages, schema_name, include, eager_statics):
    banner = '// Generated from %s by protocol/generator/generate_messages.py; do not edit.\n' % schema_name
    header = [banner, '#pragma once', '', '#include <cstdint>', '#include <new>', '#include <string>', '',
              '#include "net/proto/generated_support.h"', '#include "net/proto/protocol_message.h"', '']
    for msg in messages:
        header.extend(record_header(msg))
        header.append('')
    source = [banner, '#include "%s"' % include, '', '#include <cstdint>', '#include <new>', '',
              '#include "net/proto/byte_chain.h"', '#include "net/proto/wire_codec.h"', '']
    for msg in messages:
        source.append(message_source(msg, schema_name, eager_statics))
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
    ap.add_argument('--statics-on-first-use', action='store_true',
                    help='build the type records and default instances on first use instead of '
                         'during static initialisation, so that a program can place them in its '
                         'own start-up order')
    args = ap.parse_args()
    with open(args.proto, encoding='utf-8') as f:
        text = f.read()
    try:
        messages = Parser(tokenize(text)).parse()
    except SchemaError as e:
        sys.exit('%s: %s' % (args.proto, e))
    if not messages:
        sys.exit('%s: no messages' % args.proto)
    header, source = generate(messages, args.schema_name, args.include, not args.statics_on_first_use)
    write_if_changed(args.header, header)
    write_if_changed(args.source, source)


if __name__ == '__main__':
    main()
