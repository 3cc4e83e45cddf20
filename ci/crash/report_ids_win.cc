#include "ci/crash/report_ids.h"

#include "ci/crash/integrity_win.h"
#include "ci/crash/security_attributes_win.h"

namespace ci {

ReportIds::ReportIds()
    : GLock(kReportIdsLockName, NullDaclSecurityAttributes()), store_(&RegistryReportIdStore()) {}

ReportIds::ReportIds(const wchar_t* mutex_name, ReportIdStore* store)
    : GLock(mutex_name, NullDaclSecurityAttributes()), store_(store) {}

namespace {

// The store's own mutex, waited on through the virtual timed Lock.
class FlushLock : public ReportIdLock {
 public:
  explicit FlushLock(GLock* lock) : lock_(lock) {}
  Wait Acquire(std::uint32_t timeout_ms) override {
    if (!lock_->has_handle()) return Wait::kNoLock;
    return lock_->Lock(static_cast<DWORD>(timeout_ms)) ? Wait::kHeld : Wait::kTimedOut;
  }
  void Release() override { lock_->Unlock(); }

 private:
  GLock* lock_;
};

}  // namespace

ReportIds::~ReportIds() {
  // A low-integrity process cannot write the machine key; it keeps its counts.
  if (IsLowIntegrityProcess()) return;
  FlushLock lock(this);
  FlushReportIds(record_, lock, store_);
}

bool ReportIds::RecordReportId(std::uint32_t id) {
  AddReportId(&record_, id);
  return true;
}

ReportIds& GlobalReportIds() {
  static ReportIds report_ids;
  return report_ids;
}

}  // namespace ci
