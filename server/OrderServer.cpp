#include "server/OrderServer.h"

#include <sodium.h>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <list>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <variant>

#include "server/FormData.h"
#include "server/Gateway.h"
#include "server/LoginGuard.h"
#include "server/OrderIntake.h"
#include "server/OrderProtocol.h"
#include "server/Passwords.h"
#include "server/Search.h"
#include "server/StaticFiles.h"

namespace tolmi::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;
// Static files go out from disk in pieces, never whole in memory.
using FileResponse = http::response<http::file_body>;
using Outgoing = std::variant<Response, FileResponse>;
using Reply = std::function<void(Outgoing)>;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr const char* kHtml = "text/html; charset=UTF-8";
// Password checks from addresses an account does not know that may wait at once.
constexpr size_t kMaxUntrustedChecks = 64;

Response MakeResponse(unsigned version, bool keepAlive, http::status status,
                      const std::string& contentType, std::string body) {
  Response res{status, version};
  res.set(http::field::server, "tolmi-server");
  res.set(http::field::content_type, contentType);
  res.keep_alive(keepAlive);
  res.body() = std::move(body);
  res.prepare_payload();
  return res;
}

Response MakeResponse(const Request& req, http::status status, const std::string& contentType,
                      std::string body) {
  return MakeResponse(req.version(), req.keep_alive(), status, contentType, std::move(body));
}

std::string Page(const std::string& title, const std::string& html) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>" + HtmlEscape(title) +
         "</title></head>\n<body>\n<h1>" + HtmlEscape(title) + "</h1>\n" + html +
         "</body></html>\n";
}

