// Loopback peers for the network tests: a scripted TCP server on a thread,
// child processes (FTP server, proxies) started on free ports and stopped by PID.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tolmi::test {

// A port on 127.0.0.1 that was free a moment ago.
int FreePort();
// Blocking helpers for the server side (each bounded by timeoutMs).
std::string ReadUntil(int fd, std::string_view end, int timeoutMs = 5000);
std::string ReadAll(int fd, int timeoutMs = 5000);
void WriteAll(int fd, std::string_view bytes);

// Accepts up to `connections` connections on 127.0.0.1 (free port) one after the
// other and runs handler(fd, index) for each on its own thread; closes each fd after.
class ScriptedServer {
 public:
  using Handler = std::function<void(int fd, int index)>;
  explicit ScriptedServer(Handler handler, int connections = 1);
  ~ScriptedServer();
  int port() const { return port_; }
  // Bytes a handler chose to record (thread-safe).
  void Record(const std::string& text);
  std::vector<std::string> records();

 private:
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> records_;
  std::thread thread_;
};

// A child process; the destructor ends it (SIGTERM, then SIGKILL) and reaps it.
class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& argv, bool captureStdout = false);
  ~PeerProcess();
  // The next line the child printed (captureStdout), "" after timeoutMs.
  std::string ReadLine(int timeoutMs = 10000);

 private:
  int pid_ = -1;
  int outFd_ = -1;
  std::string buffer_;
};

class TestHome;

// pyftpdlib serving HOME/ROOT as user tolmi, password secret, on a free loopback port.
// readLimit > 0 slows uploads to that many bytes a second. port() is 0 when it did not
// start (python3-pyftpdlib missing).
class PyFtpServer {
 public:
  explicit PyFtpServer(const TestHome& home, const std::string& root = "root", int readLimit = 0);
  int port() const { return port_; }
  // Ends the server at once, as a crash would.
  void Kill();

 private:
  std::unique_ptr<PeerProcess> process_;
  int port_ = 0;
  int pid_ = -1;
};

// True once something accepts connections on 127.0.0.1:port (within timeoutMs).
bool WaitForPort(int port, int timeoutMs = 10000);
// Full path of a program on PATH, "" when missing.
std::string FindProgram(const std::string& name);

}  // namespace tolmi::test
