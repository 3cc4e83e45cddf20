// Loading from the system directory, and the fault guard for calls into what was
// loaded.
#include "ci/base/runtime_library_win.h"

#include <cstdint>
#include <string>

namespace ci {
namespace {

std::wstring SystemDirectoryPath(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  if (std::wstring(name).find(L'.') == std::wstring::npos) path += L".dll";
  return path;
}

}  // namespace

UniqueLibrary LoadSystemLibrary(const wchar_t* name, LoadLibraryExFn load) {
  if (HMODULE module = load(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return UniqueLibrary(module);
  }
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return UniqueLibrary();
  // The flag is unknown to this loader. A full path is never searched for; the
  // library's own imports are then looked up from its directory first.
  const std::wstring path = SystemDirectoryPath(name);
  if (path.empty()) return UniqueLibrary();
  return UniqueLibrary(load(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// --- Guarded calls ---------------------------------------------------------------

// The fault guard is a vectored exception handler plus a per-thread chain of jump
// targets. GCC has no __try, and a handler cannot safely longjmp out of the
// exception dispatcher, so the handler instead rewrites the faulting thread's
// context to resume in ResumeAtGuard on a fresh part of the same stack; that
// function runs as ordinary code and jumps (__builtin_longjmp: registers only, no
// unwinding through the library's frames) back into RunGuarded.
namespace {

struct GuardFrame {
  void* jump_buffer[5];  // __builtin_setjmp's buffer
  GuardFrame* outer;     // the guard this one nests in, or null
  DWORD fault_code;
#if defined(__i386__)
  // The frame-based handler chain at entry: the abandoned library frames may have
  // linked records into it that must not outlive them.
  void* handler_chain;
#endif
};

#if defined(__i386__)
// The head of the thread's frame-based handler chain, at fs:[0].
void* HandlerChain() {
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetHandlerChain(void* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }
#endif

bool IsFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return true;
    default:
      // Software exceptions (RaiseException, C++ throws) and stack overflow are
      // left to the library's own handlers and the process's.
      return false;
  }
}

class GuardState {
 public:
  static GuardState& Get() {
    static GuardState state;
    return state;
  }

  // TlsGetValue resets the last error; a handler that looks at a fault it does
  // not own must leave the thread's last error alone.
  GuardFrame* Current() const {
    const DWORD saved = ::GetLastError();
    GuardFrame* frame = static_cast<GuardFrame*>(::TlsGetValue(tls_index_));
    ::SetLastError(saved);
    return frame;
  }
  void SetCurrent(GuardFrame* frame) const { ::TlsSetValue(tls_index_, frame); }
  bool ready() const { return tls_index_ != TLS_OUT_OF_INDEXES && handler_ != nullptr; }

 private:
  GuardState();
  DWORD tls_index_;
  void* handler_;
};

[[noreturn]] __attribute__((noinline)) void ResumeAtGuard() {
  GuardFrame* frame = GuardState::Get().Current();
#if defined(__i386__)
  SetHandlerChain(frame->handler_chain);
#endif
  __builtin_longjmp(frame->jump_buffer, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  if (!IsFault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  GuardFrame* frame = GuardState::Get().Current();
  if (frame == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  frame->fault_code = info->ExceptionRecord->ExceptionCode;
  CONTEXT* context = info->ContextRecord;
  // Leave room below the faulting frame and enter ResumeAtGuard with the stack
  // aligned as after a call instruction.
  constexpr std::uintptr_t kGap = 1024;
#if defined(_WIN64)
  context->Rsp = ((context->Rsp - kGap) & ~static_cast<DWORD64>(15)) - 8;
  context->Rip = reinterpret_cast<DWORD64>(&ResumeAtGuard);
#else
  context->Esp = ((context->Esp - kGap) & ~static_cast<DWORD>(15)) - 4;
  context->Eip = reinterpret_cast<DWORD>(&ResumeAtGuard);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

GuardState::GuardState()
    : tls_index_(::TlsAlloc()),
      // First in line, so a fault inside a guarded call is claimed before the
      // library's own frame-based handlers see it (unlike an outermost __except,
      // which would let them look first); faults are never part of the normal
      // flow of the libraries we guard.
      handler_(::AddVectoredExceptionHandler(1, &OnException)) {}

}  // namespace

bool RunGuarded(void (*body)(void* context), void* context) {
  GuardState& state = GuardState::Get();
  if (!state.ready()) {
    // Without the handler a fault would end the process; refuse the call instead.
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  GuardFrame frame{};
  frame.outer = state.Current();
#if defined(__i386__)
  frame.handler_chain = HandlerChain();
#endif
  state.SetCurrent(&frame);
  if (__builtin_setjmp(frame.jump_buffer) != 0) {
    state.SetCurrent(frame.outer);
    ::SetLastError(frame.fault_code == EXCEPTION_ACCESS_VIOLATION ? ERROR_NOACCESS
                                                                  : ERROR_UNHANDLED_ERROR);
    return false;
  }
  body(context);
  const DWORD last_error = ::GetLastError();  // the call's own, for its caller
  state.SetCurrent(frame.outer);
  ::SetLastError(last_error);
  return true;
}

}  // namespace ci