std::string LastSegment(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// "scheme://host[:port]" of an absolute address, lower-cased; "" when it is not one.
std::string OriginOf(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "";
  size_t end = url.find_first_of("/?#", scheme + 3);
  return AsciiLower(url.substr(0, end));
}

// A log-safe copy of a name from a request: control bytes become "?", at most 64 bytes, no
// whole card number.
std::string LogSafe(std::string_view text) {
  std::string out = MaskCardNumbers(text.substr(0, 64));
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return out;
}

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

HashCost CostNamed(const std::string& name) {
  return name == "min" ? HashCost::Minimum
         : name == "moderate" ? HashCost::Moderate
                              : HashCost::Interactive;
}

std::string ReadFileBytes(const std::filesystem::path& file, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  ok = static_cast<bool>(in);
  if (!ok) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

class Session;

struct OrderServer::Impl {
  Impl(ServerConfig c, OrderStore& s, CardKey k)
      : config(std::move(c)),
        store(s),
        cardKey(std::move(k)),
        acceptor(ioc),
        signals(ioc, SIGINT, SIGTERM),
        acceptPause(ioc),
        pool(2),
        untrusted(pool.get_executor()),
        searchPool(1) {
    if (sodium_init() >= 0) crypto_generichash_keygen(cacheKey);
  }

  // Declared before the loop so that they outlive every handler the loop still holds.
  ServerConfig config;
  OrderStore& store;
  CardKey cardKey;
  std::atomic<size_t> sessions{0};
  // Passwords recently proven right, keyed by account name: the stored hash they were checked
  // against and a keyed digest of the password. Memory only.
  std::map<std::string, std::pair<std::string, std::string>> verified;
  unsigned char cacheKey[crypto_generichash_KEYBYTES] = {};
  // Live connections (loop thread only) and their count per client address: a session the
  // loop or a pool still holds at shutdown takes itself off these lists when it goes.
  std::list<Session*> live;
  std::map<std::string, size_t> perAddress;
  asio::io_context ioc;
  tcp::acceptor acceptor;
  asio::signal_set signals;
  asio::steady_timer acceptPause;
  SteadyClock::time_point lastDescriptorWarning{};
  asio::thread_pool pool;
  // Checks for addresses an account does not know take one pool thread at most, so the
  // merchant's own checks always find the other.
  asio::strand<asio::thread_pool::executor_type> untrusted;
  size_t untrustedChecks = 0;
  asio::thread_pool searchPool;
  size_t searchesQueued = 0;
  LoginGuard guard;
  std::string dummyHash;  // checked for unknown accounts, so they take as long as known ones
  StaticFiles files{config.storeDir};

  bool UnderPressure() const { return live.size() * 2 >= config.maxConnections; }
  SteadyClock::duration ReadTimeout() const {
    return std::chrono::seconds(UnderPressure() ? std::min(config.pressureTimeoutSeconds,
                                                           config.timeoutSeconds)
                                                : config.timeoutSeconds);
  }
  void Relieve();
  bool EvictOldestReader();
  void OnAcceptError(const beast::error_code& ec);
  void LogLogin(const std::string& user, const std::string& client, const std::string& what);
  bool ReturnAllowed(const Request& req, const std::string& url) const;

  // Orders waiting for the next commit; all that arrive while one commit syncs share the
  // next one.
  struct PendingOrder {
    long long accountId = 0;
    IncomingOrder order;
    std::function<void(Result<long long>)> done;
  };
  std::vector<PendingOrder> pending;
  bool flushPosted = false;
  void QueueOrder(PendingOrder order);
  void FlushOrders();

  void Accept();
  void Handle(Request req, const std::string& client, Reply reply);
  void HandleProtocol(const Request& req, std::string_view query, const std::string& client,
                      Reply reply);
  void CheckLogin(ProtocolRequest pr, std::string client, bool trusted, unsigned version,
                  bool keepAlive, Reply reply);
  void HandleOrder(const Request& req, Reply reply);
  void HandleSearch(const Request& req, std::string_view query, Reply reply);
  void HandleGateway(const Request& req, std::string_view query, Reply reply);
  void HandleStatic(const Request& req, std::string_view path, Reply reply);

  std::string Digest(const std::string& password) {
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(password.data()),
                       password.size(), cacheKey, sizeof cacheKey);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
  }
};

// One connection: reads requests one after another, hands each to the server, writes the
// reply. Closed on a time-out, a malformed request or when either side asks. A request must
// arrive whole within the read deadline (shorter while the server is crowded), however
// slowly its bytes trickle in.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, OrderServer::Impl& server, std::string address)
      : stream_(std::move(socket)),
        server_(server),
        address_(std::move(address)),
        readTimer_(stream_.get_executor()) {
    ++server_.sessions;
    ++server_.perAddress[address_];
    self_ = server_.live.insert(server_.live.end(), this);
  }
  ~Session() {
    --server_.sessions;
    server_.live.erase(self_);
    auto it = server_.perAddress.find(address_);
    if (it != server_.perAddress.end() && --it->second == 0) server_.perAddress.erase(it);
  }

  void Read() {
    parser_.emplace();
    parser_->body_limit(server_.config.maxBody);
    parser_->header_limit(static_cast<std::uint32_t>(server_.config.maxHeaderBytes));
    stream_.expires_never();
    reading_ = true;
    readStart_ = SteadyClock::now();
    readTimer_.expires_after(server_.ReadTimeout());
    readTimer_.async_wait([weak = weak_from_this()](beast::error_code ec) {
      if (auto self = weak.lock(); self && !ec) self->Close();
    });
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Session::OnRead, shared_from_this()));
  }

  // Waiting for (the rest of) a request, and since when.
  bool reading() const { return reading_ && open_; }
  SteadyClock::time_point readStart() const { return readStart_; }

  void Close() {
    if (!open_) return;
    open_ = false;
    readTimer_.cancel();
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.socket().close(ignored);
  }

 private:
  // The client's address: the peer's, or from a trusted proxy the last X-Forwarded-For entry.
  std::string ClientOf(const Request& req) const {
    if (!server_.config.trustedProxies.count(address_)) return address_;
    auto it = req.find("X-Forwarded-For");
    if (it == req.end()) return address_;
    std::string_view list(it->value().data(), it->value().size());
    size_t comma = list.rfind(',');
    std::string_view last = comma == std::string_view::npos ? list : list.substr(comma + 1);
    while (!last.empty() && last.front() == ' ') last.remove_prefix(1);
    while (!last.empty() && last.back() == ' ') last.remove_suffix(1);
    return last.empty() ? address_ : LogSafe(last);
  }

  void OnRead(beast::error_code ec, std::size_t) {
    reading_ = false;
    readTimer_.cancel();
    if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == asio::error::eof ||
        ec == asio::error::connection_reset || ec == asio::error::operation_aborted) {
      Close();
      return;
    }
    if (ec == http::error::body_limit) {
      SendError(http::status::payload_too_large, "Request too large",
                "The request is larger than this server accepts.");
      return;
    }
    if (ec) {
      SendError(http::status::bad_request, "Bad request", "The request could not be read.");
      return;
    }
    Request req = parser_->release();
    size_t count = 0;
    for (auto it = req.begin(); it != req.end(); ++it) ++count;
    if (count > server_.config.maxHeaders) {
      SendError(http::status::bad_request, "Bad request", "The request has too many headers.");
      return;
    }
    auto self = shared_from_this();
    std::string client = ClientOf(req);
    server_.Handle(std::move(req), client, [self](Outgoing res) { self->Send(std::move(res)); });
  }

  void SendError(http::status status, const std::string& title, const std::string& text) {
    Response res{status, 11};
    res.set(http::field::server, "tolmi-server");
    res.set(http::field::content_type, kHtml);
    res.body() = Page(title, "<p>" + HtmlEscape(text) + "</p>\n");
    res.keep_alive(false);
    res.prepare_payload();
    Send(std::move(res));
  }

  void Send(Outgoing res) {
    if (!open_) return;
    std::visit([this](auto& message) { Write(std::make_shared<std::decay_t<decltype(message)>>(
                                          std::move(message))); },
               res);
  }

  template <class Message>
  void Write(std::shared_ptr<Message> message) {
    stream_.expires_after(std::chrono::seconds(server_.config.timeoutSeconds));
    bool close = message->need_eof();
    http::async_write(stream_, *message,
                      [self = shared_from_this(), message, close](beast::error_code ec,
                                                                  std::size_t) {
                        self->OnWrite(close, ec);
                      });
  }

  void OnWrite(bool close, beast::error_code ec) {
    if (ec || close || !open_) {
      Close();
      return;
    }
    Read();
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  OrderServer::Impl& server_;
  std::string address_;
  asio::steady_timer readTimer_;
  std::list<Session*>::iterator self_;
  bool reading_ = false;
  bool open_ = true;
  SteadyClock::time_point readStart_{};
};

