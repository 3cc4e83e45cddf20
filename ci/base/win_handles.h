// Small RAII owners for Windows handles and COM strings.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include "ci/base/win_result.h"

#include <utility>

namespace ci {

// Owns one value of a handle type and releases it with Traits::Close.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  Type release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Type value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For out-parameters: releases what is held and hands out the slot.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {  // handles whose invalid value is null (events, threads, mutexes)
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};

struct FileHandleTraits {  // handles whose invalid value is INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};

struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};

struct BstrTraits {
  using Type = BSTR;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type b) { return b != nullptr; }
  static void Close(Type b) { ::SysFreeString(b); }
};

struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::LocalFree(h); }
};

struct RegistryKeyTraits {  // raw keys; ci::RegKey is the registry layer's own owner
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type key) { return key != nullptr; }
  static void Close(Type key) { ::RegCloseKey(key); }
};

struct AllocatedSidTraits {  // SIDs from AllocateAndInitializeSid
  using Type = PSID;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type sid) { return sid != nullptr; }
  static void Close(Type sid) { ::FreeSid(sid); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueLibrary = UniqueResource<LibraryTraits>;
using UniqueBstr = UniqueResource<BstrTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueKey = UniqueResource<RegistryKeyTraits>;
using UniqueSid = UniqueResource<AllocatedSidTraits>;

// A BSTR used as a byte container (the serialised messages of the service).
inline UniqueBstr MakeByteBstr(const void* bytes, UINT length) {
  return UniqueBstr(::SysAllocStringByteLen(static_cast<LPCSTR>(bytes), length));
}

}  // namespace ci
