#include "tests/net/NetTestSupport.h"

#include "tests/support/TestHome.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace tolmi::test {
namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int ListenLoopback(int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 16) != 0) {
    close(fd);
    return -1;
  }
  socklen_t len = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  port = ntohs(sa.sin_port);
  return fd;
}

}  // namespace

int FreePort() {
  int port = 0;
  int fd = ListenLoopback(port);
  if (fd >= 0) close(fd);
  return port;
}

std::string ReadUntil(int fd, std::string_view end, int timeoutMs) {
  std::string got;
  long long deadline = NowMs() + timeoutMs;
  while (got.find(end) == std::string::npos) {
    long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[65536];
    ssize_t n = read(fd, buf, sizeof buf);  // a socket or a pipe
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

std::string ReadAll(int fd, int timeoutMs) {
  return ReadUntil(fd, std::string_view("\0\xff\0", 3), timeoutMs);
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

ScriptedServer::ScriptedServer(Handler handler, int connections) {
  listenFd_ = ListenLoopback(port_);
  thread_ = std::thread([this, handler = std::move(handler), connections] {
    for (int i = 0; i < connections && !stop_; ++i) {
      int fd = -1;
      while (!stop_ && fd < 0) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      }
      if (fd < 0) break;
      handler(fd, i);
      close(fd);
    }
  });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
}

void ScriptedServer::Record(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back(text);
}

std::vector<std::string> ScriptedServer::records() {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

PeerProcess::PeerProcess(const std::vector<std::string>& argv, bool captureStdout) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (captureStdout && pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  outFd_ = pipeFds[0];
}

PeerProcess::~PeerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(20000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (outFd_ >= 0) close(outFd_);
}

std::string PeerProcess::ReadLine(int timeoutMs) {
  if (buffer_.find('\n') == std::string::npos && outFd_ >= 0)
    buffer_ += ReadUntil(outFd_, "\n", timeoutMs);
  std::size_t nl = buffer_.find('\n');
  if (nl == std::string::npos) return {};
  std::string line = buffer_.substr(0, nl);
  buffer_.erase(0, nl + 1);
  return line;
}

bool WaitForPort(int port, int timeoutMs) {
  long long deadline = NowMs() + timeoutMs;
  while (NowMs() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    close(fd);
    if (ok) return true;
    usleep(30000);
  }
  return false;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(std::string(path ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::filesystem::path p = std::filesystem::path(dir) / name;
    if (access(p.c_str(), X_OK) == 0) return p.string();
  }
  return {};
}

PyFtpServer::PyFtpServer(const TestHome& home, const std::string& root, int readLimit) {
  std::filesystem::create_directories(home / root);
  home.Write("pyftpd.py",
             "import os, sys, logging\n"
             "from pyftpdlib.authorizers import DummyAuthorizer\n"
             "from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler\n"
             "from pyftpdlib.servers import FTPServer\n"
             "logging.disable(logging.CRITICAL)\n"
             "a = DummyAuthorizer()\n"
             "a.add_user('tolmi', 'secret', sys.argv[1], perm='elradfmwMT')\n"
             "FTPHandler.authorizer = a\n"
             "FTPHandler.auth_failed_timeout = 0.05\n"
             "if int(sys.argv[2]) > 0:\n"
             "    ThrottledDTPHandler.read_limit = int(sys.argv[2])\n"
             "    FTPHandler.dtp_handler = ThrottledDTPHandler\n"
             "s = FTPServer(('127.0.0.1', 0), FTPHandler)\n"
             "print(s.socket.getsockname()[1], os.getpid(), flush=True)\n"
             "s.serve_forever()\n");
  process_ = std::make_unique<PeerProcess>(
      std::vector<std::string>{"/usr/bin/python3", (home / "pyftpd.py").string(),
                               (home / root).string(), std::to_string(readLimit)},
      true);
  std::string line = process_->ReadLine();
  if (!line.empty() && line.find(' ') != std::string::npos) {
    port_ = std::stoi(line);
    pid_ = std::stoi(line.substr(line.find(' ') + 1));
  }
}

void PyFtpServer::Kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

}  // namespace tolmi::test
