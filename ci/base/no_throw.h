// Running code that allocates where nothing may be thrown (the crash path, the
// registry layer): an exception, in practice std::bad_alloc, becomes a false
// result the caller checks.
#pragma once

namespace ci {

// Runs `body`; false when it threw. What `body` changed before it threw stays
// changed.
template <typename Body>
bool WithoutThrowing(Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ci
