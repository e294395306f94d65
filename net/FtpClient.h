// The FTP client: asynchronous FTP sessions on the EventLoop that log in
// (directly, through a login-forwarding firewall, or through SOCKS), create
// directories and store files over active (PORT) or passive (PASV) data
// connections, one queue of commands per control connection. One engine per
// process; every call is on the loop's thread. Ownership and callback rules:
// docs/event-loop.md.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tolmi {

class EventLoop;
class SocksNegotiator;
struct FtpConnection;
struct FtpCommand;

// Command kinds.
enum : int {
  kFtpUser = 1,
  kFtpPass = 2,
  kFtpPort = 4,
  kFtpStor = 8,
  kFtpMkd = 10,
  kFtpType = 14,
  kFtpPasv = 15,
  kFtpAcct = 17,
  kFtpQuit = 18,
};

// Notification codes.
enum : int {
  kFtpNoteTick = 0,
  kFtpNoteBytes = 1,
  kFtpNoteSent = 2,
  kFtpNoteMessage = 3,
  kFtpNoteQueueEmpty = 4,
  kFtpNoteError = 5,  // plus 65536 x one of the kFtpError* numbers
  kFtpNoteLog = 6,
  kFtpNoteTransfer = 7,
  kFtpNoteSocketError = 9,
  kFtpNoteClosing = 10,
  kFtpNoteConnecting = 11,
  kFtpNoteNeedPassword = 12,
  kFtpNoteLookup = 13,
  kFtpNoteQueued = 14,
  kFtpNoteTimedOut = 15,
};
enum : int {
  kFtpErrorListen = 1,
  kFtpErrorSocket = 2,
  kFtpErrorBind = 3,
  kFtpErrorRegister = 4,
  kFtpErrorAddress = 5,
  kFtpErrorMemory = 6,
  kFtpErrorRefused = 7,
  kFtpErrorLocalFile = 10,
};
constexpr int FtpErrorCode(int n) {
  return kFtpNoteError + 65536 * n;
}

// Connection states.
enum : int {
  kFtpStateNew = 0,
  kFtpStateAddress = 1,
  kFtpStateConnected = 2,
  kFtpStateIdle = 4,
  kFtpStateSending = 5,
  kFtpStateListening = 6,
  kFtpStateSocks = 9,
  kFtpStateLookup = 10,
};

constexpr int kFtpTimeoutTimer = 30000;
constexpr int kFtpWorkTimer = 30001;

// A command's completion: result 1 when the server accepted it, 0 when it
// failed or was dropped. On a failure, returning -1 keeps the command at the
// head of the queue (it is sent again) and 666 skips the error report.
using FtpCompletion =
    std::function<int(FtpConnection& connection, FtpCommand& command, int result)>;
// Told the login result once: 1 logged in, 0 failed (or closed first).
using FtpConnectionCallback = std::function<void(FtpConnection& connection, int result)>;
using FtpNotify = std::function<void(int code, FtpConnection* connection, std::int64_t number,
                                     const std::string& text)>;

struct FtpCommand {
  int kind = 0;
  std::string text;       // as sent, ending "\r\n"
  std::string localFile;  // STOR
  std::uint64_t fileSize = 0;
  FtpCompletion completion;
  std::uint32_t userValue = 0;
  std::uint32_t userValue2 = 0;
  std::string replyLine;  // the server's line that ended the command
};

// One control or data connection, owned by the engine.
struct FtpConnection {
  std::string hostText;  // "host:port"
  std::string user, password, account;
  std::deque<FtpCommand> queue;
  FtpConnection* owner = nullptr;  // data connection: its control connection
  FtpConnection* data = nullptr;   // control connection: its current data connection
  FtpConnectionCallback callback;
  bool passive = false;  // set by the caller: data connections by PASV instead of PORT
  int transferType = 0;  // 0 ASCII, 1 binary
  std::uint32_t resumeOffset = 0;
  int dataMode = 512;
  int state = kFtpStateNew;
  bool busy = false;
  unsigned flags = 0;
  int tickCount = 0;
  int lastReplyCode = 0;
  std::string replyBuffer;
  std::string address;
  std::uint64_t bytesTransferred = 0;
  std::uint64_t rate = 0;  // bits per second
  int failures = 0;

  // Engine-owned.
  std::uint64_t serial = 0;
  int fd = -1;
  int fileFd = -1;
  std::uint64_t lookupId = 0;
  bool connected = false;
  bool closing = false;
  bool loginReported = false;
  bool fileSent = false;     // data connection: the whole file went before it closed
  bool transferCut = false;  // control connection: the current upload was closed early
  bool startPosted = false;  // control connection: an idle start is posted to the loop
  int queuedType = -1;
  std::string piece;          // the block last read from the file
  std::size_t pieceSent = 0;  // how much of piece has gone out
  std::unique_ptr<SocksNegotiator> socks;
  std::string socksIn;
  std::uint64_t rateBytes = 0;
  std::int64_t rateStart = 0;
  FtpConnection();
  ~FtpConnection();
};

// Starts the engine (refused when already running). timeoutMs < 4000 counts as 4000.
bool FtpStartup(EventLoop& loop, int timeoutMs, FtpNotify notify);
// Closes every connection (data first), completing what was queued with 0, stops
// the timers and resets the settings.
void FtpShutdown();
// 0 stops the time-out tick; other values below 4000 count as 4000.
void FtpSetTimeout(int milliseconds);
// type 0 none, 1 login-forwarding firewall, 2 SOCKS4, 3 SOCKS5; no host means type 0.
void FtpSetProxy(int type, const std::string& host, int port, const std::string& user,
                 const std::string& password);
// Starts a session to host:port (0 = 21), queuing USER and (with a password)
// PASS. Returns the control connection, or null when the engine is not running
// or a text holds a line break.
FtpConnection* FtpConnect(const std::string& user, const std::string& password,
                          const std::string& account, const std::string& host, int port,
                          FtpConnectionCallback callback);
// Queues "MKD dir". False (nothing queued) for a closing connection or a line break.
bool FtpMakeDir(FtpConnection* connection, const std::string& directory, FtpCompletion completion);
// Queues TYPE (when needed), PASV or PORT, and "STOR remote". False (nothing
// queued) when the local file does not exist.
bool FtpStore(FtpConnection* connection, const std::string& localFile,
              const std::string& remoteName, bool binary, FtpCompletion completion,
              std::uint32_t userValue);
// Ends the session politely: drops what is queued and queues QUIT (a second
// call closes at once).
void FtpQuit(FtpConnection* connection);
std::size_t FtpConnectionCount();

// "PORT h1,h2,h3,h4,p1,p2\r\n" for an address (host order) and port.
std::string FtpPortText(std::uint32_t address, std::uint16_t port);
// The "a.b.c.d:port" host text of a passive reply, or nothing without six numbers in "( )".
std::optional<std::string> ParseFtpPassive(std::string_view reply);

// Takes the next whole line (up to LF, a CR before it dropped) off the front of the control
// connection's reply buffer; false, leaving the buffer alone, while no LF has come.
bool TakeFtpReplyLine(std::string& buffer, std::string& line);
// The code of a line that ends a reply: three digits and a space ("227 Entering ...");
// -1 for continuation lines ("230-Welcome") and any other text.
int FtpReplyCode(std::string_view line);

}  // namespace tolmi
