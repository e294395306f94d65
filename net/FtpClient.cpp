#include "net/FtpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <list>
#include <vector>

#include "net/EventLoop.h"
#include "net/NetUtil.h"
#include "net/Socks.h"

namespace tolmi {
namespace {

constexpr std::size_t kBatch = 64 * 1024;  // file bytes read per send
// The send buffer of a data connection to a peer on this machine (see SetLocalSendBuffer).
constexpr int kLocalSendBuffer = 128 * 1024;
// Bytes sent per writable event, so other connections are not starved.
constexpr std::size_t kSendBudget = 1024 * 1024;
constexpr std::size_t kReplyRead = 1120;
constexpr std::size_t kReplyLimit = 1 << 20;  // a reply text without line end is cut here

struct Settings {
  int tickMs = 4000;
  int proxyType = 0;
  std::string proxyHost;
  int proxyPort = 21;
  std::string proxyUser, proxyPassword;
};

struct Engine {
  EventLoop* loop = nullptr;
  FtpNotify notify;
  std::list<std::unique_ptr<FtpConnection>> connections;
  std::vector<std::unique_ptr<FtpConnection>> closed;  // freed on the next pass
  std::size_t examineTimeout = 0, examineWork = 0;
  std::uint64_t nextSerial = 1;
  int lookupCounter = 0;
  std::string socks4UserId;
};

Settings& S() {
  static Settings settings;
  return settings;
}
std::unique_ptr<Engine>& E() {
  static std::unique_ptr<Engine> engine;
  return engine;
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Notify(int code, FtpConnection* c, std::int64_t number = 0, const std::string& text = {}) {
  if (E() && E()->notify) E()->notify(code, c, number, text);
}

FtpConnection* Find(std::uint64_t serial) {
  if (!E()) return nullptr;
  for (auto& c : E()->connections) {
    if (c->serial == serial && !c->closing) return c.get();
  }
  return nullptr;
}

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos || s.find('\0') != std::string::npos;
}

void CloseConnection(FtpConnection& c);
void StartNext(FtpConnection& c);
void ControlReadable(std::uint64_t serial);
void Drive(FtpConnection& c);

FtpConnection& NewRecord() {
  auto rec = std::make_unique<FtpConnection>();
  rec->serial = E()->nextSerial++;
  E()->connections.push_back(std::move(rec));
  return *E()->connections.back();
}

// Calls a command's completion with result; returns its answer.
int CallCompletion(FtpConnection& c, FtpCommand& cmd, int result) {
  if (!cmd.completion) return 0;
  FtpCompletion completion = cmd.completion;
  return completion(c, cmd, result);
}

// Drops every queued command of c, telling each completion 0.
void DropQueue(FtpConnection& c, std::size_t from = 0) {
  std::uint64_t serial = c.serial;
  FtpConnection* cc = &c;
  while (cc->queue.size() > from) {
    FtpCommand cmd = std::move(cc->queue[from]);
    cc->queue.erase(cc->queue.begin() + static_cast<long>(from));
    CallCompletion(*cc, cmd, 0);
    if (!E()) return;
    // A closing connection is no longer found, but its queue is still ours to empty.
    if (FtpConnection* again = Find(serial)) cc = again;
  }
}

void ReportLogin(FtpConnection& c, int result) {
  if (c.loginReported || c.owner) return;
  c.loginReported = true;
  if (c.callback) {
    FtpConnectionCallback callback = c.callback;
    callback(c, result);
  }
}

void CloseFile(FtpConnection& c) {
  if (c.fileFd >= 0) {
    close(c.fileFd);
    c.fileFd = -1;
  }
}

void CloseConnection(FtpConnection& c) {
  if (c.closing || !E()) return;
  c.closing = true;
  Engine* e = E().get();
  if (c.data) {
    FtpConnection* data = c.data;
    c.data = nullptr;
    CloseConnection(*data);
  }
  if (c.lookupId) {
    e->loop->CancelLookup(c.lookupId);
    c.lookupId = 0;
  }
  if (c.fd >= 0) {
    e->loop->UnwatchSocket(c.fd);
    close(c.fd);
    c.fd = -1;
  }
  // A file cut off before its end (FtpQuit, a time-out) must not count as stored,
  // whatever the server answers for the bytes it got.
  if (c.owner && c.dataMode == 2 && c.fileFd >= 0 && !c.fileSent) c.owner->transferCut = true;
  CloseFile(c);
  Notify(kFtpNoteClosing, &c);
  if (!c.owner) {
    ReportLogin(c, 0);
    DropQueue(c);
  }
  if (!E()) return;
  if (c.owner && c.owner->data == &c) c.owner->data = nullptr;
  for (auto& other : E()->connections) {
    if (other->owner == &c) other->owner = nullptr;
  }
  auto& list = E()->connections;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->get() == &c) {
      E()->closed.push_back(std::move(*it));
      list.erase(it);
      break;
    }
  }
  if (E()->closed.size() == 1) {
    E()->loop->Post([] {
      if (E()) E()->closed.clear();
    });
  }
}

