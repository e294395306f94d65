#include "net/HttpClient.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <list>
#include <map>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "net/EventLoop.h"
#include "net/NetUtil.h"
#include "net/Socks.h"
#include "util/Base64.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

constexpr std::uint32_t kGrowStep = 8200;
constexpr std::size_t kReadPiece = 4096;
constexpr std::size_t kHttpsPiece = 4192;
constexpr std::uint32_t kReplyLimit = 1u << 30;  // beyond this the block "cannot be enlarged"
constexpr int kCurlTimer = 20005;
constexpr int kMaxFollowUps = 5;
// An announced reply this large gets its pages filled in ahead (ReplyPrefault), in steps
// of kPrefaultStep bytes at most kPrefaultLead bytes ahead of the last byte received.
constexpr std::size_t kPrefaultFrom = 4u << 20;
constexpr std::uintptr_t kPrefaultStep = 1u << 20;
constexpr std::uintptr_t kPrefaultLead = 16u << 20;

// Fills in the pages of a large announced reply block on a helper thread, a few
// megabytes ahead of the bytes: the loop thread then copies into memory that is
// already there instead of taking a page fault every 4 KB (a fault costs about as
// much as receiving the 4 KB). It only touches the block's free room, never its
// bytes; the engine stops it before the block is moved or freed.
struct ReplyPrefault {
  explicit ReplyPrefault(std::string& reply)
      : begin(reinterpret_cast<std::uintptr_t>(reply.data())),
        end(begin + reply.capacity()),
        received(reply.size()) {
    thread = std::thread([this] { Run(); });
  }
  ~ReplyPrefault() {
    stop = true;
    thread.join();
  }
  void Run() {
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    std::uintptr_t next = (begin + received.load() + page - 1) & ~(page - 1);
    while (!stop && next + kPrefaultStep <= end) {
      if (next > begin + received.load(std::memory_order_relaxed) + kPrefaultLead) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        continue;
      }
      if (madvise(reinterpret_cast<void*>(next), kPrefaultStep, MADV_POPULATE_WRITE) != 0) break;
      next += kPrefaultStep;
    }
  }
  std::uintptr_t begin, end;
  std::atomic<std::size_t> received;  // bytes in the block, as the loop thread last stored
  std::atomic<bool> stop{false};
  std::thread thread;
};

struct Settings {
  bool noCache = false;
  int tickMs = 64000;
  int proxyType = 0;
  std::string proxyHost;
  int proxyPort = 80;
  std::string proxyUser, proxyPassword, proxyAuthorization;
  std::string caFile;
};

struct Engine {
  EventLoop* loop = nullptr;
  std::string userAgent;
  HttpNotify notify;
  std::list<std::unique_ptr<HttpRequest>> requests;
  std::size_t examine = 0;
  bool cancelling = false;
  std::uint64_t nextSerial = 1;
  std::uint64_t totalBytes = 0;
  std::string socks4UserId;
  CURLM* multi = nullptr;
  std::map<std::uint64_t, std::unique_ptr<ReplyPrefault>> prefaults;  // by request serial
};

Settings& S() {
  static Settings settings;
  return settings;
}
std::unique_ptr<Engine>& E() {
  static std::unique_ptr<Engine> engine;
  return engine;
}

void Notify(int code, HttpRequest* request, std::int64_t number = 0, const std::string& text = {}) {
  Engine* e = E().get();
  if (e && e->notify) e->notify(code, request, number, text);
}

// A user message: one space, then the text, at most 99 characters in all.
void Message(HttpRequest* request, const std::string& text) {
  Notify(kHttpNoteMessage, request, 0, (" " + text).substr(0, 99));
}

HttpRequest* Find(std::uint64_t serial) {
  Engine* e = E().get();
  if (!e) return nullptr;
  for (auto& r : e->requests) {
    if (r->serial == serial) return r.get();
  }
  return nullptr;
}

HttpComposeSettings ComposeSettingsNow() {
  HttpComposeSettings c;
  c.proxy = !S().proxyHost.empty();
  c.noCache = S().noCache;
  c.userAgent = E() ? E()->userAgent : std::string();
  c.proxyAuthorization = S().proxyAuthorization;
  return c;
}

void Complete(HttpRequest& req);
void BeginLookup(HttpRequest& req);
bool StartHttps(HttpRequest& req);

void CloseSocket(HttpRequest& req) {
  Engine* e = E().get();
  e->prefaults.erase(req.serial);  // before anyone moves or frees the reply
  if (req.lookupId) {
    e->loop->CancelLookup(req.lookupId);
    req.lookupId = 0;
  }
  if (req.fd >= 0) {
    e->loop->UnwatchSocket(req.fd);
    close(req.fd);
    req.fd = -1;
  }
  if (req.curl) {
    curl_multi_remove_handle(e->multi, static_cast<CURL*>(req.curl));
    curl_easy_cleanup(static_cast<CURL*>(req.curl));
    req.curl = nullptr;
  }
  if (req.curlHeaders) {
    curl_slist_free_all(static_cast<curl_slist*>(req.curlHeaders));
    req.curlHeaders = nullptr;
  }
}

