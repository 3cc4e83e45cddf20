// adminprefs.exe: command-line client of the administrative preferences server.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ci/base/utf8.h"
#include "net/proto/protocoltype.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tools/client_command.h"
#include "tools/crash_test_win.h"
#include "tools/doctor_win.h"
#include "tools/field_values.h"
#include "tools/hex.h"
#include "tools/hresult_text.h"
#include "tools/http_command_win.h"
#include "tools/schema_text.h"
#include "tools/secret_text.h"
#include "tools/server_client_win.h"

namespace ci {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitServerFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDamaged = 3;

// The message types this client knows, registered before anything runs.
const bool kMessageTypesReady =
    (MachinePreferencesProto::default_instance(), UserPreferencesProto::default_instance(),
     ProxySettingsProto::default_instance(), ProtocolDescriptor::default_instance(),
     RPC_ServiceDescriptor::default_instance(), true);

const char* OperationName(ServerOperation operation) {
  switch (operation) {
    case ServerOperation::kSaveAdminPreferences:
      return "SaveAdminPreferences";
    case ServerOperation::kSaveProxySettings:
      return "SaveProxySettings";
    case ServerOperation::kSaveAcceptingEula:
      return "SaveAcceptingEulaSettings";
  }
  return "";
}

std::string ResultWords(HResult hr) {
  std::string words = DescribeServerResult(hr);
  if (words.empty()) words = SystemMessage(hr);
  if (words.empty()) words = "unknown result";
  return words + " (" + HResultHex(hr) + ")";
}

int Send(const ClientCommand& command) {
  ServerOperation operation = ServerOperation::kSaveAdminPreferences;
  std::string message;
  bool null_message = false;
  if (command.raw_given) {
    message.assign(command.raw.begin(), command.raw.end());
  }
  const ProtocolMessage* prototype = MessageOf(command.kind);
  switch (command.kind) {
    case CommandKind::kSetPrefs:
      if (!command.raw_given) message = BuildMessage(*prototype, command.fields);
      break;
    case CommandKind::kSetProxy:
      operation = ServerOperation::kSaveProxySettings;
      if (!command.raw_given) message = BuildMessage(*prototype, command.fields);
      break;
    case CommandKind::kAcceptEula:
      operation = ServerOperation::kSaveAcceptingEula;
      if (!command.raw_given) {
        // Without preference options no preferences are sent (a null message).
        null_message = command.fields.empty();
        if (!null_message) message = BuildMessage(*prototype, command.fields);
      }
      break;
    default:
      return kExitUsage;
  }
  const std::vector<std::uint8_t> bytes(message.begin(), message.end());
  std::printf("%s(%s)\n", OperationName(operation),
              null_message ? "no message" : ("[" + FormatHex(bytes) + "]").c_str());
  bool activation_failed = false;
  const HResult hr = CallServer(operation, message, null_message, &activation_failed);
  if (activation_failed) {
    std::fprintf(stderr, "adminprefs: cannot reach the server: %s\n", ResultWords(hr).c_str());
    return kExitServerFailure;
  }
  if (FAILED(hr)) {
    std::fprintf(stderr, "adminprefs: %s failed: %s\n", OperationName(operation),
                 ResultWords(hr).c_str());
    return kExitServerFailure;
  }
  std::printf("%s: %s\n", OperationName(operation), ResultWords(hr).c_str());
  return kExitOk;
}

int Show(const ClientCommand& command) {
  const ShowReport report = FormatShowReport(ReadMachineValues(), command.json);
  std::fputs(report.text.c_str(), stdout);
  if (report.damaged) {
    std::fprintf(stderr, "adminprefs: a stored value is damaged (see above)\n");
    return kExitDamaged;
  }
  return kExitOk;
}

int Describe(const ClientCommand& command) {
  std::string text;
  std::string error;
  if (!DescribeRegisteredTypes(command.type_name, &text, &error)) {
    std::fprintf(stderr, "adminprefs: %s\n", error.c_str());
    return kExitUsage;
  }
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

int Run(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == kCrashTestChildCommand) {
    RunCrashTestChild(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (!args.empty() && IsHttpCommandName(args[0])) return RunHttpCommandLine(args);
  if (args.size() == 2 && args[0] == "help" && IsHttpCommandName(args[1])) {
    return RunHttpCommandLine({args[1], "--help"});
  }
  ClientCommand command;
  std::string error;
  if (!ParseClientCommand(args, &command, &error)) {
    std::fprintf(stderr, "adminprefs: %s\n", error.c_str());
    return kExitUsage;
  }
  switch (command.kind) {
    case CommandKind::kHelp:
      std::fputs(UsageText(command.help_topic).c_str(), stdout);
      return kExitOk;
    case CommandKind::kShow:
      return Show(command);
    case CommandKind::kDescribe:
      return Describe(command);
    case CommandKind::kCrashTest:
      return RunCrashTest(command.report_host, command.json);
    case CommandKind::kDoctor:
      return RunDoctor(command.json);
    default:
      return Send(command);
  }
}

}  // namespace
}  // namespace ci

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  const ci::WipeOnExit wipe_args(&args);  // an argument may be a password
  for (int i = 1; i < argc; ++i) {
    ci::WString wide = ci::FromWin(argv[i]);
    std::string narrow = ci::WideToUtf8(wide);
    args.push_back(std::move(narrow));
    ci::WipeText(&narrow);
    ci::WipeText(&wide);
  }
  const int code = ci::Run(args);
  std::fflush(stdout);
  return code;
}