void LoginFailed(FtpConnection& c) {
  std::uint64_t serial = c.serial;
  ReportLogin(c, 0);
  if (FtpConnection* again = Find(serial)) CloseConnection(*again);
}

// --- data transfer ---

void OnDataWritable(std::uint64_t serial);

void WatchData(FtpConnection& d) {
  std::uint64_t serial = d.serial;
  bool sending = d.dataMode == 2 && d.fileFd >= 0 && d.state == kFtpStateSending;
  E()->loop->WatchSocket(d.fd, sending ? (kWatchRead | kWatchWrite) : kWatchRead,
                         [serial](int fd, unsigned ev) {
                           FtpConnection* d = Find(serial);
                           if (!d) return;
                           if (ev & kWatchWrite) {
                             OnDataWritable(serial);
                             return;
                           }
                           if (ev & kWatchRead) {
                             char buf[4096];
                             ssize_t n = recv(fd, buf, sizeof buf, 0);
                             if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                               CloseConnection(*d);  // the server ended the data connection
                             }
                           }
                         });
}

void CountBytes(FtpConnection& d, std::size_t n) {
  d.bytesTransferred += n;
  d.rateBytes += n;
  d.tickCount = 0;
  if (d.owner) d.owner->tickCount = 0;
  std::int64_t now = NowMs();
  if (d.rateStart == 0) d.rateStart = now;
  if (now - d.rateStart >= 1000) {
    d.rate = d.rateBytes * 8000 / static_cast<std::uint64_t>(now - d.rateStart);
    d.rateBytes = 0;
    d.rateStart = now;
  }
}

// Sends the next part of the file, read in blocks of kBatch bytes. Reading and
// sending beats sendfile here: the receiver then copies bytes this process has
// just touched instead of fetching the file's pages from memory itself.
// Returns the bytes sent, 0 at the end of the file, -1 (errno set) on an error.
ssize_t SendFromFile(FtpConnection& d, std::size_t budget) {
  if (d.pieceSent == d.piece.size()) {
    if (d.piece.capacity() < kBatch) d.piece.reserve(kBatch);
    d.piece.resize(d.piece.capacity());  // zero-fills only the first time
    ssize_t n;
    do n = read(d.fileFd, d.piece.data(), d.piece.size());
    while (n < 0 && errno == EINTR);
    d.piece.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    d.pieceSent = 0;
    if (n <= 0) return n;
  }
  ssize_t n = send(d.fd, d.piece.data() + d.pieceSent,
                   std::min(d.piece.size() - d.pieceSent, budget), MSG_NOSIGNAL);
  if (n > 0) d.pieceSent += static_cast<std::size_t>(n);
  return n;
}

// One writable event of a sending data connection: up to kSendBudget bytes (so
// other connections are not starved), one notification 1 for all of them. At the
// end of the file the data connection is closed, which makes the server answer 226.
void OnDataWritable(std::uint64_t serial) {
  FtpConnection* d = Find(serial);
  if (!d || d->fileFd < 0) return;
  std::size_t sent = 0;
  ssize_t n = 0;
  int error = 0;
  while (sent < kSendBudget) {
    n = SendFromFile(*d, kSendBudget - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : 0;
      break;
    }
    CountBytes(*d, static_cast<std::size_t>(n));
    sent += static_cast<std::size_t>(n);
  }
  if (sent) Notify(kFtpNoteBytes, d);
  if (!(d = Find(serial))) return;
  if (n == 0 && d->pieceSent == d->piece.size()) {
    d->fileSent = true;
    CloseConnection(*d);  // end of file
  } else if (n < 0 && error != EAGAIN && error != EWOULDBLOCK) {
    Notify(kFtpNoteSocketError, d, error);
    if ((d = Find(serial))) CloseConnection(*d);
  }
}

// --- connecting ---