// A failure before (or instead of) a usable reply: completes on the next pass.
void Fail(HttpRequest& req, unsigned extraFlags) {
  req.flags |= kHttpFailed | extraFlags;
  req.state = kHttpStateFailed;
  if (req.failing) return;
  req.failing = true;
  if (req.fd >= 0) E()->loop->UnwatchSocket(req.fd);
  std::uint64_t serial = req.serial;
  E()->loop->Post([serial] {
    if (HttpRequest* r = Find(serial); r && !r->done) Complete(*r);
  });
}

bool OpenSocket(HttpRequest& req) {
  req.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  return req.fd >= 0;
}

void ResetForRestart(HttpRequest& req) {
  CloseSocket(req);
  req.reply.clear();
  req.reply.shrink_to_fit();
  req.bytesReceived = req.bytesAllocated = 0;
  req.contentLength = req.headerLength = 0;
  req.lastModified.clear();
  req.statusCode = 0;
  req.flags = 0;
  req.state = kHttpStateCreated;
  req.tickCount = 0;
  req.done = req.failing = req.headerSeen = req.socksDone = req.limitReached = false;
  req.headerScan = 0;
  req.pendingOut.clear();
  req.socksIn.clear();
  req.socks.reset();
  req.delegated = false;
}

// Opens a socket (or hands the request to the https path) and starts the lookup.
bool Restart(HttpRequest& req) {
  if (FindNoCase(req.url, "https://") != std::string::npos) return StartHttps(req);
  if (!OpenSocket(req)) {
    Message(&req, "Unable to get socket.");
    return false;
  }
  BeginLookup(req);
  return true;
}

void SendPending(HttpRequest& req);

void OnReadable(std::uint64_t serial);

void WatchForReply(HttpRequest& req) {
  std::uint64_t serial = req.serial;
  unsigned events = kWatchRead | (req.pendingOut.empty() ? 0u : kWatchWrite);
  E()->loop->WatchSocket(req.fd, events, [serial](int, unsigned ev) {
    HttpRequest* r = Find(serial);
    if (!r || r->done || r->failing) return;
    if ((ev & kWatchWrite) && !r->pendingOut.empty()) {
      SendPending(*r);
      r = Find(serial);
      if (!r || r->done || r->failing) return;
    }
    if (ev & kWatchRead) OnReadable(serial);
  });
}

// Sends what is left of the request text; the rest waits for the next writable event.
void SendPending(HttpRequest& req) {
  ssize_t n = send(req.fd, req.pendingOut.data(), req.pendingOut.size(), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    req.lastError = n < 0 ? errno : 0;
    Message(&req,
            (req.state == kHttpStateSocks ? "Request send Failed (" : "Request Send failed (") +
                std::to_string(req.lastError) + ")");
    Fail(req, kHttpSocketError);
    return;
  }
  req.pendingOut.erase(0, static_cast<std::size_t>(n));
  if (req.pendingOut.empty()) WatchForReply(req);
}

void SendRequest(HttpRequest& req) {
  req.state = kHttpStateConnected;
  std::string text = ComposeHttpRequest(req.url, ComposeSettingsNow());
  Notify(kHttpNoteSent, &req, 0, text);
  req.pendingOut = std::move(text);
  std::uint64_t serial = req.serial;
  SendPending(req);
  HttpRequest* r = Find(serial);
  if (r && !r->failing && !r->pendingOut.empty())
    WatchForReply(*r);
  else if (r && !r->failing)
    WatchForReply(*r);
}

void SocksSend(HttpRequest& req, const std::string& bytes) {
  if (bytes.empty()) return;
  req.pendingOut += bytes;
  SendPending(req);
  if (!req.failing && !req.pendingOut.empty()) WatchForReply(req);
}

void SocksTargetKnown(HttpRequest& req, const std::string& address) {
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1) {
    Message(&req, "Address Translation Error");
    Fail(req, 0);
    return;
  }
  HttpUrlParts parts = SplitHttpUrl(req.url);
  SocksSend(req, req.socks->TargetRequest(ntohl(a.s_addr), static_cast<std::uint16_t>(parts.port)));
}

void SocksNeedsTarget(HttpRequest& req) {
  HttpUrlParts parts = SplitHttpUrl(req.url);
  if (IsNumericHost(parts.lookupHost)) {
    SocksTargetKnown(req, parts.lookupHost);
    return;
  }
  std::uint64_t serial = req.serial;
  req.lookupId = E()->loop->LookupHost(parts.lookupHost, [serial](int error, const std::string& a) {
    HttpRequest* r = Find(serial);
    if (!r || r->done) return;
    r->lookupId = 0;
    if (error) {
      r->lastError = error;
      Message(r, "Host Not Found");
      Fail(*r, kHttpSocketError);
      return;
    }
    SocksTargetKnown(*r, a);
  });
  if (!req.lookupId) {
    Message(&req, "Host Not Found");
    Fail(req, kHttpSocketError);
  }
}

