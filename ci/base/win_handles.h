// Owners of Windows resources: small RAII owners for handles and COM strings,
// one smart pointer for interface references and one scope for the calling
// thread's COM apartment, shared by the server, the client and the tests.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>
#include "ci/base/hresult.h"

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

// --- COM references and apartments -----------------------------------------------

// An owned interface reference: released on destruction or reset, AddRef'd on
// copy and on construction from a raw pointer. `&ptr` / `ptr.GetAddressOf()` /
// `ptr.ReleaseAndGetAddressOf()` for out-parameters, `ptr.Detach()` to hand
// ownership to a caller. MinGW's `Attach` adds a reference (the platform SDK's
// does not), so it cannot adopt one: an object created with one reference is
// adopted through an out-parameter, one created with none by construction.
template <typename Interface>
using ComPtr = Microsoft::WRL::ComPtr<Interface>;

// Joins the calling thread to a COM apartment for the scope's lifetime: a
// single-threaded one unless told otherwise. The thread leaves it on destruction
// only when joining succeeded (S_OK, or S_FALSE when it was already a member),
// so joins and leaves stay paired.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // CoInitializeEx's result: S_OK, S_FALSE, or a failure such as
  // RPC_E_CHANGED_MODE when the thread is already in an apartment of another kind.
  HRESULT hr() const { return hr_; }
  bool joined() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

}  // namespace ci
