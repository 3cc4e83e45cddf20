// The machine-wide preferences: held as a store (each field of
// MachinePreferencesProto with whether it was present, plus the store's own
// message, which keeps what decoding brought, unknown fields included), decoded
// from a service argument and saved as the value "machine_prefs" with the
// crash-reporting consent "SendAnonymousData" beside it.
#pragma once

#include <memory>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "net/proto/protocol_message.h"
#include "protocol/preferences.h"

namespace ci {

class MachinePreferencesWrapper : public ProtoWrapper {
 public:
  MachinePreferencesWrapper() = default;
  MachinePreferencesWrapper(const MachinePreferencesWrapper&) = delete;
  MachinePreferencesWrapper& operator=(const MachinePreferencesWrapper&) = delete;
  ~MachinePreferencesWrapper() = default;

  // The owned MachinePreferencesProto, created on the first call. Defined here: <windows.h>
  // renames GetMessage, and an inline definition follows whatever name the
  // including file sees, so the vtables of Windows and portable files agree.
  ProtocolMessage* GetMessage() override {
    if (!message_) message_ = std::make_unique<MachinePreferencesProto>();
    return message_.get();
  }
  // Copies every field's value and presence from a MachinePreferencesProto;
  // a message of another type is ignored.
  void ReadFromMessage(ProtocolMessage* message) override;
  // Sets in a MachinePreferencesProto each field this store holds as present;
  // the message's other fields stay as they are.
  void WriteToMessage(ProtocolMessage* message) override;

  bool notify_software_updates() const { return notify_software_updates_; }
  bool has_notify_software_updates() const { return has_notify_software_updates_; }
  bool send_stats() const { return send_stats_; }
  bool has_send_stats() const { return has_send_stats_; }
  bool express_updates_enabled() const { return express_updates_enabled_; }
  bool has_express_updates_enabled() const { return has_express_updates_enabled_; }
  bool third_party_updates_enabled() const { return third_party_updates_enabled_; }
  bool has_third_party_updates_enabled() const { return has_third_party_updates_enabled_; }
  bool user_changed_third_party_updates_enabled() const {
    return user_changed_third_party_updates_enabled_;
  }
  bool has_user_changed_third_party_updates_enabled() const {
    return has_user_changed_third_party_updates_enabled_;
  }

  // Each setter also marks the field present.
  void set_notify_software_updates(bool value);
  void set_send_stats(bool value);
  void set_express_updates_enabled(bool value);
  void set_third_party_updates_enabled(bool value);
  void set_user_changed_third_party_updates_enabled(bool value);

 private:
  std::unique_ptr<MachinePreferencesProto> message_;
  // Defaults equal the message's own.
  bool notify_software_updates_ = false;
  bool has_notify_software_updates_ = false;
  bool send_stats_ = false;  // also the crash-reporting consent
  bool has_send_stats_ = false;
  bool express_updates_enabled_ = true;
  bool has_express_updates_enabled_ = false;
  bool third_party_updates_enabled_ = true;
  bool has_third_party_updates_enabled_ = false;
  bool user_changed_third_party_updates_enabled_ = false;
  bool has_user_changed_third_party_updates_enabled_ = false;
};

// The store as the service saves it.
class MachinePreferences final : public MachinePreferencesWrapper {
 public:
  // Writes "machine_prefs" (the checksummed message; removed when the message is
  // empty) and "SendAnonymousData" (1 when send_stats is true, else 0) under
  // kMachineRoot. Best effort: registry failures are not reported; always S_OK.
  HResult SaveMachinePreferences();
  // The same below another key path.
  HResult SaveMachinePreferencesAt(const WString& key_path);
};

}  // namespace ci