void SocksStep(HttpRequest& req, SocksNegotiator::Step step) {
  if (step == SocksNegotiator::Step::Failed) {
    Message(&req, req.socks->failure());
    Fail(req, kHttpSocketError);
  } else if (step == SocksNegotiator::Step::NeedTarget) {
    SocksNeedsTarget(req);
  } else if (step == SocksNegotiator::Step::Done) {
    req.socksDone = true;
    std::string surplus = std::move(req.socksIn);
    req.socksIn.clear();
    SendRequest(req);
    (void)surplus;  // a proxy sends nothing after its reply until the request goes out
  }
}

void OnConnected(std::uint64_t serial) {
  HttpRequest* r = Find(serial);
  if (!r || r->done || r->failing) return;
  HttpRequest& req = *r;
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(req.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err != 0) {
    req.lastError = err;
    Notify(kHttpNoteSocketError, &req, err);
    Fail(req, kHttpSocketError);
    return;
  }
  if ((S().proxyType == 2 || S().proxyType == 3) && !S().proxyHost.empty() && !req.socksDone) {
    req.state = kHttpStateSocks;
    req.socks = std::make_unique<SocksNegotiator>(S().proxyType, S().proxyUser, S().proxyPassword,
                                                  E()->socks4UserId);
    WatchForReply(req);
    std::string out;
    SocksNegotiator::Step step = req.socks->Start(out);
    SocksSend(req, out);
    if (Find(serial) && !req.failing) SocksStep(req, step);
    return;
  }
  SendRequest(req);
}

