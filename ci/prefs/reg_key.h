// Registry access: RegKey owns one open key; its static operations take a whole
// key path ("HKLM\Software\..."), open or create the key, perform one value
// operation and close the key again. Results are HRESULTs; nothing is thrown.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"

namespace ci {

// Laid out as a table of virtual operations (the destructor, then Close) and the
// key handle; nothing in this system derives from it.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  virtual ~RegKey();

  // Closes the held key, if any; the mapped result of RegCloseKey, S_OK when empty.
  virtual HResult Close();

  HKEY handle() const { return key_; }

  // Creates (or opens) `sub_key` below `parent` with KEY_ALL_ACCESS. On success the
  // previously held key is closed and the result is that close's result; on failure
  // the held key is kept and the mapped error returned.
  HResult Create(HKEY parent, const WString& sub_key);
  // Opens `sub_key` below `parent` with `access`; same handle rules as Create.
  HResult Open(HKEY parent, const WString& sub_key, REGSAM access);

  // Writes a REG_BINARY value; a null `data` stores an empty value.
  HResult SetBinaryValue(const WString& value_name, const void* data, DWORD byte_count);
  // Removes a value; S_FALSE when it was not there.
  HResult DeleteValue(const WString& value_name);
  // Reads a value as text, always terminated: the text ends at the first zero
  // character, a missing terminator or an odd trailing byte does no harm.
  HResult QueryStringValue(const WString& value_name, WString* text);
  // Reads a value's bytes and stored type; an empty value gives no bytes and S_OK.
  // On failure `bytes` is left empty.
  HResult QueryBinaryValue(const WString& value_name, std::vector<std::uint8_t>* bytes,
                           DWORD* type);

  // --- Operations on a key path --------------------------------------------------

  // Returns the predefined root for the path's root name (null when unknown) and
  // replaces `key_path` with the sub-key path after the first backslash.
  static HKEY ParseRootKey(WString* key_path);

  // Writes one value, creating the key and any missing keys above it. `type` is
  // one of REG_SZ (data: a zero-terminated wide string; byte_count is not used),
  // REG_BINARY (byte_count bytes; null data stores an empty value), REG_DWORD
  // (data: a 32-bit integer), REG_QWORD (data: a 64-bit integer) or REG_MULTI_SZ
  // (the double-terminated block of byte_count bytes). Other types give
  // 0x8007065D (after the key has been created).
  static HResult SetValue(const WString& key_path, const WString& value_name, DWORD type,
                          const void* data, DWORD byte_count);

  // Reads one value; the overload chooses the type (REG_SZ, REG_BINARY, REG_DWORD,
  // REG_QWORD, REG_MULTI_SZ). An integer is read only from a value of its own
  // type and size (REG_DWORD, 4 bytes; REG_QWORD, 8 bytes); any other value reads
  // as absent (0x80070002). Text, bytes and lists are read whatever the stored
  // type. On failure the outputs are left empty (text, bytes, list) or unchanged
  // (integers). Nothing is thrown: an allocation that fails gives E_OUTOFMEMORY.
  static HResult GetValue(const WString& key_path, const WString& value_name, WString* text);
  static HResult GetValue(const WString& key_path, const WString& value_name,
                          std::vector<std::uint8_t>* bytes);
  static HResult GetValue(const WString& key_path, const WString& value_name, DWORD* value);
  static HResult GetValue(const WString& key_path, const WString& value_name, std::uint64_t* value);
  static HResult GetValue(const WString& key_path, const WString& value_name,
                          std::vector<WString>* list);
  // The same reads chosen by type code, for callers that carry the type as data;
  // `out` points to the output type of the overload above for `type`.
  static HResult GetValue(const WString& key_path, const WString& value_name, DWORD type,
                          void* out);

  // Removes one value (the key stays): S_OK, S_FALSE when the value was not there,
  // or the mapped error (0x80070002 when the key does not exist).
  static HResult DeleteValue(const WString& key_path, const WString& value_name);

  // True when the key exists and holds the value (with any data, empty included).
  static bool HasValue(const WString& key_path, const WString& value_name);

  // Splits REG_MULTI_SZ data into its strings (see ci/prefs/stored_value.h).
  static HResult SplitMultiString(std::size_t byte_count, const WChar* chars,
                                  std::vector<WString>* list);

 private:
  HResult Adopt(HKEY key);

  HKEY key_ = nullptr;
};

}  // namespace ci
