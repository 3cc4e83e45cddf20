#include "admin_prefs/module/class_factory.h"

#include <new>

#include "admin_prefs/module/module.h"
#include "ci/base/win_handles.h"

namespace ci {

HRESULT ClassFactory::Create(InstanceCreator creator, REFIID iid, void** object) {
  if (object == nullptr) return kE_POINTER;
  *object = nullptr;
  const ComPtr<ClassFactory> factory(new (std::nothrow) ClassFactory(creator));
  if (!factory) return kE_OUTOFMEMORY;
  return factory->QueryInterface(iid, object);
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return kE_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return kS_OK;
  }
  *object = nullptr;
  return kE_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG ClassFactory::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return kE_POINTER;
  *object = nullptr;
  // An aggregate may only ask its inner object for the non-delegating IUnknown.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return kCLASS_E_NOAGGREGATION;
  return creator_(outer, iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (AdminPrefsModule* module = AdminPrefsModule::Instance()) {
    if (lock) {
      module->locks().LockServer();
    } else {
      module->locks().UnlockServer();
    }
  }
  return kS_OK;
}

}  // namespace ci
