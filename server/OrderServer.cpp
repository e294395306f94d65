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
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "server/FormData.h"
#include "server/Gateway.h"
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
using Reply = std::function<void(Response)>;

namespace {

constexpr std::uintmax_t kMaxStaticFile = 64ull * 1024 * 1024;

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
  return "<!DOCTYPE html>\n<html><head><meta charset=\"ISO-8859-1\"><title>" + HtmlEscape(title) +
         "</title></head>\n<body>\n<h1>" + HtmlEscape(title) + "</h1>\n" + html +
         "</body></html>\n";
}

std::string LastSegment(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
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

struct OrderServer::Impl {
  Impl(ServerConfig c, OrderStore& s)
      : config(std::move(c)), store(s), acceptor(ioc), signals(ioc, SIGINT, SIGTERM), pool(2) {
    if (sodium_init() >= 0) crypto_generichash_keygen(cacheKey);
  }

  // Declared before the loop so that they outlive every handler the loop still holds.
  ServerConfig config;
  OrderStore& store;
  std::atomic<size_t> sessions{0};
  // Passwords recently proven right, keyed by account name: the stored hash they were checked
  // against and a keyed digest of the password. Memory only.
  std::map<std::string, std::pair<std::string, std::string>> verified;
  unsigned char cacheKey[crypto_generichash_KEYBYTES] = {};
  asio::io_context ioc;
  tcp::acceptor acceptor;
  asio::signal_set signals;
  asio::thread_pool pool;

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
  void Handle(Request req, Reply reply);
  void HandleProtocol(const Request& req, std::string_view query, Reply reply);
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

namespace {

// One connection: reads requests one after another, hands each to the server, writes the
// reply. Closed on a time-out, a malformed request or when either side asks.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, OrderServer::Impl& server)
      : stream_(std::move(socket)), server_(server) {
    ++server_.sessions;
  }
  ~Session() { --server_.sessions; }

  void Read() {
    parser_.emplace();
    parser_->body_limit(server_.config.maxBody);
    parser_->header_limit(static_cast<std::uint32_t>(server_.config.maxHeaderBytes));
    stream_.expires_after(std::chrono::seconds(server_.config.timeoutSeconds));
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Session::OnRead, shared_from_this()));
  }

 private:
  void OnRead(beast::error_code ec, std::size_t) {
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
    server_.Handle(std::move(req), [self](Response res) { self->Send(std::move(res)); });
  }

  void SendError(http::status status, const std::string& title, const std::string& text) {
    Response res{status, 11};
    res.set(http::field::server, "tolmi-server");
    res.set(http::field::content_type, "text/html");
    res.body() = Page(title, "<p>" + HtmlEscape(text) + "</p>\n");
    res.keep_alive(false);
    res.prepare_payload();
    Send(std::move(res));
  }

  void Send(Response res) {
    response_ = std::make_shared<Response>(std::move(res));
    stream_.expires_after(std::chrono::seconds(server_.config.timeoutSeconds));
    http::async_write(
        stream_, *response_,
        beast::bind_front_handler(&Session::OnWrite, shared_from_this(), response_->need_eof()));
  }

  void OnWrite(bool close, beast::error_code ec, std::size_t) {
    response_.reset();
    if (ec || close) {
      Close();
      return;
    }
    Read();
  }

  void Close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.socket().close(ignored);
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<Response> response_;
  OrderServer::Impl& server_;
};

}  // namespace

void OrderServer::Impl::Accept() {
  acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) {
      if (sessions.load() >= config.maxConnections) {
        beast::error_code ignored;
        socket.close(ignored);
      } else {
        std::make_shared<Session>(std::move(socket), *this)->Read();
      }
    }
    Accept();
  });
}

void OrderServer::Impl::Handle(Request req, Reply reply) {
  std::string_view target(req.target().data(), req.target().size());
  size_t question = target.find('?');
  std::string_view path = target.substr(0, question);
  std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  std::string segment = LastSegment(path);
  auto method = req.method();
  bool get = method == http::verb::get || method == http::verb::head;

  if (get && IsProtocolQuery(query)) return HandleProtocol(req, query, std::move(reply));
  if (segment == "gateway" && (get || method == http::verb::post))
    return HandleGateway(req, query, std::move(reply));
  if (segment == "search" && get) return HandleSearch(req, query, std::move(reply));
  if (method == http::verb::post && segment != "search") return HandleOrder(req, std::move(reply));
  if (get) return HandleStatic(req, path, std::move(reply));
  Response res = MakeResponse(req, http::status::method_not_allowed, "text/html",
                              Page("Method not allowed", "<p>This method is not supported.</p>\n"));
  res.set(http::field::allow, "GET, HEAD, POST");
  reply(std::move(res));
}

