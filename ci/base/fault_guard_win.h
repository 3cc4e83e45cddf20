// Calls into libraries bound at run time, made so that a fault inside the library
// (an access violation, an illegal instruction, a division by zero) ends the call
// as a failure and the process goes on. See docs/architecture.md, "Fault guard".
#pragma once

namespace ci {

// Runs body(context) on the calling thread. Returns true when it returned, false
// when it faulted; after a fault, frames between the guard and the fault are
// abandoned without running their cleanup. Guards nest.
bool RunGuarded(void (*body)(void* context), void* context);

// Runs call() under RunGuarded; returns its result, or `on_fault` when it faulted.
// `call` is typically a lambda making one library call.
template <typename R, typename Call>
R GuardedCall(R on_fault, const Call& call) {
  struct Frame {
    const Call* call;
    R result;
  } frame{&call, on_fault};
  const bool completed = RunGuarded(
      [](void* context) {
        Frame& f = *static_cast<Frame*>(context);
        f.result = (*f.call)();
      },
      &frame);
  return completed ? frame.result : on_fault;
}

// GuardedCall of fn(args...), for calls whose arguments have their exact types.
template <typename R, typename Fn, typename... Args>
R CallGuarded(R on_fault, Fn fn, Args... args) {
  return GuardedCall<R>(on_fault, [&] { return static_cast<R>(fn(args...)); });
}

}  // namespace ci
