#include "admin_prefs/module/module.h"

#include "ci/base/hresult.h"

namespace ci {
namespace {

AdminPrefsModule* g_module = nullptr;

// How long the end of a run waits for the idle monitor thread, which ends as
// soon as it sees the stop request.
constexpr DWORD kMonitorExitWaitMs = 2000;

}  // namespace

AdminPrefsModule::AdminPrefsModule(ClassEntry* table, std::size_t table_size)
    : table_(table), table_size_(table_size), main_thread_id_(GetCurrentThreadId()) {
  if (!InitializeCriticalSectionAndSpinCount(&git_lock_, 0)) {
    init_failed_ = true;
    return;
  }
  git_lock_ready_ = true;
  g_module = this;

  // CoInitialize's single-threaded apartment. Joining may fail because another
  // party put the thread in the multithreaded one: ClassifyComInit decides whether
  // the server runs anyway; the apartment is left at exit only if joined here.
  apartment_.emplace(COINIT_APARTMENTTHREADED);
  const bool mscoree_loaded = GetModuleHandleW(L"Mscoree.dll") != nullptr;
  if (ClassifyComInit(apartment_->hr(), mscoree_loaded) == ComInitOutcome::kFailed) {
    init_failed_ = true;
  }
}

AdminPrefsModule::~AdminPrefsModule() {
  git_.Reset();
  if (git_lock_ready_) DeleteCriticalSection(&git_lock_);
  if (g_module == this) g_module = nullptr;
  // apartment_, the last member destroyed, leaves the apartment if it was joined.
}

AdminPrefsModule* AdminPrefsModule::Instance() { return g_module; }

LONG AdminPrefsModule::Lock() { return locks().Lock(); }

LONG AdminPrefsModule::Unlock() { return locks().Unlock(); }

LONG AdminPrefsModule::GetLockCount() { return locks().Count(); }

HRESULT AdminPrefsModule::GetGITPtr(IGlobalInterfaceTable** table) {
  if (table == nullptr) return kE_POINTER;
  *table = nullptr;
  HRESULT hr = kS_OK;
  EnterCriticalSection(&git_lock_);
  if (!git_) {
    hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IGlobalInterfaceTable, reinterpret_cast<void**>(git_.GetAddressOf()));
  }
  if (SUCCEEDED(hr)) git_.CopyTo(table);  // the caller's own reference
  LeaveCriticalSection(&git_lock_);
  return hr;
}

HResult AdminPrefsModule::RunServer() {
  const HResult hr = ci::RunServer(*this, lifetime_);
  FinishIdleMonitor();
  return hr;
}

HResult AdminPrefsModule::RegisterClassObjects() {
  HRESULT hr = kS_FALSE;
  for (std::size_t i = 0; i < table_size_ && SUCCEEDED(hr); ++i) {
    ClassEntry& entry = table_[i];
    // Ours is dropped at the end of the step: COM holds its own while registered.
    ComPtr<IUnknown> class_object;
    hr = ClassFactory::Create(entry.create_instance, IID_IUnknown,
                              reinterpret_cast<void**>(class_object.GetAddressOf()));
    if (FAILED(hr)) break;
    hr = CoRegisterClassObject(*entry.clsid, class_object.Get(), CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &entry.cookie);
  }
  return hr;
}

HResult AdminPrefsModule::StartIdleMonitor() {
  shutdown_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!shutdown_event_) return kE_FAIL;
  monitor_thread_.reset(
      CreateThread(nullptr, 0, &AdminPrefsModule::IdleMonitorThread, this, 0, nullptr));
  if (!monitor_thread_) {
    shutdown_event_.reset();
    return kE_FAIL;
  }
  return kS_OK;
}

HResult AdminPrefsModule::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = get_message_(&message, nullptr, 0, 0);
    if (got == 0) return kS_OK;  // the quit message
    if (got < 0) {
      // Messages cannot be read any more, so no call can be served: not idle.
      return HResultFromFailedCall();
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Suspension makes the system's activation service refuse new activations for
// this process (they start a new server); revocation also takes the class
// objects out of services that do not honour suspension. A client that obtained
// a class object just before still reaches it during the pause that follows.
HResult AdminPrefsModule::SuspendAndRevokeClassObjects() {
  CoSuspendClassObjects();
  return RevokeClassObjects();
}

HResult AdminPrefsModule::RegisterAndResumeClassObjects() {
  VU_RETURN_IF_FAILED(RegisterClassObjects());
  return CoResumeClassObjects();
}

void AdminPrefsModule::DispatchCallsFor(std::uint32_t ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    // A quit message here is dropped: the run looks at the locks after the pause.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, ms - spent, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

HResult AdminPrefsModule::RevokeClassObjects() {
  for (std::size_t i = 0; i < table_size_; ++i) {
    ClassEntry& entry = table_[i];
    if (entry.cookie == 0) continue;
    const HRESULT hr = CoRevokeClassObject(entry.cookie);
    if (FAILED(hr)) return hr;
    entry.cookie = 0;
  }
  return kS_OK;
}

void AdminPrefsModule::WakeIdleMonitor() {
  if (shutdown_event_) SetEvent(shutdown_event_.get());
}

void AdminPrefsModule::EndMessageLoop() { PostThreadMessageW(main_thread_id_, WM_QUIT, 0, 0); }

IdleEvent::WaitResult AdminPrefsModule::Wait(std::uint32_t timeout_ms) {
  switch (WaitForSingleObject(shutdown_event_.get(), timeout_ms)) {
    case WAIT_OBJECT_0:
      return WaitResult::kSignalled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimedOut;
    default:
      return WaitResult::kFailed;
  }
}

DWORD WINAPI AdminPrefsModule::IdleMonitorThread(void* param) {
  auto* module = static_cast<AdminPrefsModule*>(param);
  RunIdleMonitor(module->lifetime_, *module);
  return 0;
}

void AdminPrefsModule::FinishIdleMonitor() {
  if (!monitor_thread_) return;
  lifetime_.RequestStop();
  WakeIdleMonitor();
  // The event is closed only once the monitor is gone, so that neither a late
  // release nor the monitor itself uses a closed handle.
  if (WaitForSingleObject(monitor_thread_.get(), kMonitorExitWaitMs) == WAIT_OBJECT_0) {
    shutdown_event_.reset();
  } else {
    (void)shutdown_event_.release();  // still in use by a blocked monitor: left to process exit
  }
  monitor_thread_.reset();
}

}  // namespace ci