void OrderServer::Impl::Relieve() {
  const auto limit = std::chrono::seconds(config.pressureTimeoutSeconds);
  const auto now = SteadyClock::now();
  for (Session* s : live)
    if (s->reading() && now - s->readStart() > limit) s->Close();
}

bool OrderServer::Impl::EvictOldestReader() {
  Session* oldest = nullptr;
  for (Session* s : live)
    if (s->reading() && (!oldest || s->readStart() < oldest->readStart())) oldest = s;
  if (oldest) oldest->Close();
  return oldest != nullptr;
}

void OrderServer::Impl::OnAcceptError(const beast::error_code& ec) {
  const int e = ec.value();
  if (e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM) {
    // Out of descriptors: free the longest-waiting connection and pause instead of spinning.
    EvictOldestReader();
    auto now = SteadyClock::now();
    if (now - lastDescriptorWarning > std::chrono::seconds(10)) {
      lastDescriptorWarning = now;
      std::cerr << "tolmi-server: cannot accept connections: " << ec.message()
                << "; pausing\n";
    }
    acceptPause.expires_after(std::chrono::milliseconds(100));
    acceptPause.async_wait([this](beast::error_code wait) {
      if (!wait) Accept();
    });
    return;
  }
  Accept();
}

void OrderServer::Impl::LogLogin(const std::string& user, const std::string& client,
                                 const std::string& what) {
  std::cerr << "tolmi-server: failed login for '" << LogSafe(user) << "' from " << client
            << " at " << UtcNow() << ": " << what << "\n";
}

