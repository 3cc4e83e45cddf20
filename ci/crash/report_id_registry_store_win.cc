// The shared tally as the REG_BINARY value "report_ids" under kSharedRoot.
#include "ci/crash/report_ids.h"

#include "ci/prefs/key_paths.h"
#include "ci/prefs/reg_key.h"

namespace ci {
namespace {

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

}  // namespace ci