// A data connection to a peer on this machine (address in host order) gets a small
// send buffer: the peer copies the bytes while they are still in the processor's
// cache, where the kernel's large autotuned buffer would let them go cold first.
void SetLocalSendBuffer(int fd, std::uint32_t peer) {
  if ((peer >> 24) != 127) return;
  int size = kLocalSendBuffer;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

void Connected(FtpConnection& c) {
  c.connected = true;
  if (c.owner) {
    c.state = c.dataMode == 2 ? kFtpStateSending : kFtpStateConnected;
    WatchData(c);
  } else {
    c.state = kFtpStateIdle;
    std::uint64_t serial = c.serial;
    E()->loop->WatchSocket(c.fd, kWatchRead, [serial](int, unsigned) { ControlReadable(serial); });
  }
  std::uint64_t serial = c.serial;
  Notify(kFtpNoteMessage, &c, 0, "Connected to " + c.hostText);
  FtpConnection* again = Find(serial);
  if (again && !again->owner) StartNext(*again);
}

// A connect that cannot go on: a control connection fails its login, a data connection closes.
void ConnectFailed(FtpConnection& c) {
  if (c.owner)
    CloseConnection(c);
  else
    LoginFailed(c);
}

void SendRaw(FtpConnection& c, const std::string& bytes) {
  ssize_t n = send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (n != static_cast<ssize_t>(bytes.size())) {
    Notify(kFtpNoteMessage, &c, 0,
           "Request send Failed (" + std::to_string(n < 0 ? errno : n) + ")");
    ConnectFailed(c);
  }
}

std::string HostPart(const std::string& hostText) {
  std::string h = hostText;
  std::size_t slashes = h.find("//");
  if (slashes != std::string::npos) h = h.substr(slashes + 2);
  std::size_t at = h.find('@');
  if (at != std::string::npos) h = h.substr(at + 1);
  return h.substr(0, h.find_first_of("/:"));
}

int PortPart(const std::string& hostText) {
  std::size_t colon = hostText.rfind(':');
  if (colon == std::string::npos) return 21;
  long port = std::strtol(hostText.c_str() + colon + 1, nullptr, 10);
  return (port > 0 && port <= 65535) ? static_cast<int>(port) : 21;
}

bool ViaProxy(const FtpConnection& c) {
  if (S().proxyType == 0 || S().proxyHost.empty()) return false;
  return !(c.owner && c.passive && S().proxyType == 1);
}

void SocksTarget(FtpConnection& c, const std::string& address) {
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1) {
    Notify(kFtpNoteMessage, &c, 0, "Address translation error");
    ConnectFailed(c);
    return;
  }
  SendRaw(
      c, c.socks->TargetRequest(ntohl(a.s_addr), static_cast<std::uint16_t>(PortPart(c.hostText))));
}

void SocksAdvance(FtpConnection& c, SocksNegotiator::Step step) {
  std::uint64_t serial = c.serial;
  if (step == SocksNegotiator::Step::Failed) {
    Notify(kFtpNoteMessage, &c, 0, c.socks->failure());
    ConnectFailed(c);
  } else if (step == SocksNegotiator::Step::NeedTarget) {
    std::string host = HostPart(c.hostText);
    if (IsNumericHost(host)) {
      SocksTarget(c, host);
      return;
    }
    c.lookupId = E()->loop->LookupHost(host, [serial](int error, const std::string& a) {
      FtpConnection* c = Find(serial);
      if (!c) return;
      c->lookupId = 0;
      if (error) {
        Notify(kFtpNoteMessage, c, 0, "Host Not Found");
        ConnectFailed(*c);
        return;
      }
      SocksTarget(*c, a);
    });
    if (!c.lookupId) ConnectFailed(c);
  } else if (step == SocksNegotiator::Step::Done) {
    c.socks.reset();
    Connected(c);
  }
}

void OnConnect(std::uint64_t serial) {
  FtpConnection* c = Find(serial);
  if (!c) return;
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(c->fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err) {
    Notify(kFtpNoteSocketError, c, err);
    if ((c = Find(serial))) ConnectFailed(*c);
    return;
  }
  if ((S().proxyType == 2 || S().proxyType == 3) && ViaProxy(*c)) {
    c->state = kFtpStateSocks;
    c->socks = std::make_unique<SocksNegotiator>(S().proxyType, S().proxyUser, S().proxyPassword,
                                                 E()->socks4UserId);
    E()->loop->WatchSocket(c->fd, kWatchRead, [serial](int fd, unsigned) {
      FtpConnection* c = Find(serial);
      if (!c || !c->socks) return;
      char buf[512];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n <= 0) {
        Notify(kFtpNoteMessage, c, 0, "SOCKS proxy closed the connection");
        ConnectFailed(*c);
        return;
      }
      c->socksIn.append(buf, static_cast<std::size_t>(n));
      std::string out;
      SocksNegotiator::Step step = c->socks->Feed(c->socksIn, out);
      if (!out.empty()) SendRaw(*c, out);
      if ((c = Find(serial)) && step != SocksNegotiator::Step::Wait) SocksAdvance(*c, step);
    });
    std::string out;
    SocksNegotiator::Step step = c->socks->Start(out);
    if (!out.empty()) SendRaw(*c, out);
    if ((c = Find(serial)) && step != SocksNegotiator::Step::Wait) SocksAdvance(*c, step);
    return;
  }
  Connected(*c);
}