bool OrderServer::Impl::ReturnAllowed(const Request& req, const std::string& url) const {
  const std::string origin = OriginOf(url);
  if (origin.empty()) return false;
  if (config.returnSites.count(origin)) return true;
  for (const auto& [id, published] : config.searchUrls)
    if (OriginOf(published) == origin) return true;
  // The page that sent the form (its Origin, else its Referer), or this server's own site.
  for (auto field : {http::field::origin, http::field::referer}) {
    auto it = req.find(field);
    if (it != req.end() && OriginOf(std::string_view(it->value().data(), it->value().size())) == origin)
      return true;
  }
  auto host = req.find(http::field::host);
  if (host != req.end()) {
    std::string h = AsciiLower(std::string_view(host->value().data(), host->value().size()));
    if (origin == "http://" + h || origin == "https://" + h) return true;
  }
  return false;
}

void OrderServer::Impl::Accept() {
  acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (ec) return OnAcceptError(ec);
    beast::error_code peerError;
    auto peer = socket.remote_endpoint(peerError);
    std::string address = peerError ? std::string("?") : peer.address().to_string();
    auto refuse = [&socket] {
      beast::error_code ignored;
      socket.close(ignored);
    };
    auto count = perAddress.find(address);
    if (!config.trustedProxies.count(address) && count != perAddress.end() &&
        count->second >= config.maxPerAddress) {
      refuse();
    } else if (live.size() >= config.maxConnections && !EvictOldestReader()) {
      refuse();
    } else {
      if (UnderPressure()) Relieve();
      std::make_shared<Session>(std::move(socket), *this, std::move(address))->Read();
    }
    Accept();
  });
}

void OrderServer::Impl::Handle(Request req, const std::string& client, Reply reply) {
  std::string_view target(req.target().data(), req.target().size());
  size_t question = target.find('?');
  std::string_view path = target.substr(0, question);
  std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  std::string segment = LastSegment(path);
  auto method = req.method();
  bool get = method == http::verb::get || method == http::verb::head;

  if (get && IsProtocolQuery(query)) return HandleProtocol(req, query, client, std::move(reply));
  if (segment == "gateway" && (get || method == http::verb::post))
    return HandleGateway(req, query, std::move(reply));
  if (segment == "search" && get) return HandleSearch(req, query, std::move(reply));
  if (method == http::verb::post && segment != "search") return HandleOrder(req, std::move(reply));
  if (get) return HandleStatic(req, path, std::move(reply));
  Response res = MakeResponse(req, http::status::method_not_allowed, kHtml,
                              Page("Method not allowed", "<p>This method is not supported.</p>\n"));
  res.set(http::field::allow, "GET, HEAD, POST");
  reply(std::move(res));
}