void Connect(HttpRequest& req, const std::string& address) {
  req.peerAddress = address.substr(0, 19);
  req.state = kHttpStateAddress;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  if (inet_pton(AF_INET, req.peerAddress.c_str(), &sa.sin_addr) != 1) {
    Message(&req, "Address Translation Error");
    Fail(req, 0);
    return;
  }
  int port = S().proxyHost.empty() ? SplitHttpUrl(req.url).port : S().proxyPort;
  sa.sin_port = htons(static_cast<std::uint16_t>(port));
  std::uint64_t serial = req.serial;
  if (!E()->loop->WatchSocket(req.fd, kWatchWrite,
                              [serial](int, unsigned) { OnConnected(serial); })) {
    Notify(kHttpNoteSocketError, &req, EBADF);
    Fail(req, kHttpSocketError);
    return;
  }
  Notify(kHttpNoteConnecting, &req);
  if (connect(req.fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 && errno != EINPROGRESS) {
    req.lastError = errno;
    Notify(kHttpNoteSocketError, &req, req.lastError);
    Fail(req, kHttpSocketError);
  }
}

void BeginLookup(HttpRequest& req) {
  HttpUrlParts parts = SplitHttpUrl(req.url);
  std::string host = S().proxyHost.empty() ? parts.lookupHost : S().proxyHost;
  host = host.substr(0, host.find(':'));
  if (IsNumericHost(host)) {
    Connect(req, host);
    return;
  }
  Engine* e = E().get();
  bool first = req.redirectCount == 0;
  req.state = kHttpStateLookup;
  if (first) Notify(kHttpNoteLookup, &req);
  std::uint64_t serial = req.serial;
  req.lookupId = e->loop->LookupHost(host, [serial, first](int error, const std::string& address) {
    HttpRequest* r = Find(serial);
    if (!r || r->done) return;
    r->lookupId = 0;
    if (error) {
      r->lastError = error;
      Message(r, "Host Not Found");
      Fail(*r, kHttpSocketError);
      return;
    }
    if (first) Notify(kHttpNoteHostFound, r);
    Connect(*r, address);
  });
  if (!req.lookupId) {
    Message(&req, "Host Not Found");
    Fail(req, kHttpSocketError);
  }
}

// Adds received bytes to the reply block; false when the block cannot grow.
bool AppendReply(HttpRequest& req, const char* data, std::size_t n) {
  while (req.bytesAllocated - req.bytesReceived < kGrowStep ||
         req.bytesAllocated - req.bytesReceived < n) {
    if (req.bytesAllocated > kReplyLimit) {
      Notify(kHttpNoteOutOfMemory, &req, 0, "Error TH112: Out of memory");
      return false;
    }
    req.bytesAllocated += kGrowStep;
  }
  auto prefault = E()->prefaults.find(req.serial);
  if (prefault != E()->prefaults.end() && req.reply.size() + n > req.reply.capacity()) {
    E()->prefaults.erase(prefault);  // the block is about to move
    prefault = E()->prefaults.end();
  }
  try {
    req.reply.append(data, n);
  } catch (const std::bad_alloc&) {
    Notify(kHttpNoteOutOfMemory, &req, 0, "Error TH112: Out of memory");
    return false;
  }
  req.bytesReceived += static_cast<std::uint32_t>(n);
  if (prefault != E()->prefaults.end())
    prefault->second->received.store(req.reply.size(), std::memory_order_relaxed);
  E()->totalBytes += n;
  req.tickCount = 0;
  if (!req.headerSeen) {
    std::size_t end = HttpHeadLength(req.reply, req.headerScan > 3 ? req.headerScan - 3 : 0);
    req.headerScan = req.reply.size();
    if (end != 0) {
      req.headerSeen = true;
      req.headerLength = static_cast<std::uint32_t>(end);
      HttpReplyHead head = ParseHttpReplyHead(std::string_view(req.reply).substr(0, end));
      req.statusCode = head.statusCode;
      req.contentLength = head.contentLength;
      req.lastModified = head.lastModified;
      // Room for the announced body at once (bounded: the length is the peer's word).
      std::size_t announced = std::min<std::size_t>(head.contentLength, 256u << 20);
      if (req.reply.capacity() < end + announced) {
        try {
          req.reply.reserve(end + announced);
          if (announced >= kPrefaultFrom)
            E()->prefaults[req.serial] = std::make_unique<ReplyPrefault>(req.reply);
        } catch (const std::exception&) {  // no room or no thread: the block grows as it fills
        }
      }
    }
  }
  return true;
}

// One readable event. The socket is read in large blocks (small reads stall
// loopback TCP on delayed acknowledgements), and each block is taken in the
// documented 4096-byte pieces: block growth and notification 1 per piece.
void OnReadable(std::uint64_t serial) {
  HttpRequest* r = Find(serial);
  if (!r || r->done || r->failing) return;
  HttpRequest& req = *r;
  static char buf[256 * 1024];
  ssize_t n = recv(req.fd, buf, sizeof buf, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n < 0) {
    req.lastError = errno;
    Notify(kHttpNoteSocketError, &req, req.lastError);
    if (req.bytesReceived > 0) {
      req.flags |= kHttpFailed | kHttpSocketError;
      Complete(req);
    } else {
      Fail(req, kHttpSocketError);
    }
    return;
  }
  if (req.state == kHttpStateSocks && !req.socksDone) {
    if (n == 0) {
      Message(&req, "SOCKS proxy closed the connection");
      Fail(req, kHttpSocketError);
      return;
    }
    req.socksIn.append(buf, static_cast<std::size_t>(n));
    std::string out;
    SocksNegotiator::Step step = req.socks->Feed(req.socksIn, out);
    SocksSend(req, out);
    if (Find(serial) && !req.failing && step != SocksNegotiator::Step::Wait) SocksStep(req, step);
    return;
  }
  if (n == 0) {
    Complete(req);
    return;
  }
  req.state = kHttpStateReceiving;
  for (std::size_t at = 0; at < static_cast<std::size_t>(n); at += kReadPiece) {
    std::size_t piece = std::min(kReadPiece, static_cast<std::size_t>(n) - at);
    if (!AppendReply(req, buf + at, piece)) {
      req.flags |= kHttpFailed;
      Complete(req);
      return;
    }
    Notify(kHttpNoteBytes, &req);
    if (!Find(serial) || req.done) return;
    if (req.maxBytes && req.bytesReceived > req.maxBytes) {
      Complete(req);
      return;
    }
  }
}

bool FollowRedirect(HttpRequest& req) {
  if (req.redirectCount >= kMaxFollowUps) return false;
  std::string next = HttpRedirectUrl(req.url, req.reply, req.headerLength);
  if (next.empty() || next == req.url) return false;
  ResetForRestart(req);
  req.url = next;
  req.redirectCount++;
  return Restart(req);
}

void Remove(HttpRequest& req) {
  Engine* e = E().get();
  Notify(kHttpNoteRemoving, &req);
  e = E().get();
  if (!e) return;
  for (auto it = e->requests.begin(); it != e->requests.end(); ++it) {
    if (it->get() == &req) {
      CloseSocket(req);
      e->requests.erase(it);
      break;
    }
  }
  if (e->requests.empty()) Notify(kHttpNoteListEmpty, nullptr);
}

void CallCompletion(HttpRequest& req) {
  std::uint64_t serial = req.serial;
  HttpCompletion completion = req.completion;  // the callback may end the engine
  int answer = completion ? completion(req, req.userValue) : 0;
  HttpRequest* r = Find(serial);
  if (!r) return;
  if (answer == 2 && !E()->cancelling && !(r->flags & kHttpCancelled) && FollowRedirect(*r)) return;
  if ((r = Find(serial))) Remove(*r);
}

void Complete(HttpRequest& req) {
  if (req.done) return;
  req.done = true;
  CloseSocket(req);
  req.state = kHttpStateCreated;
  if (req.bytesReceived == 0) {
    req.flags |= kHttpFailed;
  } else if (req.statusCode == 301 || req.statusCode == 302) {
    req.flags |= kHttpRedirected | kHttpFailed;
  } else if (req.statusCode == 407 && !(req.flags & kHttpFailed) &&
             S().proxyAuthorization.empty() && !S().proxyUser.empty() &&
             req.redirectCount < kMaxFollowUps) {
    std::string pair = (S().proxyUser + ":" + S().proxyPassword).substr(0, 99);
    S().proxyAuthorization = Base64Encode(pair);
    ResetForRestart(req);
    req.redirectCount++;
    if (Restart(req)) return;
    req.done = true;
    req.flags |= kHttpFailed;
  } else if (req.statusCode == 200 && !(req.flags & kHttpFailed)) {
    req.flags |= kHttpSucceeded;
  } else {
    req.flags |= kHttpFailed;
  }
  CallCompletion(req);
}

void TimeoutTick() {
  Engine* e = E().get();
  if (!e || e->requests.empty()) return;
  e->examine %= e->requests.size();
  auto it = e->requests.begin();
  std::advance(it, static_cast<long>(e->examine));
  e->examine++;
  HttpRequest& req = **it;
  req.tickCount++;
  if (req.done || req.failing) return;
  bool early = req.state < 3 || req.state == kHttpStateLookup;
  if ((early && req.tickCount > 1) || req.tickCount >= 11) {
    req.flags |= kHttpTimedOut | kHttpFailed;
    Complete(req);
  }
}

void ProgressTick() {
  Engine* e = E().get();
  if (!e || e->requests.empty()) return;
  std::size_t index = e->examine % e->requests.size();
  auto it = e->requests.begin();
  std::advance(it, static_cast<long>(index));
  Notify(kHttpNoteTick, it->get());
}

void StartTimers() {
  Engine* e = E().get();
  e->loop->StartTimer(kHttpTimeoutTimer, S().tickMs, TimeoutTick);
  e->loop->StartTimer(kHttpProgressTimer, 100, ProgressTick);
}

// --- https through libcurl on the same loop ---

void CurlCheck() {
  Engine* e = E().get();
  if (!e || !e->multi) return;
  int left = 0;
  std::vector<std::pair<std::uint64_t, CURLcode>> finished;
  while (CURLMsg* msg = curl_multi_info_read(e->multi, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    char* priv = nullptr;
    curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &priv);
    finished.emplace_back(reinterpret_cast<std::uintptr_t>(priv), msg->data.result);
  }
  for (auto [serial, code] : finished) {
    HttpRequest* r = Find(serial);
    if (!r || r->done) continue;
    long status = 0;
    curl_easy_getinfo(static_cast<CURL*>(r->curl), CURLINFO_RESPONSE_CODE, &status);
    r->statusCode = static_cast<int>(status);
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && r->limitReached)) {
      r->lastError = code;
      Message(r, curl_easy_strerror(code));
      r->flags |= kHttpFailed | kHttpSocketError;
    }
    Complete(*r);
  }
}

