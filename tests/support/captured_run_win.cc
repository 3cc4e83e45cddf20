#include "tests/support/captured_run_win.h"

#include "ci/base/win_handles.h"
#include "tests/support/processes_win.h"

namespace ci {
namespace test {
namespace {

struct Pipe {
  UniqueHandle read_end;
  UniqueHandle write_end;  // inheritable, for the program
};

bool MakePipe(Pipe* pipe) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 1 << 20)) return false;
  pipe->read_end.reset(read_end);
  pipe->write_end.reset(write_end);
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  return true;
}

// Appends what `pipe` holds now, without waiting for more.
void Drain(HANDLE pipe, std::string* text) {
  DWORD available = 0;
  while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) || got == 0) return;
    text->append(buffer, got);
  }
}

}  // namespace

CapturedRun RunCapturingOutput(const WString& command_line, ErrorOutput error_output) {
  CapturedRun run;
  const bool apart = error_output == ErrorOutput::kApart;
  Pipe output;
  Pipe error;
  if (!MakePipe(&output) || (apart && !MakePipe(&error))) return run;
  OutputHandles handles;
  handles.output = output.write_end.get();
  handles.error = apart ? error.write_end.get() : output.write_end.get();
  const UniqueHandle process = StartProcess(command_line, &handles);
  if (!process) {
    (apart ? run.error : run.output) = "(the program could not be started)";
    return run;
  }
  output.write_end.reset();  // the program holds its own copies
  error.write_end.reset();
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    const bool ended = ::WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0;
    Drain(output.read_end.get(), &run.output);
    if (apart) Drain(error.read_end.get(), &run.error);
    if (ended || ::GetTickCount64() - start > 60000) break;
  }
  ::GetExitCodeProcess(process.get(), &run.exit_code);
  return run;
}

}  // namespace test
}  // namespace ci