void ConnectTo(FtpConnection& c, const std::string& address) {
  c.address = address.substr(0, 19);
  c.state = kFtpStateAddress;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  if (inet_pton(AF_INET, c.address.c_str(), &sa.sin_addr) != 1) {
    Notify(kFtpNoteMessage, &c, 0, "Address translation error");
    ConnectFailed(c);
    return;
  }
  int port = ViaProxy(c) ? S().proxyPort : PortPart(c.hostText);
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  if (c.owner) SetLocalSendBuffer(c.fd, ntohl(sa.sin_addr.s_addr));
  std::uint64_t serial = c.serial;
  if (!E()->loop->WatchSocket(c.fd, kWatchWrite, [serial](int, unsigned) { OnConnect(serial); })) {
    Notify(FtpErrorCode(kFtpErrorRegister), &c);
    ConnectFailed(c);
    return;
  }
  Notify(kFtpNoteConnecting, &c);
  if (connect(c.fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 && errno != EINPROGRESS) {
    Notify(kFtpNoteSocketError, &c, errno);
    if (FtpConnection* again = Find(serial)) ConnectFailed(*again);
  }
}

void OpenAndLookup(FtpConnection& c) {
  c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (c.fd < 0) {
    Notify(kFtpNoteMessage, &c, 0, "Unable to get socket (waiting)");
    return;  // tried again at the next work tick
  }
  if (++E()->lookupCounter > 9999) E()->lookupCounter = 1;
  std::string host = ViaProxy(c) ? S().proxyHost : HostPart(c.hostText);
  host = host.substr(0, host.find(':'));
  if (IsNumericHost(host)) {
    ConnectTo(c, host);
    return;
  }
  c.state = kFtpStateLookup;
  Notify(kFtpNoteLookup, &c);
  std::uint64_t serial = c.serial;
  c.lookupId = E()->loop->LookupHost(host, [serial](int error, const std::string& address) {
    FtpConnection* c = Find(serial);
    if (!c) return;
    c->lookupId = 0;
    if (error) {
      Notify(kFtpNoteMessage, c, 0, "Host Not Found");
      if ((c = Find(serial))) ConnectFailed(*c);
      return;
    }
    ConnectTo(*c, address);
  });
  if (!c.lookupId) {
    Notify(kFtpNoteMessage, &c, 0, "Host Not Found");
    ConnectFailed(c);
  }
}

// --- commands ---

FtpCommand MakeCommand(int kind, std::string text) {
  FtpCommand cmd;
  cmd.kind = kind;
  cmd.text = std::move(text);
  return cmd;
}

void Queue(FtpConnection& c, FtpCommand cmd) {
  c.queue.push_back(std::move(cmd));
  std::uint64_t serial = c.serial;
  Notify(kFtpNoteQueued, &c);
  FtpConnection* cc = Find(serial);
  // An idle session starts on the next pass of the loop, not at the next work tick.
  if (!cc || cc->owner || !cc->connected || cc->busy || cc->startPosted) return;
  cc->startPosted = true;
  E()->loop->Post([serial] {
    if (FtpConnection* again = Find(serial)) {
      again->startPosted = false;
      StartNext(*again);
    }
  });
}

std::string LogText(const FtpCommand& cmd) {
  std::string text = cmd.kind == kFtpPass ? "PASS ********" : cmd.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string UserText(const FtpConnection& c) {
  if (S().proxyType == 1 && !S().proxyHost.empty())
    return "USER " + c.user + "@" + c.hostText + "\r\n";
  return "USER " + c.user + "\r\n";
}

void SendCommand(FtpConnection& c, FtpCommand& cmd) {
  std::uint64_t serial = c.serial;
  Notify(kFtpNoteLog, &c, 0, LogText(cmd));
  if (!Find(serial)) return;
  ssize_t n = send(c.fd, cmd.text.data(), cmd.text.size(), MSG_NOSIGNAL);
  if (n <= 0) {
    Notify(kFtpNoteMessage, &c, 0,
           "Request send Failed (" + std::to_string(n < 0 ? errno : 0) + ")");
    if (FtpConnection* again = Find(serial)) CloseConnection(*again);
    return;
  }
  c.busy = true;
  Notify(kFtpNoteSent, &c);
}

void CommandFailed(FtpConnection& c, bool reportLine);

// Makes the PORT listener; returns the error number (0 on success).
int MakeListener(FtpConnection& c, std::string& portText) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return kFtpErrorSocket;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    return kFtpErrorBind;
  }
  socklen_t len = sizeof sa;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || listen(fd, 1) != 0) {
    close(fd);
    return kFtpErrorListen;
  }
  std::uint16_t port = ntohs(sa.sin_port);
  sockaddr_in local{};
  len = sizeof local;
  if (getsockname(c.fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    close(fd);
    return kFtpErrorAddress;
  }
  std::uint32_t address = ntohl(local.sin_addr.s_addr);
  if (address == 0) {
    char name[256] = {};
    addrinfo hints{}, *res = nullptr;
    hints.ai_family = AF_INET;
    if (gethostname(name, sizeof name - 1) == 0 && getaddrinfo(name, nullptr, &hints, &res) == 0 &&
        res) {
      address = ntohl(reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr);
    }
    if (res) freeaddrinfo(res);
  }
  FtpConnection& d = NewRecord();
  d.owner = &c;
  d.passive = c.passive;
  d.fd = fd;
  d.state = kFtpStateListening;
  d.dataMode = (c.queue.size() > 1 && c.queue[1].kind == kFtpStor) ? 2 : 1;
  char hostText[64];
  snprintf(hostText, sizeof hostText, "%u.%u.%u.%u:%u", address >> 24, (address >> 16) & 255,
           (address >> 8) & 255, address & 255, port);
  d.hostText = hostText;
  c.data = &d;
  std::uint64_t serial = d.serial;
  if (!E()->loop->WatchSocket(fd, kWatchRead, [serial](int lfd, unsigned) {
        FtpConnection* d = Find(serial);
        if (!d || d->state != kFtpStateListening) return;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        int cfd = accept4(lfd, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                          SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (cfd < 0) return;
        SetLocalSendBuffer(cfd, ntohl(peer.sin_addr.s_addr));
        E()->loop->UnwatchSocket(lfd);
        close(lfd);
        d->fd = cfd;
        Connected(*d);
      })) {
    CloseConnection(d);
    return kFtpErrorRegister;
  }
  portText = FtpPortText(address, port);
  return 0;
}

void StartCommand(FtpConnection& c) {
  FtpCommand& cmd = c.queue.front();
  std::uint64_t serial = c.serial;
  if (cmd.kind == kFtpPort) {
    std::string text;
    int error = MakeListener(c, text);
    if (error) {
      Notify(FtpErrorCode(error), &c);
      if (FtpConnection* again = Find(serial)) CommandFailed(*again, false);
      return;
    }
    cmd.text = text;
  } else if (cmd.kind == kFtpStor && c.data) {
    FtpConnection& d = *c.data;
    struct stat st {};
    int fd = open(cmd.localFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fstat(fd, &st) != 0) {
      if (fd >= 0) close(fd);
      Notify(FtpErrorCode(kFtpErrorLocalFile), &c, 0, cmd.localFile);
      if (FtpConnection* again = Find(serial)) CommandFailed(*again, false);
      return;
    }
    cmd.fileSize = static_cast<std::uint64_t>(st.st_size);
    c.transferCut = false;
    if (c.resumeOffset) lseek(fd, c.resumeOffset, SEEK_SET);
    d.fileFd = fd;
    d.dataMode = 2;
    d.bytesTransferred = 0;
    Notify(kFtpNoteTransfer, &c, cmd.kind);
    if (!Find(serial)) return;
    if (d.connected) {
      d.state = kFtpStateSending;
      WatchData(d);
    }
  }
  SendCommand(c, cmd);
}

void StartNext(FtpConnection& c) {
  if (c.closing || !c.connected || c.busy) return;
  if (c.queue.empty()) return;
  StartCommand(c);
}

void CommandDone(FtpConnection& c) {
  std::uint64_t serial = c.serial;
  FtpCommand& cmd = c.queue.front();
  int kind = cmd.kind;
  bool keepsData = kind == kFtpPort || kind == kFtpPasv;
  int answer = CallCompletion(c, cmd, 1);
  FtpConnection* cc = Find(serial);
  if (!cc) return;
  if (!keepsData && cc->data) CloseConnection(*cc->data);
  if (answer != -1 && !cc->queue.empty()) cc->queue.pop_front();
  cc->busy = false;
  if (kind == kFtpUser || kind == kFtpPass || kind == kFtpAcct) {
    int next = cc->queue.empty() ? 0 : cc->queue.front().kind;
    if (next != kFtpPass && next != kFtpAcct && next != kFtpUser) ReportLogin(*cc, 1);
    if (!(cc = Find(serial))) return;
  }
  if (cc->queue.empty()) Notify(kFtpNoteQueueEmpty, cc);
  if ((cc = Find(serial))) StartNext(*cc);
}

void CommandFailed(FtpConnection& c, bool reportLine) {
  std::uint64_t serial = c.serial;
  c.failures++;
  FtpCommand& cmd = c.queue.front();
  int kind = cmd.kind;
  std::string line = cmd.replyLine;
  int answer = CallCompletion(c, cmd, 0);
  FtpConnection* cc = Find(serial);
  if (!cc) return;
  cc->busy = false;
  if (answer == -1) {
    Notify(FtpErrorCode(kFtpErrorRefused), cc, 0, line);
    return;  // the caller keeps the command; it is sent again
  }
  if (answer != 666 && reportLine) Notify(FtpErrorCode(kFtpErrorRefused), cc, 0, line);
  if (!(cc = Find(serial))) return;
  if ((kind == kFtpStor || kind == kFtpPort || kind == kFtpPasv) && cc->data)
    CloseConnection(*cc->data);
  if (!cc->queue.empty()) cc->queue.pop_front();
  if ((kind == kFtpPort || kind == kFtpPasv) && !cc->queue.empty() &&
      cc->queue.front().kind == kFtpStor) {
    FtpCommand stor = std::move(cc->queue.front());
    cc->queue.pop_front();
    CallCompletion(*cc, stor, 0);
    if (!(cc = Find(serial))) return;
  }
  if (cc->queue.empty()) Notify(kFtpNoteQueueEmpty, cc);
  if ((cc = Find(serial))) StartNext(*cc);
}

void OpenPassive(FtpConnection& c) {
  std::optional<std::string> host = ParseFtpPassive(c.queue.front().replyLine);
  if (!host) {
    CommandFailed(c, true);
    return;
  }
  FtpConnection& d = NewRecord();
  d.hostText = *host;
  d.passive = true;
  d.owner = &c;
  d.dataMode = (c.queue.size() > 1 && c.queue[1].kind == kFtpStor) ? 2 : 1;
  c.data = &d;
  std::uint64_t serial = d.serial;
  OpenAndLookup(d);
  if (Find(serial) || true) CommandDone(c);
}

void HandleReply(FtpConnection& c, int code, const std::string& line) {
  FtpCommand& cmd = c.queue.front();
  cmd.replyLine = line;
  int last = c.lastReplyCode;
  c.lastReplyCode = code;
  bool positive = code >= 200 && code < 300;
  std::uint64_t serial = c.serial;
  switch (cmd.kind) {
    case kFtpUser:
      if (positive) {
        CommandDone(c);
      } else if (code == 331) {
        if (c.password.empty()) Notify(kFtpNoteNeedPassword, &c);
        if (FtpConnection* cc = Find(serial)) CommandDone(*cc);
      } else if (code == 332 && !c.account.empty()) {
        c.queue.insert(c.queue.begin() + 1, MakeCommand(kFtpAcct, "ACCT " + c.account + "\r\n"));
        CommandDone(c);
      } else if (code == 530 && last != 530) {
        c.busy = false;
        SendCommand(c, cmd);  // the first 530 is retried once
      } else {
        CommandFailed(c, true);
        if (FtpConnection* cc = Find(serial)) LoginFailed(*cc);
      }
      break;
    case kFtpPass:
      if (positive) {
        CommandDone(c);
      } else if (code == 332 && !c.account.empty()) {
        c.queue.insert(c.queue.begin() + 1, MakeCommand(kFtpAcct, "ACCT " + c.account + "\r\n"));
        CommandDone(c);
      } else if (code == 503 && last != 503) {
        FtpCommand pass = std::move(cmd);
        c.queue.pop_front();
        c.busy = false;
        c.queue.push_front(std::move(pass));
        c.queue.push_front(MakeCommand(kFtpUser, UserText(c)));
        StartNext(c);
      } else {
        CommandFailed(c, true);
        if (FtpConnection* cc = Find(serial)) LoginFailed(*cc);
      }
      break;
    case kFtpAcct:
      if (positive) {
        CommandDone(c);
      } else {
        CommandFailed(c, true);
        if (FtpConnection* cc = Find(serial)) LoginFailed(*cc);
      }
      break;
    case kFtpPasv:
      if (positive)
        OpenPassive(c);
      else
        CommandFailed(c, true);
      break;
    case kFtpType:
      if (positive) c.transferType = cmd.text.find('I') != std::string::npos ? 1 : 0;
      [[fallthrough]];
    case kFtpPort:
    case kFtpMkd:
      if (positive)
        CommandDone(c);
      else
        CommandFailed(c, true);
      break;
    case kFtpStor:
      if (code == 110 || code == 125 || code == 150) break;  // preliminary
      if (positive && c.transferCut) {
        Notify(kFtpNoteLog, &c, 0, "Upload cut short: " + cmd.localFile);
        if (FtpConnection* cc = Find(serial)) CommandFailed(*cc, false);
      } else if (positive) {
        CommandDone(c);
      } else {
        CommandFailed(c, true);
      }
      break;
    case kFtpQuit: {
      if (positive)
        CommandDone(c);
      else
        CommandFailed(c, false);
      E()->loop->Post([serial] {
        if (FtpConnection* cc = Find(serial)) CloseConnection(*cc);
      });
      break;
    }
    default:
      if (positive)
        CommandDone(c);
      else
        CommandFailed(c, true);
  }
}

void ProcessReplies(FtpConnection& c) {
  std::uint64_t serial = c.serial;
  Notify(kFtpNoteMessage, &c, 0, (" " + c.replyBuffer).substr(0, 1000));
  FtpConnection* cc = Find(serial);
  if (!cc) return;
  if (cc->replyBuffer.compare(0, 4, "421 ") == 0) {
    CloseConnection(*cc);
    return;
  }
  for (;;) {
    if (!(cc = Find(serial))) return;
    std::string line;
    if (!TakeFtpReplyLine(cc->replyBuffer, line)) break;
    int code = FtpReplyCode(line);
    if (code < 0) continue;  // continuation lines and text
    if (code == 421) {
      Notify(kFtpNoteLog, cc, 0, line);
      if ((cc = Find(serial))) CloseConnection(*cc);
      return;
    }
    if (code == 220) continue;  // the greeting
    if (cc->queue.empty() || !cc->busy) continue;
    int kind = cc->queue.front().kind;
    if (code == 230 && kind != kFtpUser && kind != kFtpPass) continue;
    Notify(kFtpNoteLog, cc, 0, line);
    if (!(cc = Find(serial)) || cc->queue.empty() || !cc->busy) continue;
    HandleReply(*cc, code, line);
  }
}

void ControlReadable(std::uint64_t serial) {
  FtpConnection* c = Find(serial);
  if (!c) return;
  char buf[kReplyRead];
  ssize_t n = recv(c->fd, buf, sizeof buf, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n <= 0) {
    if (n < 0) Notify(kFtpNoteSocketError, c, errno);
    if ((c = Find(serial))) CloseConnection(*c);  // the server closed the session
    return;
  }
  c->tickCount = 0;
  std::size_t scanFrom = c->replyBuffer.empty() ? 0 : c->replyBuffer.size() - 1;
  c->replyBuffer.append(buf, static_cast<std::size_t>(n));
  if (c->replyBuffer.size() > kReplyLimit) {
    // A reply that never ends its line is cut, so a flood cannot grow without bound.
    std::size_t cut = c->replyBuffer.size() - kReplyLimit;
    c->replyBuffer.erase(0, cut);
    scanFrom = scanFrom > cut ? scanFrom - cut : 0;
  }
  if (c->replyBuffer.find("\r\n", scanFrom) == std::string::npos) return;
  ProcessReplies(*c);
}

void Drive(FtpConnection& c) {
  if (c.closing) return;
  if (c.state == kFtpStateNew && c.fd < 0)
    OpenAndLookup(c);
  else if (c.connected && !c.owner)
    StartNext(c);
}

template <typename Pred>
FtpConnection* NextInTurn(std::size_t& cursor, Pred pred) {
  auto& list = E()->connections;
  std::vector<FtpConnection*> candidates;
  for (auto& c : list) {
    if (pred(*c)) candidates.push_back(c.get());
  }
  if (candidates.empty()) return nullptr;
  return candidates[cursor++ % candidates.size()];
}

void TimeoutTick() {
  if (!E()) return;
  FtpConnection* c = NextInTurn(E()->examineTimeout, [](FtpConnection& c) {
    return !c.owner && !c.queue.empty() && !c.closing;
  });
  if (!c) return;
  if (++c->tickCount <= 2) return;
  std::uint64_t serial = c->serial;
  c->tickCount = 0;
  Notify(kFtpNoteTimedOut, c);
  if (!(c = Find(serial))) return;
  if (c->data) CloseConnection(*c->data);
  c->busy = false;
  int kind = c->queue.empty() ? 0 : c->queue.front().kind;
  if (kind == kFtpUser || kind == kFtpPass || kind == kFtpAcct || !c->connected) {
    FtpCommand cmd = std::move(c->queue.front());
    c->queue.pop_front();
    CallCompletion(*c, cmd, 0);
    if ((c = Find(serial))) LoginFailed(*c);
    return;
  }
  if (c->connected) c->state = kFtpStateIdle;
  DropQueue(*c);
  if ((c = Find(serial))) Notify(kFtpNoteQueueEmpty, c);
}

void WorkTick() {
  if (!E()) return;
  FtpConnection* c = NextInTurn(E()->examineWork, [](FtpConnection& c) { return !c.closing; });
  if (!c) return;
  std::uint64_t serial = c->serial;
  if (!c->queue.empty()) Notify(kFtpNoteTick, c);
  if ((c = Find(serial))) Drive(*c);
}

void StartTimers() {
  E()->loop->StartTimer(kFtpTimeoutTimer, S().tickMs, TimeoutTick);
  E()->loop->StartTimer(kFtpWorkTimer, 50, WorkTick);
}

}  // namespace