void CurlAction(int fd, int flags) {
  Engine* e = E().get();
  if (!e || !e->multi) return;
  int running = 0;
  curl_multi_socket_action(e->multi, fd, flags, &running);
  CurlCheck();
}

int CurlSocket(CURL*, curl_socket_t s, int what, void*, void*) {
  Engine* e = E().get();
  if (!e) return 0;
  if (what == CURL_POLL_REMOVE) {
    e->loop->UnwatchSocket(s);
    return 0;
  }
  unsigned events =
      ((what & CURL_POLL_IN) ? kWatchRead : 0u) | ((what & CURL_POLL_OUT) ? kWatchWrite : 0u);
  e->loop->WatchSocket(s, events, [](int fd, unsigned ev) {
    int flags = ((ev & kWatchRead) ? CURL_CSELECT_IN : 0) |
                ((ev & kWatchWrite) ? CURL_CSELECT_OUT : 0) |
                ((ev & kWatchError) ? CURL_CSELECT_ERR : 0);
    CurlAction(fd, flags);
  });
  return 0;
}

int CurlTimer(CURLM*, long timeoutMs, void*) {
  Engine* e = E().get();
  if (!e) return 0;
  if (timeoutMs < 0) {
    e->loop->StopTimer(kCurlTimer);
    return 0;
  }
  e->loop->StartTimer(kCurlTimer, static_cast<int>(std::max(1L, timeoutMs)), [] {
    if (E()) E()->loop->StopTimer(kCurlTimer);
    CurlAction(CURL_SOCKET_TIMEOUT, 0);
  });
  return 0;
}

size_t CurlBody(char* data, size_t size, size_t count, void* user) {
  std::uint64_t serial = reinterpret_cast<std::uintptr_t>(user);
  HttpRequest* r = Find(serial);
  if (!r) return 0;
  size_t n = size * count;
  if (!r->headerSeen) {
    r->headerSeen = true;
    r->headerLength = static_cast<std::uint32_t>(r->reply.size());
  }
  r->state = kHttpStateReceiving;
  if (!AppendReply(*r, data, n)) return 0;
  Notify(kHttpNoteBytes, r);
  if ((r = Find(serial)) && r->maxBytes && r->bytesReceived > r->maxBytes) {
    r->limitReached = true;
    return 0;
  }
  return n;
}

size_t CurlHeader(char* data, size_t size, size_t count, void* user) {
  std::uint64_t serial = reinterpret_cast<std::uintptr_t>(user);
  HttpRequest* r = Find(serial);
  if (!r) return 0;
  size_t n = size * count;
  // The reply heads arrive line by line; the blank line ends them as on a plain connection.
  if (!AppendReply(*r, data, n)) return 0;
  return n;
}

