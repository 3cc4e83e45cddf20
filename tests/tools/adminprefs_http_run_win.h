// Running adminprefs.exe http from a test under with_tinyproxy.sh: the program,
// the proxy's environment, the URL of a loopback server of the test.
#pragma once

#include <windows.h>

#include <string>

#include "ci/base/utf8.h"
#include "tests/support/captured_run_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/processes_win.h"

namespace ci::test {

// Runs adminprefs.exe with `arguments`; standard output and error apart, the
// error's lines ended by "\n" alone (standard error is a text stream: CR LF).
inline CapturedRun RunAdminPrefs(const std::wstring& arguments) {
  const WString exe = FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe");
  CapturedRun run =
      RunCapturingOutput(Quoted(exe) + u" " + FromWin(arguments.c_str()), ErrorOutput::kApart);
  std::string lines;
  for (char c : run.error) {
    if (c != '\r') lines += c;
  }
  run.error = lines;
  return run;
}

// A variable of with_tinyproxy.sh ("" when unset).
inline std::wstring Env(const wchar_t* name) {
  wchar_t value[256];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 256);
  return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring();
}

// "SCHEME://ADDRESS:PORT" + `path` for a server of the test.
inline std::wstring UrlOf(const LoopbackHttpServer& server, const std::wstring& path,
                          const wchar_t* scheme = L"http") {
  return std::wstring(scheme) + L"://" + server.WideAddress() + L":" +
         std::to_wstring(server.port()) + path;
}

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace ci::test
