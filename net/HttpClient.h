// The HTTP client: asynchronous HTTP/1.0 requests on the EventLoop, directly or
// through an HTTP, SOCKS4 or SOCKS5 proxy, with redirects on request, one Basic
// proxy-authorization retry, time-outs by ticks, and "https://" URLs carried
// by libcurl on the same loop. One engine per process; every call is on the
// loop's thread. Ownership and callback rules: docs/event-loop.md.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tolmi {

class EventLoop;
class SocksNegotiator;

// Request flags.
enum : unsigned {
  kHttpCancelled = 2,
  kHttpSucceeded = 4,
  kHttpFailed = 8,
  kHttpRedirected = 32,
  kHttpSocketError = 0x200,
  kHttpTimedOut = 0x400,
};

// Notification codes.
enum : int {
  kHttpNoteTick = 0,
  kHttpNoteBytes = 1,
  kHttpNoteMessage = 3,
  kHttpNoteListEmpty = 4,
  kHttpNoteOutOfMemory = 5,
  kHttpNoteSent = 8,
  kHttpNoteSocketError = 9,
  kHttpNoteRemoving = 10,
  kHttpNoteConnecting = 11,
  kHttpNoteLookup = 13,
  kHttpNoteHostFound = 14,
};

// Request states.
enum : int {
  kHttpStateFailed = 0,
  kHttpStateAddress = 1,
  kHttpStateConnected = 2,
  kHttpStateReceiving = 4,
  kHttpStateLookup = 8,
  kHttpStateSocks = 9,
  kHttpStateCreated = 10,
};

// Window-message numbers the engine's timers keep.
constexpr int kHttpTimeoutTimer = 20000;
constexpr int kHttpProgressTimer = 20001;

struct HttpRequest;

// Called once when a request ends. Returning 2 asks the engine to follow a
// redirect; anything else lets it free the request after the call.
using HttpCompletion = std::function<int(HttpRequest& request, std::uint32_t userValue)>;
// Progress and error reports: (code, request or null, number, text).
using HttpNotify = std::function<void(int code, HttpRequest* request, std::int64_t number,
                                      const std::string& text)>;

// One request in flight, owned by the engine. The completion reads the result
// fields; the rest belongs to the engine.
struct HttpRequest {
  std::string url;
  std::string label;
  std::uint32_t maxBytes = 0;  // 0 = unlimited; the request ends once more arrived
  HttpCompletion completion;
  std::uint32_t userValue = 0;

  std::string reply;  // status line, headers and body as received
  std::uint32_t bytesReceived = 0;
  std::uint32_t bytesAllocated = 0;  // the reply block's documented size (8,200-byte steps)
  std::uint32_t contentLength = 0;
  std::string lastModified;
  std::uint32_t headerLength = 0;  // offset of the first body byte
  int statusCode = 0;
  int requestNumber = 0;
  std::string peerAddress;
  int lastError = 0;
  int state = kHttpStateCreated;
  unsigned flags = 0;
  int tickCount = 0;
  int redirectCount = 0;
  bool done = false;
  bool delegated = false;  // carried by the https path

  // The body: the reply from the header length on.
  std::string_view Body() const {
    return std::string_view(reply).substr(std::min<std::size_t>(headerLength, reply.size()));
  }

  // Engine-owned.
  std::uint64_t serial = 0;
  int fd = -1;
  std::uint64_t lookupId = 0;
  bool headerSeen = false;
  std::size_t headerScan = 0;
  std::string pendingOut;
  std::string socksIn;
  bool socksDone = false;
  bool failing = false;
  std::unique_ptr<SocksNegotiator> socks;
  void* curl = nullptr;
  void* curlHeaders = nullptr;
  bool limitReached = false;
  HttpRequest();
  ~HttpRequest();
};

// Starts the engine on loop with the User-Agent text and the notification
// function (a later call replaces both). Starts the timers. Returns false when
// the engine cannot start.
bool HttpStartup(EventLoop& loop, const std::string& userAgent, HttpNotify notify);
// Ends every request as HttpCancelAll does, stops the timers and resets every
// setting to its default.
void HttpShutdown();
// Every later request carries "Pragma: no-cache".
void HttpSetNoCache();
// Sets the tick period (default 64000 ms) and restarts the timers; <= 0 disables
// the time-out tick.
void HttpSetTimeout(int milliseconds);
// type 0 none, 1 HTTP proxy, 2 SOCKS4, 3 SOCKS5. Type 0 or an empty host leaves no proxy.
void HttpSetProxy(int type, const std::string& host, int port, const std::string& user,
                  const std::string& password);
// Extra CA certificates (PEM file) that the https path trusts; "" = the system's.
void HttpSetCaFile(const std::string& path);
// Starts a request. Returns its handle, or null (and no callback) when the URL
// is unusable or no socket could be had.
HttpRequest* HttpGet(const std::string& url, const std::string& label, std::uint32_t maxBytes,
                     std::uint32_t userValue, HttpCompletion completion);
// Completes every request in the list with flags 8 and 2 and frees it. A call
// made from inside a completion is ignored.
void HttpCancelAll();
// Requests in the list, and bytes received since start-up.
std::size_t HttpRequestCount();
std::uint64_t HttpTotalBytes();

// --- The pieces of the wire format, exposed for the tests and the CLI. ---

struct HttpUrlParts {
  std::string host;        // may carry ":port"
  std::string lookupHost;  // host cut at ":"
  int port = 80;
  std::string path;      // "/" when the URL has none
  bool hasPath = false;  // a "/" follows the host
};
HttpUrlParts SplitHttpUrl(std::string_view url);

struct HttpComposeSettings {
  bool proxy = false;  // a proxy host is set (any type)
  bool noCache = false;
  std::string userAgent;
  std::string proxyAuthorization;  // Base64 value, "" = none
};
// The request text sent for url on a plain connection.
std::string ComposeHttpRequest(std::string_view url, const HttpComposeSettings& settings);
// The header block handed to the https path.
std::string ComposeHttpsHeaders(std::string_view url, const HttpComposeSettings& settings);
// The URL and POST body the https path uses ("/POST " marker and "$HTTP" body removed).
struct HttpsTarget {
  std::string url;
  std::string body;
  bool post = false;
};
HttpsTarget SplitHttpsTarget(std::string_view url);

struct HttpReplyHead {
  int statusCode = 0;
  std::uint32_t contentLength = 0;
  std::string lastModified;
};
HttpReplyHead ParseHttpReplyHead(std::string_view head);
// The length of the reply head (status line, header lines and the blank line after them)
// once it is whole: up to the first "\r\n\r\n" or "\n\n", whichever begins first; 0 while
// it is not. The search may start at `from` when no blank line begins before it.
std::size_t HttpHeadLength(std::string_view reply, std::size_t from = 0);
// The URL a redirect reply points to, resolved against oldUrl; "" when none.
std::string HttpRedirectUrl(std::string_view oldUrl, std::string_view reply,
                            std::size_t headerLength);

}  // namespace tolmi
