#include "ci/prefs/stored_value.h"

#include <cstdint>
#include <vector>

#include "ci/prefs/reg_key.h"

void ProtoRegistryWriter::Open(const ci::WString& key_path) {
  key_path_ = key_path;
  open_ = true;
}

void ProtoRegistryWriter::Close() {
  if (!open_) return;
  key_path_.clear();
  open_ = false;
}

bool ProtoRegistryWriter::Save(ProtoWrapper* wrapper, const ci::WString& value_name) {
  if (!open_) return false;
  std::vector<uint8_t> bytes = SerializeWrapper(wrapper);
  if (bytes.empty()) {
    const ci::HResult hr = ci::RegKey::DeleteValue(key_path_, value_name);
    // Without its key the value is just as absent as without the value.
    return ci::Succeeded(hr) || hr == ci::kE_FILE_NOT_FOUND;
  }
  ci::AppendMessageChecksum(&bytes);
  return ci::Succeeded(ci::RegKey::SetValue(key_path_, value_name, REG_BINARY, bytes.data(),
                                            static_cast<DWORD>(bytes.size())));
}
