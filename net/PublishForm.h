// The fields of the Publish/Upload window and which of its controls act, without
// any window: the FTP account as the project keeps it (P_SERV, P_PORT, P_USER,
// P_PASS, P_DIR, P_PASV, P_SAVE) and the enabling rules of the buttons and fields.
#pragma once

#include <string>

#include "project/StoreProject.h"

namespace tolmi {

struct PublishFormFields {
  std::string server;
  std::string port;  // "21" when the project keeps none
  std::string user;
  std::string password;
  std::string remoteDir;
  bool passive = false;
  bool savePassword = false;
  int connections = 1;  // FTP sessions an upload sends over, 1 to 16
};

inline constexpr const char* kDefaultFtpPortText = "21";

// The fields for the project's settings.
PublishFormFields PublishFormFromSettings(const StoreSettings& settings);

// Copies the fields into the project (before Connect, Compare and Publish Now),
// marking it changed when a value differs. A port shown as "21" for an empty
// P_PORT stays empty, so opening the window changes nothing.
void StorePublishForm(StoreProject& project, const PublishFormFields& fields);

// The window's controls whose enabling has a rule.
enum class PublishControl {
  Connect, Port, User, Password, RemoteDir, Passive, SavePassword, Connections, Upload,
  Compare, Cancel
};

// What the rules look at.
struct PublishFormState {
  bool serverEntered = false;  // the FTP Server field is not empty
  bool connected = false;      // a control connection exists
  bool busy = false;           // commands are queued on it
};

// Connect and the account fields need a server; Connections needs a server and no upload
// under way (its sessions are fixed); Upload needs a server and a connection with no
// command queued; Compare and Cancel always act.
bool PublishControlEnabled(PublishControl control, const PublishFormState& state);

// The Connect button's text: "&Connect", or "Disconnect" while connected.
std::string ConnectButtonText(bool connected);

}  // namespace tolmi