void OrderServer::Impl::HandleProtocol(const Request& req, std::string_view query,
                                       const std::string& client, Reply reply) {
  ProtocolRequest pr = ParseProtocolQuery(query);
  if (!pr.valid) {
    std::string body = FormatResultOnly(ResultCode::BadRequest);
    if (!pr.problem.empty()) body += pr.problem + "\r\n";
    Response res = MakeResponse(req, http::status::ok, "text/plain; charset=ISO-8859-1", body);
    res.set(http::field::cache_control, "no-cache");
    return reply(std::move(res));
  }
  LoginDecision decision = guard.Admit(pr.user, client, SteadyClock::now());
  if (decision.verdict == LoginVerdict::Locked) {
    LogLogin(pr.user, client, "refused, too many failed logins");
    Response res = MakeResponse(req, http::status::ok, "text/plain; charset=ISO-8859-1",
                                FormatResultOnly(ResultCode::WrongPassword));
    res.set(http::field::cache_control, "no-cache");
    return reply(std::move(res));
  }
  auto check = [this, pr = std::move(pr), client, trusted = decision.trusted,
                version = req.version(), keepAlive = req.keep_alive(),
                reply = std::move(reply)]() mutable {
    CheckLogin(std::move(pr), std::move(client), trusted, version, keepAlive, std::move(reply));
  };
  if (decision.delay.count() <= 0) return check();
  // A throttled address waits on a timer: nothing of the server's is held meanwhile.
  auto timer = std::make_shared<asio::steady_timer>(ioc, decision.delay);
  timer->async_wait([timer, check = std::move(check)](beast::error_code) mutable { check(); });
}

void OrderServer::Impl::CheckLogin(ProtocolRequest pr, std::string client, bool trusted,
                                   unsigned version, bool keepAlive, Reply reply) {
  auto answer = [version, keepAlive](Reply& reply, std::string body) {
    Response res = MakeResponse(version, keepAlive, http::status::ok,
                                "text/plain; charset=ISO-8859-1", std::move(body));
    res.set(http::field::cache_control, "no-cache");
    reply(std::move(res));
  };
  auto found = store.FindAccount(pr.user);
  if (!found) {
    std::cerr << "tolmi-server: " << found.status().message() << "\n";
    return answer(reply, FormatResultOnly(ResultCode::InternalError));
  }
  std::optional<Account> account = std::move(*found);

  // With the password settled, read or delete on the loop thread.
  auto finish = [this, answer, pr](Reply& reply, long long accountId) {
    if (pr.function == ProtocolFunction::Download) {
      auto orders = store.OrdersAfter(accountId, pr.lastId.value_or(0));
      if (!orders) {
        std::cerr << "tolmi-server: " << orders.status().message() << "\n";
        return answer(reply, FormatResultOnly(ResultCode::InternalError));
      }
      // Card fields are opened here, for the reply only.
      for (auto& order : *orders) {
        auto fields = OpenCardFields(cardKey, order.fields, order.card);
        if (!fields) {
          std::cerr << "tolmi-server: order " << order.id << ": " << fields.status().message()
                    << "\n";
          return answer(reply, FormatResultOnly(ResultCode::InternalError));
        }
        order.fields = std::move(*fields);
      }
      return answer(reply, FormatDownloadReply(*orders));
    }
    auto deleted = store.DeleteOrders(accountId, pr.ids);
    if (!deleted) {
      std::cerr << "tolmi-server: " << deleted.status().message() << "\n";
      return answer(reply, FormatResultOnly(ResultCode::InternalError));
    }
    answer(reply, FormatResultOnly(ResultCode::Success));
  };

  std::string digest = Digest(pr.password);
  if (account && account->enabled) {
    auto cached = verified.find(account->name);
    if (cached != verified.end() && cached->second.first == account->passwordHash &&
        sodium_memcmp(cached->second.second.data(), digest.data(), digest.size()) == 0) {
      guard.Succeeded(pr.user, client);
      return finish(reply, account->id);
    }
  }
  if (!trusted && untrustedChecks >= kMaxUntrustedChecks)
    return answer(reply, FormatResultOnly(ResultCode::InternalError));
  // Unknown, disabled and known accounts take the same path: one slow hash check off the
  // loop, then their own code.
  std::string hash = account ? account->passwordHash : dummyHash;
  auto settle = [this, answer, finish, pr, client, account, digest,
                 reply = std::move(reply)](bool ok) mutable {
    if (!account || !ok || !account->enabled) {
      bool locked = guard.Failed(pr.user, client, SteadyClock::now());
      const char* what = !account ? "unknown account"
                         : !ok    ? "wrong password"
                                  : "account disabled";
      LogLogin(pr.user, client, what);
      if (locked)
        std::cerr << "tolmi-server: logins from " << client << " refused for a while after "
                  << "repeated failures\n";
      ResultCode code = !account            ? ResultCode::NoAccount
                        : !account->enabled ? ResultCode::Disabled
                                            : ResultCode::WrongPassword;
      return answer(reply, FormatResultOnly(code));
    }
    guard.Succeeded(pr.user, client);
    if (verified.size() > 1000) verified.clear();
    verified[account->name] = {account->passwordHash, digest};
    finish(reply, account->id);
  };
  auto work = [this, hash, password = pr.password, trusted,
               settle = std::move(settle)]() mutable {
    bool ok = VerifyPassword(hash, password);
    asio::post(ioc, [this, ok, trusted, settle = std::move(settle)]() mutable {
      if (!trusted) --untrustedChecks;
      settle(ok);
    });
  };
  if (trusted) {
    asio::post(pool, std::move(work));
  } else {
    ++untrustedChecks;
    asio::post(untrusted, std::move(work));
  }
}