FtpConnection::FtpConnection() = default;
FtpConnection::~FtpConnection() {
  if (fd >= 0) close(fd);
  if (fileFd >= 0) close(fileFd);
}

bool FtpStartup(EventLoop& loop, int timeoutMs, FtpNotify notify) {
  if (E()) return false;
  E() = std::make_unique<Engine>();
  E()->loop = &loop;
  E()->notify = std::move(notify);
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) == 0) E()->socks4UserId = name;
  S().tickMs = timeoutMs <= 0 ? 0 : std::max(timeoutMs, 4000);
  StartTimers();
  return true;
}

void FtpShutdown() {
  if (!E()) return;
  // Data connections first, then the control connections.
  for (int pass = 0; pass < 2 && E(); ++pass) {
    std::vector<std::uint64_t> serials;
    for (auto& c : E()->connections) {
      if ((pass == 0) == (c->owner != nullptr)) serials.push_back(c->serial);
    }
    for (std::uint64_t s : serials) {
      if (FtpConnection* c = Find(s)) CloseConnection(*c);
    }
  }
  if (E()) {
    E()->loop->StopTimer(kFtpTimeoutTimer);
    E()->loop->StopTimer(kFtpWorkTimer);
    E().reset();
  }
  S() = Settings{};
}

void FtpSetTimeout(int milliseconds) {
  int period = milliseconds == 0 ? 0 : std::max(milliseconds, 4000);
  if (period == S().tickMs) return;
  S().tickMs = period;
  if (E()) E()->loop->StartTimer(kFtpTimeoutTimer, period, TimeoutTick);
}

