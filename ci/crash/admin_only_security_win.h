// Security attributes that admit the Administrators group and SYSTEM only: for
// files of the elevated process (the crash dump holds its memory) in places the
// non-elevated user can reach.
#pragma once

#include <windows.h>

namespace ci {

// Built in place, without the heap, so that the crash path can use it: a
// protected DACL (nothing inherited from the directory) of two full-access
// entries. Check ok() before using attributes().
class AdminsAndSystemOnly {
 public:
  AdminsAndSystemOnly();
  AdminsAndSystemOnly(const AdminsAndSystemOnly&) = delete;
  AdminsAndSystemOnly& operator=(const AdminsAndSystemOnly&) = delete;

  bool ok() const { return ok_; }
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  bool Build();

  BYTE administrators_[SECURITY_MAX_SID_SIZE];
  BYTE system_[SECURITY_MAX_SID_SIZE];
  union {
    ACL header;  // keeps the list DWORD-aligned
    BYTE bytes[256];
  } acl_;
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_;
  bool ok_;
};

}  // namespace ci
