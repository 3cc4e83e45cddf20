#include "ci/prefs/machine_preferences.h"

namespace ci {

void MachinePreferencesWrapper::ReadFromMessage(ProtocolMessage* message) {
  const auto* prefs = dynamic_cast<const MachinePreferencesProto*>(message);
  if (prefs == nullptr) return;
  notify_software_updates_ = prefs->notify_software_updates();
  has_notify_software_updates_ = prefs->has_notify_software_updates();
  send_stats_ = prefs->send_stats();
  has_send_stats_ = prefs->has_send_stats();
  express_updates_enabled_ = prefs->express_updates_enabled();
  has_express_updates_enabled_ = prefs->has_express_updates_enabled();
  third_party_updates_enabled_ = prefs->third_party_updates_enabled();
  has_third_party_updates_enabled_ = prefs->has_third_party_updates_enabled();
  user_changed_third_party_updates_enabled_ = prefs->user_changed_third_party_updates_enabled();
  has_user_changed_third_party_updates_enabled_ =
      prefs->has_user_changed_third_party_updates_enabled();
}

void MachinePreferencesWrapper::WriteToMessage(ProtocolMessage* message) {
  auto* prefs = dynamic_cast<MachinePreferencesProto*>(message);
  if (prefs == nullptr) return;
  if (has_notify_software_updates_) prefs->set_notify_software_updates(notify_software_updates_);
  if (has_send_stats_) prefs->set_send_stats(send_stats_);
  if (has_express_updates_enabled_) prefs->set_express_updates_enabled(express_updates_enabled_);
  if (has_third_party_updates_enabled_) {
    prefs->set_third_party_updates_enabled(third_party_updates_enabled_);
  }
  if (has_user_changed_third_party_updates_enabled_) {
    prefs->set_user_changed_third_party_updates_enabled(user_changed_third_party_updates_enabled_);
  }
}

void MachinePreferencesWrapper::set_notify_software_updates(bool value) {
  notify_software_updates_ = value;
  has_notify_software_updates_ = true;
}

void MachinePreferencesWrapper::set_send_stats(bool value) {
  send_stats_ = value;
  has_send_stats_ = true;
}

void MachinePreferencesWrapper::set_express_updates_enabled(bool value) {
  express_updates_enabled_ = value;
  has_express_updates_enabled_ = true;
}

void MachinePreferencesWrapper::set_third_party_updates_enabled(bool value) {
  third_party_updates_enabled_ = value;
  has_third_party_updates_enabled_ = true;
}

void MachinePreferencesWrapper::set_user_changed_third_party_updates_enabled(bool value) {
  user_changed_third_party_updates_enabled_ = value;
  has_user_changed_third_party_updates_enabled_ = true;
}

}  // namespace ci