bool StartHttps(HttpRequest& req) {
  Engine* e = E().get();
  static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!curlReady) return false;
  if (!e->multi) {
    e->multi = curl_multi_init();
    if (!e->multi) return false;
    curl_multi_setopt(e->multi, CURLMOPT_SOCKETFUNCTION, CurlSocket);
    curl_multi_setopt(e->multi, CURLMOPT_TIMERFUNCTION, CurlTimer);
  }
  CURL* easy = curl_easy_init();
  if (!easy) return false;
  req.delegated = true;
  req.statusCode = 200;
  req.state = kHttpStateConnected;
  HttpsTarget target = SplitHttpsTarget(req.url);
  std::string block = ComposeHttpsHeaders(req.url, ComposeSettingsNow());
  curl_slist* headers = nullptr;
  for (std::size_t pos = 0; pos < block.size();) {
    std::size_t end = block.find("\r\n", pos);
    if (end == std::string::npos) end = block.size();
    headers = curl_slist_append(headers, block.substr(pos, end - pos).c_str());
    pos = end + 2;
  }
  headers = curl_slist_append(headers, "Expect:");
  req.curl = easy;
  req.curlHeaders = headers;
  void* serial = reinterpret_cast<void*>(static_cast<std::uintptr_t>(req.serial));
  curl_easy_setopt(easy, CURLOPT_URL, target.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, serial);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CurlBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, serial);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, CurlHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, serial);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kHttpsPiece));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
  if (target.post) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(target.body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, target.body.c_str());
  }
  if (!S().caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, S().caFile.c_str());
  if (!S().proxyHost.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXY, S().proxyHost.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(S().proxyPort));
    long type = S().proxyType == 2   ? CURLPROXY_SOCKS4
                : S().proxyType == 3 ? CURLPROXY_SOCKS5
                                     : CURLPROXY_HTTP;
    curl_easy_setopt(easy, CURLOPT_PROXYTYPE, type);
    if (!S().proxyUser.empty()) {
      curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, S().proxyUser.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, S().proxyPassword.c_str());
    }
  } else {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");  // no proxy from the environment either
  }
  if (curl_multi_add_handle(e->multi, easy) != CURLM_OK) {
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    req.curl = req.curlHeaders = nullptr;
    return false;
  }
  return true;
}

int LowestFreeNumber() {
  std::set<int> used;
  for (auto& r : E()->requests) used.insert(r->requestNumber);
  int n = 1;
  while (used.count(n)) ++n;
  return n;
}

}  // namespace

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() = default;

bool HttpStartup(EventLoop& loop, const std::string& userAgent, HttpNotify notify) {
  std::unique_ptr<Engine>& e = E();
  if (e && e->loop != &loop) HttpShutdown();
  if (!e) {
    e = std::make_unique<Engine>();
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) e->socks4UserId = name;
  }
  e->loop = &loop;
  e->userAgent = userAgent;
  e->notify = std::move(notify);
  StartTimers();
  return true;
}

void HttpShutdown() {
  std::unique_ptr<Engine>& e = E();
  if (e) {
    e->cancelling = false;
    HttpCancelAll();
    if (E()) {
      E()->loop->StopTimer(kHttpTimeoutTimer);
      E()->loop->StopTimer(kHttpProgressTimer);
      E()->loop->StopTimer(kCurlTimer);
      if (E()->multi) curl_multi_cleanup(E()->multi);
      E().reset();
    }
  }
  S() = Settings{};
}

void HttpSetNoCache() {
  S().noCache = true;
}

void HttpSetTimeout(int milliseconds) {
  S().tickMs = milliseconds;
  if (E()) StartTimers();
}

void HttpSetProxy(int type, const std::string& host, int port, const std::string& user,
                  const std::string& password) {
  Settings& s = S();
  s.proxyHost.clear();
  s.proxyUser.clear();
  s.proxyPassword.clear();
  s.proxyAuthorization.clear();
  s.proxyPort = 80;
  s.proxyType = type;
  if (type != 0 && !host.empty()) {
    s.proxyHost = host;
    if (port != 0) s.proxyPort = port;
    s.proxyUser = user;
    s.proxyPassword = password;
  }
}

void HttpSetCaFile(const std::string& path) {
  S().caFile = path;
}

HttpRequest* HttpGet(const std::string& url, const std::string& label, std::uint32_t maxBytes,
                     std::uint32_t userValue, HttpCompletion completion) {
  Engine* e = E().get();
  if (!e) return nullptr;
  bool https = FindNoCase(url, "https://") != std::string::npos;
  if (!https && !StartsWithNoCase(url, "http")) return nullptr;
  auto req = std::make_unique<HttpRequest>();
  req->url = url;
  req->label = label;
  req->maxBytes = maxBytes;
  req->userValue = userValue;
  req->completion = std::move(completion);
  req->serial = e->nextSerial++;
  req->requestNumber = LowestFreeNumber();
  HttpRequest* handle = req.get();
  e->requests.push_back(std::move(req));
  if (!Restart(*handle)) {
    CloseSocket(*handle);
    e->requests.pop_back();
    return nullptr;
  }
  return handle;
}

