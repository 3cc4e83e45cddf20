// A failure's exception information as a handler receives it, at a chosen address.
#pragma once

#include <windows.h>

#include <cstdint>

namespace ci {
namespace test {

struct FailureAt {
  explicit FailureAt(std::uintptr_t address) {
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(address);
    ::RtlCaptureContext(&context);
    pointers.ExceptionRecord = &record;
    pointers.ContextRecord = &context;
  }
  FailureAt(const FailureAt&) = delete;
  FailureAt& operator=(const FailureAt&) = delete;

  EXCEPTION_RECORD record = {};
  CONTEXT context = {};
  EXCEPTION_POINTERS pointers = {};
};

}  // namespace test
}  // namespace ci
