// The class object of a server class: creates instances through the class's
// instance creator and turns lock-server requests into module locks.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace ci {

// Creates one instance, plain (outer null) or as the inner object of an aggregate
// (outer set; the iid is then IID_IUnknown).
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

class ClassFactory final : public IClassFactory {
 public:
  // The class-object creator of a class-table entry: a new class object asked for `iid`.
  static HRESULT Create(InstanceCreator creator, REFIID iid, void** object);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  explicit ClassFactory(InstanceCreator creator) : creator_(creator) {}
  ~ClassFactory() = default;

  InstanceCreator creator_;
  // Interlocked: COM may call a class object from any thread. 0 until Create's
  // ComPtr takes the first reference.
  LONG refs_ = 0;
};

}  // namespace ci