void OrderServer::Impl::HandleOrder(const Request& req, Reply reply) {
  auto page = [&req](http::status status, const std::string& title, const std::string& html) {
    return MakeResponse(req, status, kHtml, Page(title, html));
  };
  auto refuse = [&](http::status status, const std::string& sentence, const std::string& back) {
    std::string link = back.empty() ? "javascript:history.back()" : back;
    return page(status, "Order not sent",
                "<p>" + HtmlEscape(sentence) + "</p>\n<p><a href=\"" + HtmlEscape(link) +
                    "\">Back to the order form</a></p>\n");
  };
  // The shopper goes back only to the store's own site, never to an address of anyone's choice.
  auto allowed = [&](const std::string& url) { return ReturnAllowed(req, url) ? url : ""; };
  auto order = ParseOrderForm(req.body());
  if (!order) {
    return reply(refuse(http::status::bad_request, order.status().message(),
                        allowed(ReturnUrlOf(req.body()))));
  }
  order->returnUrl = allowed(order->returnUrl);
  auto found = store.FindAccount(order->account);
  if (!found) {
    std::cerr << "tolmi-server: " << found.status().message() << "\n";
    return reply(refuse(http::status::internal_server_error,
                        "The order could not be stored. Please try again later.",
                        order->returnUrl));
  }
  if (!found->has_value() || !(*found)->enabled)
    return reply(refuse(http::status::bad_request,
                        "This store does not accept orders at the moment.", order->returnUrl));
  long long accountId = (*found)->id;
  std::string returnUrl = order->returnUrl;
  auto done = [version = req.version(), keepAlive = req.keep_alive(), reply = std::move(reply),
               returnUrl](Result<long long> id) mutable {
    auto page = [&](http::status status, const std::string& title, const std::string& html) {
      return MakeResponse(version, keepAlive, status, kHtml, Page(title, html));
    };
    if (!id) {
      std::cerr << "tolmi-server: " << id.status().message() << "\n";
      std::string link = returnUrl.empty() ? "javascript:history.back()" : returnUrl;
      return reply(page(http::status::internal_server_error, "Order not sent",
                        "<p>The order could not be stored. Please try again later.</p>\n"
                        "<p><a href=\"" +
                            HtmlEscape(link) + "\">Back to the order form</a></p>\n"));
    }
    std::string number = std::to_string(*id);
    if (!returnUrl.empty()) {
      std::string url = returnUrl.substr(0, returnUrl.find('#')) + "#order=" + number;
      Response res = page(http::status::see_other, "Order received",
                          "<p><a href=\"" + HtmlEscape(url) + "\">Continue</a></p>\n");
      res.set(http::field::location, url);
      res.set("X-Tolmi-Order", number);
      return reply(std::move(res));
    }
    Response res = page(
        http::status::ok, "Order received",
        "<p>Thank you. Your order has been received.</p>\n<p>Order number: " + number + "</p>\n");
    res.set("X-Tolmi-Order", number);
    reply(std::move(res));
  };
  QueueOrder({accountId, std::move(*order), std::move(done)});
}