void FtpSetProxy(int type, const std::string& host, int port, const std::string& user,
                 const std::string& password) {
  Settings& s = S();
  s.proxyType = type;
  s.proxyHost.clear();
  s.proxyUser.clear();
  s.proxyPassword.clear();
  s.proxyPort = 21;
  if (type != 0) {
    s.proxyHost = host;
    if (port > 0) s.proxyPort = port;
    s.proxyUser = user;
    s.proxyPassword = password;
  }
  if (s.proxyHost.empty()) s.proxyType = 0;
}

FtpConnection* FtpConnect(const std::string& user, const std::string& password,
                          const std::string& account, const std::string& host, int port,
                          FtpConnectionCallback callback) {
  if (!E() || host.empty()) return nullptr;
  if (HasLineBreak(user) || HasLineBreak(password) || HasLineBreak(account) || HasLineBreak(host))
    return nullptr;
  FtpConnection& c = NewRecord();
  c.hostText = host + ":" + std::to_string(port > 0 ? port : 21);
  c.user = user;
  c.password = password;
  c.account = account;
  c.callback = std::move(callback);
  Queue(c, MakeCommand(kFtpUser, UserText(c)));
  if (!password.empty()) Queue(c, MakeCommand(kFtpPass, "PASS " + password + "\r\n"));
  std::uint64_t serial = c.serial;
  E()->loop->Post([serial] {
    if (FtpConnection* c = Find(serial)) Drive(*c);
  });
  return &c;
}

