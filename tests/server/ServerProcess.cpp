#include "ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include <gtest/gtest.h>

#include "server/ServerMain.h"

extern char** environ;

namespace tolmi::test {

// Stops the server as a service manager would (SIGTERM) and fails the running test when it
// does not end cleanly, so a crash or a sanitizer report at shutdown is seen.
ServerProcess::~ServerProcess() {
  if (pid_ <= 0) return;
  const int status = Stop();
  if (status == 0) return;
  const std::string what = "tolmi-server did not stop cleanly at SIGTERM: " +
                           (status >= 128 ? "signal " + std::to_string(status - 128)
                                          : "exit status " + std::to_string(status));
  if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
    ADD_FAILURE() << what;
  } else {  // a window test: no GoogleTest test is running to take the failure
    std::fprintf(stderr, "%s\n", what.c_str());
    std::_Exit(1);
  }
}

bool ServerProcess::Start(const std::vector<std::string>& args) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  if (!errorFile_.empty())
    posix_spawn_file_actions_addopen(&actions, 2, errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  std::vector<std::string> argv = {TOLMI_SERVER_BIN, "--listen", "127.0.0.1:0"};
  // prlimit runs the server in its own place (same process), with the descriptor limit.
  if (fileLimit_ > 0)
    argv.insert(argv.begin(), {"/usr/bin/prlimit", "--nofile=" + std::to_string(fileLimit_)});
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  std::vector<std::string> env;
  std::vector<std::string> own = env_;
  own.emplace_back("TZ=UTC");
  auto name = [](std::string_view entry) { return entry.substr(0, entry.find('=') + 1); };
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const auto& o : own) replaced = replaced || name(*e) == name(o);
    if (!replaced) env.emplace_back(*e);
  }
  env.insert(env.end(), own.begin(), own.end());
  std::vector<char*> cenv;
  for (auto& e : env) cenv.push_back(e.data());
  cenv.push_back(nullptr);
  int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, cargv.data(), cenv.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    pid_ = -1;
    return false;
  }
  // The first line: "listening on 127.0.0.1:PORT".
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[256];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  size_t colon = line.rfind(':');
  if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
    Kill();
    return false;
  }
  port_ = static_cast<unsigned short>(std::stoi(line.substr(colon + 1)));
  return port_ != 0;
}

int ServerProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  // A server that has not ended after 20 s is killed, and reported as killed.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(2000);
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ServerProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string HttpReply::Header(const std::string& name) const {
  std::istringstream in(head);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon != name.size() || strncasecmp(line.c_str(), name.c_str(), colon) != 0) continue;
    size_t start = line.find_first_not_of(' ', colon + 1);
    return start == std::string::npos ? "" : line.substr(start);
  }
  return "";
}

HttpReply SendRaw(unsigned short port, const std::string& bytes, int timeoutMs) {
  HttpReply reply;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return reply;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return reply;
  }
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string data;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buf[16384];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  size_t split = data.find("\r\n\r\n");
  if (data.rfind("HTTP/", 0) != 0 || split == std::string::npos) return reply;
  reply.ok = true;
  reply.head = data.substr(0, split + 2);
  reply.body = data.substr(split + 4);
  size_t space = data.find(' ');
  reply.status = std::atoi(data.c_str() + space + 1);
  return reply;
}

HttpReply Get(unsigned short port, const std::string& target) {
  return SendRaw(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
}

HttpReply PostForm(unsigned short port, const std::string& target, const std::string& body,
                   const std::string& extraHeaders) {
  return SendRaw(port, "POST " + target +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                           extraHeaders +
                           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body);
}

int RunUser(const std::string& dataFile, const std::vector<std::string>& args,
            std::string* output) {
  std::vector<std::string> all = {"--data", dataFile, "--hash-cost", "min", "user"};
  all.insert(all.end(), args.begin(), args.end());
  std::istringstream in;
  std::ostringstream out, err;
  int rc = server::RunServerMain(all, in, out, err);
  if (output) *output = out.str() + err.str();
  return rc;
}

}  // namespace tolmi::test