void OrderServer::Impl::QueueOrder(PendingOrder order) {
  pending.push_back(std::move(order));
  if (flushPosted) return;
  flushPosted = true;
  // Runs after the requests already read in this turn of the loop, so they join the batch.
  asio::post(ioc, [this] { FlushOrders(); });
}

void OrderServer::Impl::FlushOrders() {
  flushPosted = false;
  std::vector<PendingOrder> batch = std::move(pending);
  pending.clear();
  std::vector<OrderStore::NewOrder> rows;
  std::time_t now = std::time(nullptr);
  for (auto& p : batch) {
    std::string card = SealCardFields(cardKey, p.order.fields);
    rows.push_back({p.accountId, now, &p.order.fields, &p.order.items, std::move(card)});
  }
  auto ids = store.AddOrders(rows);
  for (size_t i = 0; i < batch.size(); ++i) {
    if (ids) {
      batch[i].done((*ids)[i]);
    } else {
      batch[i].done(ids.status());
    }
  }
}

void OrderServer::Impl::HandleSearch(const Request& req, std::string_view query, Reply reply) {
  auto form = ParseForm(query);
  if (!form) {
    return reply(
        MakeResponse(req, http::status::bad_request, kHtml,
                     Page("Bad request", "<p>The search request could not be read.</p>\n")));
  }
  std::string id = FindField(*form, "id").value_or("");
  std::string words = FindField(*form, "q").value_or("");
  std::string dir = config.storeDir;
  if (auto it = config.searchDirs.find(id); it != config.searchDirs.end()) dir = it->second;
  std::string base;
  if (auto it = config.searchUrls.find(id); it != config.searchUrls.end()) {
    base = it->second;
    if (!base.empty() && base.back() != '/') base.push_back('/');
  }
  if (dir.empty()) {
    return reply(MakeResponse(req, http::status::not_found, kHtml,
                              Page("Search", "<p>This store cannot be searched.</p>\n")));
  }
  // Searches run on their own worker, a few at a time: a flood of them gets a busy page and
  // never holds up orders.
  if (searchesQueued >= config.maxQueuedSearches) {
    Response res = MakeResponse(
        req, http::status::service_unavailable, kHtml,
        Page("Search", "<p>The search is busy. Please try again in a moment.</p>\n"));
    res.set(http::field::retry_after, "2");
    return reply(std::move(res));
  }
  ++searchesQueued;
  asio::post(searchPool, [this, dir, words, base, version = req.version(),
                          keepAlive = req.keep_alive(), reply = std::move(reply)]() mutable {
    bool ok = false;
    std::string index = ReadFileBytes(std::filesystem::path(dir) / "tolmi.idx", ok);
    Response res;
    if (!ok) {
      res = MakeResponse(version, keepAlive, http::status::not_found, kHtml,
                         Page("Search", "<p>This store cannot be searched.</p>\n"));
    } else {
      std::string tpl = ReadFileBytes(std::filesystem::path(dir) / "tolmi.tpl", ok);
      if (!ok) tpl = Page("Search", "<!--TOLMI_RESULTS-->");
      res = MakeResponse(version, keepAlive, http::status::ok, kHtml,
                         RenderSearchPage(tpl, ParseIndex(index), words, base,
                                          StoreLook(dir, index)));
    }
    asio::post(ioc, [this, res = std::move(res), reply = std::move(reply)]() mutable {
      --searchesQueued;
      reply(std::move(res));
    });
  });
}

