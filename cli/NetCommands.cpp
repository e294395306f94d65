// tolmi-cli commands for trying the network engines by hand:
//   http get URL     prints the raw reply, then the status and flags on stderr
//   ftp put FILE     stores one file and prints the session log
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "net/EventLoop.h"
#include "net/FtpClient.h"
#include "net/HttpClient.h"

namespace tolmi::cli {
namespace {

struct HttpOptions {
  std::string url;
  std::string proxy;  // [http|socks4|socks5://]host:port
  std::string proxyUser, proxyPassword;
  std::string caFile;
  int timeoutMs = 30000;
  bool follow = false;
};

// Splits "--proxy" into the engine's type, host and port; false when unusable.
bool ParseProxy(std::string text, int& type, std::string& host, int& port) {
  type = 1;
  std::size_t scheme = text.find("://");
  if (scheme != std::string::npos) {
    std::string name = text.substr(0, scheme);
    if (name == "socks4")
      type = 2;
    else if (name == "socks5")
      type = 3;
    else if (name != "http")
      return false;
    text = text.substr(scheme + 3);
  }
  while (!text.empty() && text.back() == '/') text.pop_back();
  std::size_t colon = text.rfind(':');
  host = text.substr(0, colon);
  port = colon == std::string::npos ? 80 : std::atoi(text.c_str() + colon + 1);
  return !host.empty() && port > 0 && port <= 65535;
}

std::string FlagNames(unsigned flags) {
  std::string names;
  auto add = [&](unsigned bit, const char* name) {
    if (flags & bit) names += names.empty() ? name : std::string(" ") + name;
  };
  add(kHttpCancelled, "cancelled");
  add(kHttpSucceeded, "succeeded");
  add(kHttpFailed, "failed");
  add(kHttpRedirected, "redirected");
  add(kHttpSocketError, "socket-error");
  add(kHttpTimedOut, "timed-out");
  return names;
}

// A 200 reply is printed while it arrives, in blocks of this size, so a long download
// is not held back until its end (other replies may still be retried or followed).
constexpr std::size_t kPrintBlock = 1 << 20;

void RunHttpGet(Context& ctx, const HttpOptions& o) {
  EventLoop loop;
  std::vector<std::string> messages;
  std::size_t printed = 0;
  HttpStartup(loop, "Tolmi PRO",
              [&](int code, HttpRequest* req, std::int64_t n, const std::string& text) {
                if (code == kHttpNoteMessage || code == kHttpNoteOutOfMemory)
                  messages.push_back(text);
                if (code == kHttpNoteSocketError)
                  messages.push_back(" socket error " + std::to_string(n));
                if (code == kHttpNoteBytes && req && req->statusCode == 200 &&
                    req->reply.size() - printed >= kPrintBlock) {
                  ctx.out.write(req->reply.data() + printed,
                                static_cast<std::streamsize>(req->reply.size() - printed));
                  printed = req->reply.size();
                }
              });
  if (!o.proxy.empty()) {
    int type = 0, port = 0;
    std::string host;
    if (!ParseProxy(o.proxy, type, host, port)) {
      ctx.err << "tolmi-cli: --proxy must be [http|socks4|socks5://]HOST:PORT\n";
      ctx.exitCode = 2;
      HttpShutdown();
      return;
    }
    HttpSetProxy(type, host, port, o.proxyUser, o.proxyPassword);
  }
  if (!o.caFile.empty()) HttpSetCaFile(o.caFile);
  bool finished = false;
  std::string reply;
  unsigned flags = 0;
  int status = 0;
  HttpRequest* r = HttpGet(o.url, "cli", 0, 0, [&](HttpRequest& req, std::uint32_t) {
    reply = std::move(req.reply);  // the engine frees the request after this call
    flags = req.flags;
    status = req.statusCode;
    if (o.follow && (req.flags & kHttpRedirected)) return 2;
    finished = true;
    return 0;
  });
  if (!r) {
    ctx.err << "tolmi-cli: cannot request '" << o.url
            << "' (an http:// or https:// URL is needed)\n";
    ctx.exitCode = 2;
    HttpShutdown();
    return;
  }
  if (!loop.RunUntil([&] { return finished || HttpRequestCount() == 0; }, o.timeoutMs))
    HttpCancelAll();
  HttpShutdown();
  if (printed < reply.size())
    ctx.out.write(reply.data() + printed, static_cast<std::streamsize>(reply.size() - printed));
  ctx.out.flush();
  for (const std::string& m : messages) ctx.err << m.substr(m.empty() ? 0 : 1) << "\n";
  char hex[16];
  snprintf(hex, sizeof hex, "0x%03x", flags);
  ctx.err << "status " << status << ", flags " << hex << " (" << FlagNames(flags) << "), "
          << reply.size() << " bytes\n";
  ctx.exitCode = (flags & kHttpSucceeded) ? 0 : 1;
}

struct FtpOptions {
  std::string file, server, user = "anonymous", password, dir;
  bool passive = false;
  bool ascii = false;
  int timeoutMs = 120000;
};

void RunFtpPut(Context& ctx, const FtpOptions& o) {
  std::size_t colon = o.server.rfind(':');
  std::string host = o.server.substr(0, colon);
  int port = colon == std::string::npos ? 21 : std::atoi(o.server.c_str() + colon + 1);
  if (host.empty() || port <= 0 || port > 65535) {
    ctx.err << "tolmi-cli: --server must be HOST:PORT\n";
    ctx.exitCode = 2;
    return;
  }
  EventLoop loop;
  FtpStartup(loop, 30000, [&](int code, FtpConnection*, std::int64_t n, const std::string& text) {
    if (code == kFtpNoteLog)
      ctx.out << text << "\n";
    else if (code == kFtpNoteMessage && !text.empty() && text[0] != ' ')
      ctx.out << text << "\n";
    else if (code == kFtpNoteSocketError)
      ctx.out << "socket error " << n << "\n";
    else if (code == kFtpNoteTimedOut)
      ctx.out << "timed out\n";
  });
  int login = -1, stored = -1;
  FtpConnection* c = FtpConnect(o.user, o.password, "", host, port,
                                [&](FtpConnection&, int result) { login = result; });
  if (!c) {
    ctx.err << "tolmi-cli: cannot connect to '" << o.server << "'\n";
    ctx.exitCode = 2;
    FtpShutdown();
    return;
  }
  c->passive = o.passive;
  std::string remote = std::filesystem::path(o.file).filename().string();
  if (!o.dir.empty()) {
    FtpMakeDir(c, o.dir,
               [](FtpConnection&, FtpCommand&, int) { return 666; });  // may exist already
    remote = o.dir + "/" + remote;
  }
  if (!FtpStore(
          c, o.file, remote, !o.ascii,
          [&](FtpConnection& conn, FtpCommand&, int result) {
            stored = result;
            (void)conn;
            return 0;
          },
          0)) {
    ctx.err << "tolmi-cli: cannot read '" << o.file << "'\n";
    ctx.exitCode = 2;
    FtpShutdown();
    return;
  }
  loop.RunUntil([&] { return stored >= 0 || login == 0 || FtpConnectionCount() == 0; },
                o.timeoutMs);
  if (FtpConnectionCount() > 0 && login != 0) {
    FtpQuit(c);
    loop.RunUntil([] { return FtpConnectionCount() == 0; }, 5000);
  }
  FtpShutdown();
  ctx.exitCode = stored == 1 ? 0 : 1;
  if (stored != 1) ctx.err << "tolmi-cli: the file was not stored\n";
}

void Setup(CLI::App& app, Context& ctx) {
  CLI::App* http = app.add_subcommand("http", "Try the HTTP client");
  http->require_subcommand(1);
  auto ho = std::make_shared<HttpOptions>();
  CLI::App* get = http->add_subcommand("get", "Request a URL and print the raw reply");
  get->add_option("URL", ho->url, "http:// or https:// address")->required();
  get->add_option("--proxy", ho->proxy, "[http|socks4|socks5://]HOST:PORT");
  get->add_option("--proxy-user", ho->proxyUser, "Proxy user name");
  get->add_option("--proxy-password", ho->proxyPassword, "Proxy password");
  get->add_option("--ca-file", ho->caFile, "Extra trusted certificates (PEM) for https");
  get->add_option("--timeout", ho->timeoutMs, "Give up after this many milliseconds");
  get->add_flag("--follow", ho->follow, "Follow 301 and 302 redirects (at most five)");
  get->callback([&ctx, ho] { RunHttpGet(ctx, *ho); });

  CLI::App* ftp = app.add_subcommand("ftp", "Try the FTP client");
  ftp->require_subcommand(1);
  auto fo = std::make_shared<FtpOptions>();
  CLI::App* put = ftp->add_subcommand("put", "Store one file and print the session log");
  put->add_option("FILE", fo->file, "Local file")->required();
  put->add_option("--server", fo->server, "HOST:PORT")->required();
  put->add_option("--user", fo->user, "User name");
  put->add_option("--password", fo->password, "Password");
  put->add_option("--dir", fo->dir, "Remote directory (made when missing)");
  put->add_flag("--passive", fo->passive, "Passive data connections (PASV)");
  put->add_flag("--ascii", fo->ascii, "ASCII transfer instead of binary");
  put->add_option("--timeout", fo->timeoutMs, "Give up after this many milliseconds");
  put->callback([&ctx, fo] { RunFtpPut(ctx, *fo); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
