#include "net/PublishForm.h"

namespace tolmi {

PublishFormFields PublishFormFromSettings(const StoreSettings& settings) {
  PublishFormFields fields;
  fields.server = settings.ftpServer;
  fields.port = settings.ftpPort.empty() ? kDefaultFtpPortText : settings.ftpPort;
  fields.user = settings.ftpUser;
  fields.password = settings.ftpPassword;
  fields.remoteDir = settings.ftpDir;
  fields.passive = settings.passiveFtp;
  fields.savePassword = settings.savePassword;
  fields.connections = settings.ftpConnections;
  return fields;
}

namespace {
template <typename T>
void Assign(T& target, const T& value, bool& changed) {
  if (target == value) return;
  target = value;
  changed = true;
}
}  // namespace

void StorePublishForm(StoreProject& project, const PublishFormFields& fields) {
  StoreSettings& settings = project.settings;
  bool changed = false;
  std::string port = fields.port;
  if (port == kDefaultFtpPortText && settings.ftpPort.empty()) port.clear();
  Assign(settings.ftpServer, fields.server, changed);
  Assign(settings.ftpPort, port, changed);
  Assign(settings.ftpUser, fields.user, changed);
  Assign(settings.ftpPassword, fields.password, changed);
  Assign(settings.ftpDir, fields.remoteDir, changed);
  Assign(settings.passiveFtp, fields.passive, changed);
  Assign(settings.savePassword, fields.savePassword, changed);
  Assign(settings.ftpConnections, ClampFtpConnections(fields.connections), changed);
  if (changed) project.changed = true;
}

bool PublishControlEnabled(PublishControl control, const PublishFormState& state) {
  switch (control) {
    case PublishControl::Connections: return state.serverEntered && !state.busy;
    case PublishControl::Upload: return state.serverEntered && state.connected && !state.busy;
    case PublishControl::Compare:
    case PublishControl::Cancel: return true;
    default: return state.serverEntered;
  }
}

std::string ConnectButtonText(bool connected) { return connected ? "Disconnect" : "&Connect"; }

}  // namespace tolmi