void HttpCancelAll() {
  Engine* e = E().get();
  if (!e || e->cancelling) return;
  e->cancelling = true;
  std::vector<std::uint64_t> serials;
  for (auto& r : e->requests) serials.push_back(r->serial);
  for (std::uint64_t serial : serials) {
    HttpRequest* r = Find(serial);
    if (!r || r->done) continue;
    r->done = true;
    CloseSocket(*r);
    r->flags |= kHttpFailed | kHttpCancelled;
    CallCompletion(*r);
  }
  if (E()) E()->cancelling = false;
}

std::size_t HttpRequestCount() {
  return E() ? E()->requests.size() : 0;
}
std::uint64_t HttpTotalBytes() {
  return E() ? E()->totalBytes : 0;
}

// --- wire format ---

HttpUrlParts SplitHttpUrl(std::string_view url) {
  HttpUrlParts p;
  std::size_t start = url.find("//");
  start = start == std::string_view::npos ? 0 : start + 2;
  std::string_view rest = url.substr(start);
  std::size_t slash = rest.find('/');
  std::size_t at = rest.find('@');
  if (at != std::string_view::npos && (slash == std::string_view::npos || at < slash)) {
    start += at + 1;
    rest = url.substr(start);
  }
  std::size_t hostEnd = rest.find_first_of("/\\?&");
  p.host = std::string(rest.substr(0, hostEnd));
  p.lookupHost = p.host.substr(0, p.host.find(':'));
  std::size_t colon = p.host.find(':');
  if (colon != std::string::npos) {
    long port = 0;
    for (std::size_t i = colon + 1;
         i < p.host.size() && isdigit(static_cast<unsigned char>(p.host[i])); ++i) {
      port = port * 10 + (p.host[i] - '0');
      if (port > 65535) break;
    }
    if (port > 0 && port <= 65535) p.port = static_cast<int>(port);
  }
  std::size_t pathStart = url.find('/', start + p.host.size());
  if (pathStart == std::string_view::npos) {
    p.path = "/";
  } else {
    p.hasPath = true;
    p.path = std::string(url.substr(pathStart));
    if (p.path.compare(0, 5, "/POST") != 0) p.path = p.path.substr(0, p.path.find(':'));
  }
  return p;
}

namespace {

std::string HeaderBlock(std::string_view host, const HttpComposeSettings& s) {
  std::string h = "HTTP/1.0\r\n";
  h += "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
       "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, "
       "application/x-shockwave-flash, */*\r\n";
  h += "Accept-Charset: iso-8859-1,*,utf-8\r\n";
  if (s.proxy) h += "Connection: close\r\n";
  if (s.noCache) h += "Pragma: no-cache\r\n";
  if (!s.userAgent.empty()) h += "User-Agent: " + s.userAgent + "\r\n";
  h += "Host: ";
  h += host;
  h += "\r\n";
  if (!s.proxyAuthorization.empty())
    h += "Proxy-Authorization: Basic " + s.proxyAuthorization + "\r\n";
  return h;
}

}  // namespace

std::string ComposeHttpRequest(std::string_view url, const HttpComposeSettings& settings) {
  HttpUrlParts parts = SplitHttpUrl(url);
  std::string h = HeaderBlock(parts.lookupHost.substr(0, parts.lookupHost.find('/')), settings);
  if (parts.path.compare(0, 5, "/POST") != 0) {
    std::string target;
    if (settings.proxy) {
      target = std::string(url);
      if (!parts.hasPath) target += "/";
    } else {
      target = parts.path;
    }
    target = target.substr(0, target.find('#'));
    return "GET " + target + " " + h + "\r\n";
  }
  std::string request = parts.path.substr(1);
  std::size_t marker = request.find("$HTTP");
  if (marker != std::string::npos) {
    std::size_t bodyLength = request.size() - marker - 5;
    h += "Content-type: application/x-www-form-urlencoded\r\n";
    h += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
    h += "\r\n";
    request.replace(marker, 5, h);
  } else {
    // No body marker: the target still needs its protocol and headers.
    while (!request.empty() && request.back() == ' ') request.pop_back();
    request += " " + h + "\r\n";
  }
  if (settings.proxy && request.compare(0, 5, "POST ") == 0) {
    std::size_t post = url.find("/POST");
    request.insert(5, url.substr(0, post));
  }
  return request;
}

std::string ComposeHttpsHeaders(std::string_view url, const HttpComposeSettings& settings) {
  HttpUrlParts parts = SplitHttpUrl(url);
  std::string h;
  if (settings.noCache) h += "Pragma: no-cache\r\n";
  if (!settings.userAgent.empty()) h += "User-Agent: " + settings.userAgent + "\r\n";
  h += "Host: " + parts.lookupHost + "\r\n";
  h += "Accept: */*\r\n";
  h += "Accept-Charset: iso-8859-1,*,utf-8\r\n";
  if (!settings.proxyAuthorization.empty())
    h += "Proxy-Authorization: Basic " + settings.proxyAuthorization + "\r\n";
  return h;
}

