// AdminPrefsModule: the server process's one module object. It initialises COM
// for the main thread, counts the locks that keep the server alive, registers the
// class objects of its class table, pumps messages and ends the server once it
// has been idle (no locks) for the idle time-out.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <optional>

#include "admin_prefs/module/class_factory.h"
#include "admin_prefs/module/module_locks.h"
#include "admin_prefs/module/server_lifetime.h"
#include "ci/base/win_handles.h"

namespace ci {

// One class the server serves.
struct ClassEntry {
  const CLSID* clsid;
  InstanceCreator create_instance;
  DWORD cookie;  // of CoRegisterClassObject; 0 until registered
};

class AdminPrefsModule : private LifetimeSignals, private ServerSteps, private IdleEvent {
 public:
  // Makes this the process's module and initialises COM for the calling thread,
  // which becomes the main thread. `table` must outlive the module.
  AdminPrefsModule(ClassEntry* table, std::size_t table_size);
  AdminPrefsModule(const AdminPrefsModule&) = delete;
  AdminPrefsModule& operator=(const AdminPrefsModule&) = delete;

  virtual ~AdminPrefsModule();
  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount();
  // The process's global interface table, created on first use, with a reference added.
  virtual HRESULT GetGITPtr(IGlobalInterfaceTable** table);

  // The process's module, or null when none exists.
  static AdminPrefsModule* Instance();

  bool initialisation_failed() const { return init_failed_; }
  // Whether this module joined the main thread to its apartment, and so leaves it
  // at exit.
  bool com_initialised_here() const { return apartment_ && apartment_->joined(); }
  ModuleLocks& locks() { return lifetime_.locks(); }
  ServerLifetime& lifetime() { return lifetime_; }

  // Serves the class table until idle; the process exit code.
  HResult RunServer();

  // Where the message loop reads messages; GetMessageW unless replaced.
  using GetMessageFn = BOOL(WINAPI*)(MSG* message, HWND window, UINT first, UINT last);
  void set_get_message(GetMessageFn get_message) { get_message_ = get_message; }

 private:
  static DWORD WINAPI IdleMonitorThread(void* module);

  // LifetimeSignals
  void WakeIdleMonitor() override;
  void EndMessageLoop() override;
  // ServerSteps
  HResult RegisterClassObjects() override;
  HResult StartIdleMonitor() override;
  HResult RunMessageLoop() override;
  HResult SuspendAndRevokeClassObjects() override;
  HResult RegisterAndResumeClassObjects() override;
  void DispatchCallsFor(std::uint32_t ms) override;
  HResult RevokeClassObjects() override;
  // IdleEvent over the shutdown event
  WaitResult Wait(std::uint32_t timeout_ms) override;

  void FinishIdleMonitor();

  ClassEntry* table_;
  std::size_t table_size_;
  // Joined after the critical section is made; declared first among the owners so
  // that the thread leaves its apartment after everything else is released.
  std::optional<ComApartment> apartment_;
  ServerLifetime lifetime_{this};
  DWORD main_thread_id_;
  GetMessageFn get_message_ = &::GetMessageW;
  UniqueHandle shutdown_event_;
  UniqueHandle monitor_thread_;
  ComPtr<IGlobalInterfaceTable> git_;
  CRITICAL_SECTION git_lock_;
  bool git_lock_ready_ = false;
  bool init_failed_ = false;
};

}  // namespace ci
