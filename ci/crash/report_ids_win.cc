#include "ci/crash/report_ids.h"

#include <windows.h>

#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"

namespace ci {
namespace {

// The shared tally as the REG_BINARY value "report_ids" under kSharedRoot.
constexpr char16_t kReportIdsValueName[] = u"report_ids";

class RegistryStore : public ReportIdStore {
 public:
  bool Read(std::vector<std::uint8_t>* bytes) override {
    return Succeeded(RegKey::GetValue(kSharedRoot, kReportIdsValueName, bytes));
  }
  void Write(const ReportIdBytes& bytes) override {
    RegKey::SetValue(kSharedRoot, kReportIdsValueName, REG_BINARY, bytes.data(),
                     static_cast<DWORD>(bytes.size()));
  }
};

}  // namespace

ReportIdStore& RegistryReportIdStore() {
  // Stateless: it only names the value.
  static RegistryStore store;
  return store;
}

ReportIds::ReportIds()
    : GLock(kReportIdsLockName, NullDaclSecurityAttributes()), store_(&RegistryReportIdStore()) {}

ReportIds::ReportIds(const wchar_t* mutex_name, ReportIdStore* store)
    : GLock(mutex_name, NullDaclSecurityAttributes()), store_(store) {}

ReportIds::~ReportIds() {
  // A low-integrity process cannot write the machine key; it keeps its counts.
  if (IsLowIntegrityProcess()) return;
  // The store's own mutex, waited on through the virtual timed wait.
  FlushReportIds(record_, *this, store_);
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
