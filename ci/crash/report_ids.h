// The process's failure-site counters. The object is itself the machine-wide lock
// that guards the shared tally; at destruction (process exit) it adds its counts
// to the registry value "report_ids" under kSharedRoot.
#pragma once

#include <cstdint>

#include "ci/crash/glock.h"
#include "ci/crash/report_id_flush.h"
#include "ci/crash/report_id_record.h"

namespace ci {

// The machine-wide mutex shared by every product process of every user.
inline constexpr wchar_t kReportIdsLockName[] =
    L"Global\\_CI_Report_Ids_Lock_E6BF7C01-86AE-4a70-8CC9-9BD6FD4F98A6";

// Recorded when a new user identifier cannot be made.
constexpr std::uint32_t kReportIdGuidCreationFailed = 0x0E41DB6B;

class ReportIds : public GLock {
 public:
  // The shared mutex (open to every account) and the registry tally.
  ReportIds();
  // The same behaviour over another mutex and store; `store` must outlive this.
  ReportIds(const wchar_t* mutex_name, ReportIdStore* store);
  // Flushes, unless the process runs at low integrity.
  ~ReportIds() override;

  // Counts one occurrence in memory; takes no lock and touches no registry.
  bool RecordReportId(std::uint32_t id);

  const ReportIdRecord& record() const { return record_; }

 private:
  ReportIdStore* store_;
  ReportIdRecord record_;
};

// The registry value "report_ids" under kSharedRoot.
ReportIdStore& RegistryReportIdStore();

// The process-wide instance, made on first use (the server asks for it during its
// static initialisation) and flushed when static objects are destroyed at exit.
ReportIds& GlobalReportIds();

}  // namespace ci