void OrderServer::Impl::HandleProtocol(const Request& req, std::string_view query, Reply reply) {
  auto answer = [version = req.version(), keepAlive = req.keep_alive()](Reply& reply,
                                                                        std::string body) {
    Response res = MakeResponse(version, keepAlive, http::status::ok,
                                "text/plain; charset=ISO-8859-1", std::move(body));
    res.set(http::field::cache_control, "no-cache");
    reply(std::move(res));
  };
  ProtocolRequest pr = ParseProtocolQuery(query);
  if (!pr.valid) return answer(reply, FormatResultOnly(ResultCode::BadRequest));
  auto found = store.FindAccount(pr.user);
  if (!found) {
    std::cerr << "tolmi-server: " << found.status().message() << "\n";
    return answer(reply, FormatResultOnly(ResultCode::InternalError));
  }
  if (!found->has_value()) return answer(reply, FormatResultOnly(ResultCode::NoAccount));
  Account account = std::move(**found);
  if (!account.enabled) return answer(reply, FormatResultOnly(ResultCode::Disabled));

  // With the password settled, read or delete on the loop thread.
  auto finish = [this, answer, pr, accountId = account.id](Reply& reply, bool passwordOk) {
    if (!passwordOk) return answer(reply, FormatResultOnly(ResultCode::WrongPassword));
    if (pr.function == ProtocolFunction::Download) {
      auto orders = store.OrdersAfter(accountId, pr.lastId.value_or(0));
      if (!orders) {
        std::cerr << "tolmi-server: " << orders.status().message() << "\n";
        return answer(reply, FormatResultOnly(ResultCode::InternalError));
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
  auto cached = verified.find(account.name);
  if (cached != verified.end() && cached->second.first == account.passwordHash &&
      sodium_memcmp(cached->second.second.data(), digest.data(), digest.size()) == 0) {
    return finish(reply, true);
  }
  // The slow hash runs off the loop so that other shoppers are not kept waiting.
  asio::post(pool, [this, finish, reply = std::move(reply), hash = account.passwordHash,
                    name = account.name, password = pr.password, digest]() mutable {
    bool ok = VerifyPassword(hash, password);
    asio::post(ioc, [this, finish, reply = std::move(reply), ok, hash, name, digest]() mutable {
      if (ok) {
        if (verified.size() > 1000) verified.clear();
        verified[name] = {hash, digest};
      }
      finish(reply, ok);
    });
  });
}

void OrderServer::Impl::HandleOrder(const Request& req, Reply reply) {
  auto page = [&req](http::status status, const std::string& title, const std::string& html) {
    return MakeResponse(req, status, "text/html", Page(title, html));
  };
  auto refuse = [&](http::status status, const std::string& sentence, const std::string& back) {
    std::string link = back.empty() ? "javascript:history.back()" : back;
    return page(status, "Order not sent",
                "<p>" + HtmlEscape(sentence) + "</p>\n<p><a href=\"" + HtmlEscape(link) +
                    "\">Back to the order form</a></p>\n");
  };
  auto order = ParseOrderForm(req.body());
  if (!order) {
    return reply(
        refuse(http::status::bad_request, order.status().message(), ReturnUrlOf(req.body())));
  }
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
      return MakeResponse(version, keepAlive, status, "text/html", Page(title, html));
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
  for (const auto& p : batch) rows.push_back({p.accountId, now, &p.order.fields, &p.order.items});
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
        MakeResponse(req, http::status::bad_request, "text/html",
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
    return reply(MakeResponse(req, http::status::not_found, "text/html",
                              Page("Search", "<p>This store cannot be searched.</p>\n")));
  }
  bool ok = false;
  std::string index = ReadFileBytes(std::filesystem::path(dir) / "tolmi.idx", ok);
  if (!ok) {
    return reply(MakeResponse(req, http::status::not_found, "text/html",
                              Page("Search", "<p>This store cannot be searched.</p>\n")));
  }
  std::string tpl = ReadFileBytes(std::filesystem::path(dir) / "tolmi.tpl", ok);
  if (!ok) tpl = Page("Search", "<!--TOLMI_RESULTS-->");
  std::string body = RenderSearchPage(tpl, ParseIndex(index), words, base);
  reply(MakeResponse(req, http::status::ok, "text/html", std::move(body)));
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
  auto notFound = [&] {
    return MakeResponse(req, http::status::not_found, "text/html",
                        Page("Not found", "<p>There is no such page here.</p>\n"));
  };
  if (config.storeDir.empty()) return reply(notFound());
  ResolvedPath resolved = ResolveStaticPath(config.storeDir, path);
  switch (resolved.verdict) {
    case PathVerdict::BadRequest:
      return reply(MakeResponse(req, http::status::bad_request, "text/html",
                                Page("Bad request", "<p>The path is not allowed.</p>\n")));
    case PathVerdict::Forbidden:
      return reply(MakeResponse(req, http::status::forbidden, "text/html",
                                Page("Forbidden", "<p>The path is not allowed.</p>\n")));
    case PathVerdict::NotFound:
      return reply(notFound());
    case PathVerdict::Ok:
      break;
  }
  std::error_code ec;
  auto size = std::filesystem::file_size(resolved.file, ec);
  if (ec || size > kMaxStaticFile) return reply(notFound());
  bool ok = false;
  std::string bytes = ReadFileBytes(resolved.file, ok);
  if (!ok) return reply(notFound());
  Response res =
      MakeResponse(req, http::status::ok, ContentTypeFor(resolved.file), std::move(bytes));
  if (req.method() == http::verb::head) {
    auto length = res.body().size();
    res.body().clear();
    res.content_length(length);
  }
  reply(std::move(res));
}

OrderServer::OrderServer(ServerConfig config, OrderStore& store)
    : impl_(std::make_unique<Impl>(std::move(config), store)) {}

OrderServer::~OrderServer() {
  impl_->pool.join();
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