HttpsTarget SplitHttpsTarget(std::string_view url) {
  HttpsTarget t;
  t.url = std::string(url);
  std::size_t marker = t.url.find("/POST ");
  if (marker != std::string::npos) {
    t.url.erase(marker, 6);
    t.post = true;
  }
  std::size_t body = t.url.find("$HTTP");
  if (body != std::string::npos) {
    t.body = t.url.substr(body + 5);
    t.url.erase(body);
    t.post = true;
  }
  while (!t.url.empty() && t.url.back() == ' ') t.url.pop_back();
  return t;
}

std::size_t HttpHeadLength(std::string_view reply, std::size_t from) {
  std::size_t crlf = reply.find("\r\n\r\n", from);
  std::size_t lf = reply.find("\n\n", from);
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf))
    return crlf + 4;
  if (lf != std::string_view::npos) return lf + 2;
  return 0;
}

HttpReplyHead ParseHttpReplyHead(std::string_view head) {
  HttpReplyHead r;
  std::size_t i = head.find_first_of(" \t\r\n");
  if (i != std::string_view::npos) {
    while (i < head.size() &&
           (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
      ++i;
    while (i < head.size() && !isdigit(static_cast<unsigned char>(head[i]))) ++i;
    long status = 0;
    while (i < head.size() && isdigit(static_cast<unsigned char>(head[i])) && status < 100000) {
      status = status * 10 + (head[i++] - '0');
    }
    r.statusCode = static_cast<int>(status & 0xffff);
  }
  std::size_t lm = FindNoCase(head, "Last-Modified:");
  if (lm != std::string::npos) {
    std::string_view v = head.substr(lm + 14);
    v = v.substr(0, std::min<std::size_t>(v.find_first_of("\r\n"), 512));
    std::string value(v);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    std::size_t comma = value.find(',');
    if (comma != std::string::npos) value = value.substr(comma + 1);
    std::size_t first = value.find_first_not_of(' ');
    r.lastModified = first == std::string::npos ? std::string() : value.substr(first);
  }
  std::size_t cl = FindNoCase(head, "Content-Length:");
  if (cl != std::string::npos) {
    std::string_view v = head.substr(cl + 15);
    v = v.substr(0, std::min<std::size_t>(v.find_first_of("\r\n"), 50));
    std::size_t k = 0;
    while (k < v.size() && (v[k] == ' ' || v[k] == '\t')) ++k;
    unsigned long long n = 0;
    while (k < v.size() && isdigit(static_cast<unsigned char>(v[k])) && n <= 0xffffffffull) {
      n = n * 10 + static_cast<unsigned>(v[k++] - '0');
    }
    r.contentLength = n > 0xffffffffull ? 0xffffffffu : static_cast<std::uint32_t>(n);
  }
  return r;
}

std::string HttpRedirectUrl(std::string_view oldUrl, std::string_view reply,
                            std::size_t headerLength) {
  auto toLineEnd = [](std::string_view text, std::size_t from) {
    std::size_t end = text.find_first_of("\r\n", from);
    return std::string(
        text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
  };
  std::string_view head =
      headerLength ? reply.substr(0, std::min(headerLength, reply.size())) : reply;
  std::string result;
  std::size_t loc = FindNoCase(head, "Location: ");
  if (loc != std::string::npos) {
    std::size_t v = loc + 10;
    while (v < head.size() && (head[v] == ' ' || head[v] == '\t')) ++v;
    std::string value = toLineEnd(head, v);
    if (StartsWithNoCase(value, "http:") || StartsWithNoCase(value, "https:")) {
      result = value.substr(0, 2047);
    } else {
      std::string base(oldUrl);
      std::size_t h1 = FindNoCase(base, "HTTP/1");
      if (h1 != std::string::npos) base.erase(h1);
      ReplaceAll(base, "/POST ", "");
      ReplaceAll(base, " ", "");
      std::size_t hostStart = base.find("//");
      hostStart = hostStart == std::string::npos ? 0 : hostStart + 2;
      std::size_t firstSlash = base.find('/', hostStart);
      if (!value.empty() && value[0] == '/') {
        if (firstSlash != std::string::npos) base.erase(firstSlash);
      } else {
        std::size_t last = base.rfind('/');
        if (last != std::string::npos && last >= hostStart) base.erase(last);
      }
      if (value.empty() || (value[0] != '/' && !StartsWithNoCase(value, "http"))) base += "/";
      result = (base + value).substr(0, 2047);
    }
  } else {
    std::size_t h = FindNoCase(reply, "http:");
    if (h == std::string::npos) h = FindNoCase(reply, "https:");
    if (h == std::string::npos) return {};
    result = toLineEnd(reply, h).substr(0, 2047);
  }
  while (!result.empty() &&
         (result.back() == ' ' || result.back() == '\r' || result.back() == '\n'))
    result.pop_back();
  return result;
}

}  // namespace tolmi