bool FtpMakeDir(FtpConnection* connection, const std::string& directory, FtpCompletion completion) {
  if (!connection || !Find(connection->serial) || connection->owner || HasLineBreak(directory))
    return false;
  FtpCommand cmd = MakeCommand(kFtpMkd, "MKD " + directory + "\r\n");
  cmd.completion = std::move(completion);
  Queue(*connection, std::move(cmd));
  return true;
}

bool FtpStore(FtpConnection* connection, const std::string& localFile,
              const std::string& remoteName, bool binary, FtpCompletion completion,
              std::uint32_t userValue) {
  if (!connection || !Find(connection->serial) || connection->owner || HasLineBreak(remoteName))
    return false;
  struct stat st {};
  if (stat(localFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  FtpConnection& c = *connection;
  int type = binary ? 1 : 0;
  int inForce = c.queuedType >= 0 ? c.queuedType : c.transferType;
  if (type != inForce) Queue(c, MakeCommand(kFtpType, binary ? "TYPE I\r\n" : "TYPE A\r\n"));
  c.queuedType = type;
  Queue(c, MakeCommand(c.passive ? kFtpPasv : kFtpPort, c.passive ? "PASV\r\n" : "PORT $\r\n"));
  FtpCommand stor = MakeCommand(kFtpStor, "STOR " + remoteName + "\r\n");
  stor.localFile = localFile;
  stor.fileSize = static_cast<std::uint64_t>(st.st_size);
  stor.completion = std::move(completion);
  stor.userValue = userValue;
  c.resumeOffset = 0;
  Queue(c, std::move(stor));
  return true;
}

void FtpQuit(FtpConnection* connection) {
  if (!connection || !Find(connection->serial) || connection->owner) return;
  FtpConnection& c = *connection;
  std::uint64_t serial = c.serial;
  if (c.data) CloseConnection(*c.data);
  FtpConnection* cc = Find(serial);
  if (!cc) return;
  bool quitQueued = false;
  for (const FtpCommand& cmd : cc->queue) quitQueued |= cmd.kind == kFtpQuit;
  if (quitQueued || !cc->connected) {
    CloseConnection(*cc);
    return;
  }
  DropQueue(*cc, cc->busy ? 1 : 0);
  if (!(cc = Find(serial))) return;
  Queue(*cc, MakeCommand(kFtpQuit, "QUIT\r\n"));
}

std::size_t FtpConnectionCount() {
  return E() ? E()->connections.size() : 0;
}

std::string FtpPortText(std::uint32_t address, std::uint16_t port) {
  return "PORT " + std::to_string(address >> 24) + "," + std::to_string((address >> 16) & 255) +
         "," + std::to_string((address >> 8) & 255) + "," + std::to_string(address & 255) + "," +
         std::to_string(port / 256) + "," + std::to_string(port % 256) + "\r\n";
}

bool TakeFtpReplyLine(std::string& buffer, std::string& line) {
  std::size_t nl = buffer.find('\n');
  if (nl == std::string::npos) return false;
  line.assign(buffer, 0, nl);
  buffer.erase(0, nl + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

int FtpReplyCode(std::string_view line) {
  if (line.size() < 4 || line[3] != ' ') return -1;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (!isdigit(static_cast<unsigned char>(line[i]))) return -1;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

std::optional<std::string> ParseFtpPassive(std::string_view reply) {
  std::size_t open = reply.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  std::size_t close = reply.find(')', open);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view inner = reply.substr(open + 1, close - open - 1);
  long numbers[6];
  int count = 0;
  std::size_t i = 0;
  while (count < 6) {
    while (i < inner.size() && inner[i] == ' ') ++i;
    if (i >= inner.size() || !isdigit(static_cast<unsigned char>(inner[i]))) return std::nullopt;
    long v = 0;
    while (i < inner.size() && isdigit(static_cast<unsigned char>(inner[i])) && v <= 255)
      v = v * 10 + (inner[i++] - '0');
    if (v > 255) return std::nullopt;
    numbers[count++] = v;
    while (i < inner.size() && inner[i] == ' ') ++i;
    if (count < 6) {
      if (i >= inner.size() || inner[i] != ',') return std::nullopt;
      ++i;
    }
  }
  if (i != inner.size()) return std::nullopt;
  long port = numbers[4] * 256 + numbers[5];
  if (port == 0) return std::nullopt;
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
         std::to_string(numbers[2]) + "." + std::to_string(numbers[3]) + ":" + std::to_string(port);
}

}  // namespace tolmi
