// The platform-free decisions of the server module: how the result of COM
// initialisation is taken, and the order and results of running the server.
#pragma once

#include <cstdint>

#include "admin_prefs/module/module_locks.h"
#include "ci/base/hresult.h"

namespace ci {

enum class ComInitOutcome {
  kInitialisedHere,       // undo with CoUninitialize at exit
  kInitialisedElsewhere,  // another party set up COM in the other model; serve anyway
  kFailed,                // the module cannot run
};

// `hr` is CoInitialize's result; `mscoree_loaded` whether "Mscoree.dll" is in the
// process (its runtime initialises COM in the multithreaded model).
ComInitOutcome ClassifyComInit(HResult hr, bool mscoree_loaded);

// The steps of running the server, supplied by the Windows module.
class ServerSteps {
 public:
  // Registers every class object; the result of the last registration.
  virtual HResult RegisterClassObjects() = 0;
  // Creates the shutdown event and the idle monitor thread; E_FAIL when either fails.
  virtual HResult StartIdleMonitor() = 0;
  // Pumps messages until the quit message ends the loop (S_OK); a failure when
  // messages can no longer be read.
  virtual HResult RunMessageLoop() = 0;
  // Stops handing out objects to new activations, and starts again; calls to
  // class objects that clients already hold are still dispatched meanwhile.
  virtual HResult SuspendClassObjects() = 0;
  virtual HResult ResumeClassObjects() = 0;
  // Keeps dispatching incoming calls for `ms`, without ending at a quit message.
  virtual void ServeFor(std::uint32_t ms) = 0;
  // Revokes the registered class objects, stopping at the first failure.
  virtual HResult RevokeClassObjects() = 0;

 protected:
  ~ServerSteps() = default;
};

// Registers, serves until idle, revokes; returns the exit code: S_OK after an idle
// shutdown, otherwise the HRESULT of the step that failed (also when the message
// loop fails).
//
// The quit message is only a proposal: before ending, the class objects are
// suspended and, with delayed shutdown, the pause is spent still dispatching
// calls. If an object was created after the idle decision (the lock count is
// above zero, or a release has set the activity flag), the class objects are
// resumed and serving goes on, with the countdown armed again when nothing holds
// the server. So an activation that reached the server before it stopped handing
// out objects is always served by a process that keeps running. When suspending
// or registering the class objects again fails, the run ends with that failure,
// but only once the clients that hold objects have let go: their calls are still
// dispatched until then.
HResult RunServer(ServerSteps& steps, ModuleLocks& locks);

}  // namespace ci
