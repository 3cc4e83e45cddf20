// Entry of the administrative preferences server. No window: a GUI-subsystem
// program whose exit code is an HRESULT.
#include <windows.h>

#include "admin_prefs/admin_prefs_idl.h"
#include "admin_prefs/module/command_line.h"
#include "admin_prefs/module/module.h"
#include "admin_prefs/registration/registration.h"
#include "admin_prefs/service/admin_prefs_manager.h"
#include "ci/base/hresult.h"
#include "ci/crash/debug_observer.h"
#include "ci/crash/report_ids.h"
#include "ci/net/proxy_expressions.h"
#include "ci/net/proxy_state.h"
#include "net/proto/protocoltype.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"

namespace {

// Static initialisation, in this order: the message types with their default
// instances, the module (which initialises COM for this, the main thread), the
// failure-site counters, the compiled expressions and the proxy state, last the
// descriptor message types. Destruction runs in reverse: the proxy state (its
// password wiped) and the expressions go first, then the counters flush to the
// registry before the module undoes its COM initialisation.
const bool kMessageTypesReady =
    (MachinePreferencesProto::default_instance(), UserPreferencesProto::default_instance(),
     ProxySettingsProto::default_instance(), true);

// The crash observer, between the message types and the module; the server
// installs no failure handler that would call it.
ci::DebugObserverInstallation g_debug_observer;

ci::ClassEntry g_classes[] = {
    {&CLSID_AdminPrefsManagerCtl, &ci::AdminPrefsManager::CreateInstance, 0},
};

ci::AdminPrefsModule g_module(g_classes, sizeof(g_classes) / sizeof(g_classes[0]));

ci::ReportIds& g_report_ids = ci::GlobalReportIds();

ci::ProxyState& g_proxy_state = (ci::BuildProxyExpressions(), ci::GlobalProxyState());

const bool kDescriptorTypesReady =
    (ProtocolDescriptor::default_instance(), RPC_ServiceDescriptor::default_instance(), true);

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (g_module.initialisation_failed()) return -1;
  const ci::ServerCommand command = ci::ParseServerCommandLine(ci::FromWin(::GetCommandLineW()));
  if (command != ci::ServerCommand::kRunServer) {
    const ci::RegistrationSteps steps = {ci::RegisterAppId, ci::RegisterServer,
                                         ci::UnregisterServer, ci::UnregisterAppId};
    return ci::RunServerCommand(command, steps);
  }
  return g_module.RunServer();
}
