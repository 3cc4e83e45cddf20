// COM ownership: one smart pointer for interface references and one scope for
// the calling thread's apartment, shared by the server, the client and the tests.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <wrl/client.h>

namespace ci {

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
