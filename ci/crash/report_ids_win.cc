#include "ci/crash/report_ids.h"

#include "ci/crash/integrity_win.h"
#include "ci/crash/security_attributes_win.h"

namespace ci {

ReportIds::ReportIds()
    : GLock(kReportIdsLockName, NullDaclSecurityAttributes()), store_(&RegistryReportIdStore()) {}

ReportIds::ReportIds(const wchar_t* mutex_name, ReportIdStore* store)
    : GLock(mutex_name, NullDaclSecurityAttributes()), store_(store) {}

ReportIds::~ReportIds() {
  // A low-integrity process cannot write the machine key; it keeps its counts.
  if (IsLowIntegrityProcess()) return;
  FlushReportIds(record_, this, store_);
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