void OrderServer::Impl::HandleGateway(const Request& req, std::string_view query, Reply reply) {
  auto form = ParseForm(req.method() == http::verb::post ? std::string_view(req.body()) : query);
  if (!form) {
    return reply(MakeResponse(req, http::status::bad_request, "text/plain",
                              "0 Transaction Status: Declined: unreadable request\r\n"));
  }
  std::string text = GatewayReply(FindField(*form, "CardNumber").value_or(""),
                                  FindField(*form, "Amount").value_or(""));
  reply(MakeResponse(req, http::status::ok, "text/plain", text + "\r\n"));
}

void OrderServer::Impl::HandleStatic(const Request& req, std::string_view path, Reply reply) {
  auto field = [&req](http::field name) {
    auto it = req.find(name);
    return it == req.end() ? std::string_view()
                           : std::string_view(it->value().data(), it->value().size());
  };
  StaticReply answer = files.Serve({path, req.method() == http::verb::head,
                                    field(http::field::if_none_match),
                                    field(http::field::if_modified_since),
                                    field(http::field::accept_encoding)});
  if (answer.standardPage) {
    const char* title = answer.status == 400   ? "Bad request"
                        : answer.status == 403 ? "Forbidden"
                                               : "Not found";
    const char* text = answer.status == 404 ? "<p>There is no such page here.</p>\n"
                                            : "<p>The path is not allowed.</p>\n";
    return reply(MakeResponse(req, static_cast<http::status>(answer.status), kHtml,
                              Page(title, text)));
  }
  auto headed = [&](auto& res) {
    res.set(http::field::server, "tolmi-server");
    for (const auto& [name, value] : answer.headers) res.set(name, value);
    res.keep_alive(req.keep_alive());
  };
  if (!answer.file.empty()) {
    beast::error_code ec;
    FileResponse res{http::status::ok, req.version()};
    res.body().open(answer.file.c_str(), beast::file_mode::scan, ec);
    if (ec)
      return reply(MakeResponse(req, http::status::not_found, kHtml,
                                Page("Not found", "<p>There is no such page here.</p>\n")));
    headed(res);
    res.prepare_payload();
    return reply(std::move(res));
  }
  Response res{static_cast<http::status>(answer.status), req.version()};
  headed(res);
  res.body() = std::move(answer.body);
  // A 304 names no length; a HEAD names the length a GET would send.
  if (answer.status != 304) res.content_length(answer.contentLength);
  reply(std::move(res));
}

OrderServer::OrderServer(ServerConfig config, OrderStore& store, CardKey cardKey)
    : impl_(std::make_unique<Impl>(std::move(config), store, std::move(cardKey))) {}

OrderServer::~OrderServer() {
  impl_->pool.join();
  impl_->searchPool.join();
}

Status OrderServer::Start() {
  beast::error_code ec;
  auto address = asio::ip::make_address(impl_->config.listenHost, ec);
  if (ec)
    return Status::Error(ErrorKind::InvalidArgument,
                         "Unusable listen address '" + impl_->config.listenHost + "'.");
  tcp::endpoint endpoint(address, impl_->config.listenPort);
  auto& acceptor = impl_->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    return Status::Error(ErrorKind::Io, "Unable to listen on " + impl_->config.listenHost + ":" +
                                            std::to_string(impl_->config.listenPort) + ": " +
                                            ec.message());
  // The stand-in hash for unknown accounts costs what a new account's hash costs.
  auto dummy = HashPassword(std::to_string(randombytes_random()), CostNamed(impl_->config.hashCost));
  if (dummy) impl_->dummyHash = *dummy;
  impl_->Accept();
  impl_->signals.async_wait([this](beast::error_code ec, int) {
    if (!ec) Stop();
  });
  return Status::Ok();
}

unsigned short OrderServer::Port() const {
  beast::error_code ec;
  auto endpoint = impl_->acceptor.local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

void OrderServer::Run() {
  impl_->ioc.run();
}

void OrderServer::Stop() {
  impl_->ioc.stop();
}

}  // namespace tolmi::server
