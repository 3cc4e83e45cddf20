// Calls into libraries bound at run time, made so that a fault inside the library
// (an access violation, an illegal instruction, a division by zero) ends the call
// as a failure and the process goes on. See docs/architecture.md, "Fault guard".
#pragma once

#include <tuple>

namespace ci {

// Runs body(context) on the calling thread. Returns true when it returned, false
// when it faulted; after a fault, frames between the guard and the fault are
// abandoned without running their cleanup. Guards nest.
bool RunGuarded(void (*body)(void* context), void* context);

// Calls fn(args...) under RunGuarded; returns its result, or `on_fault` when the
// call faulted.
template <typename R, typename Fn, typename... Args>
R CallGuarded(R on_fault, Fn fn, Args... args) {
  struct Call {
    Fn fn;
    std::tuple<Args...> args;
    R result;
  } call{fn, std::tuple<Args...>(args...), on_fault};
  const bool completed = RunGuarded(
      [](void* context) {
        Call& c = *static_cast<Call*>(context);
        c.result = std::apply(c.fn, c.args);
      },
      &call);
  return completed ? call.result : on_fault;
}

}  // namespace ci
