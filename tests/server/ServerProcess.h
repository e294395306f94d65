// Test helpers: the real tolmi-server started on a free loopback port, and a tiny blocking
// HTTP client that sends raw bytes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tolmi::test {

class ServerProcess {
 public:
  ServerProcess() = default;
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts "tolmi-server --listen 127.0.0.1:0 ARGS..." with TZ=UTC and reads the port it
  // prints. False when it does not start.
  bool Start(const std::vector<std::string>& args);
  // Before Start: the server's standard error goes to this file, and its descriptor limit
  // is set (0 keeps the inherited one).
  void SetErrorFile(std::string path) { errorFile_ = std::move(path); }
  void SetFileLimit(int limit) { fileLimit_ = limit; }
  // Before Start: sets NAME=VALUE in the server's environment.
  void SetEnv(const std::string& name, const std::string& value) {
    env_.push_back(name + "=" + value);
  }
  // SIGTERM and wait; returns the exit status, 128 + the signal when a signal ended it
  // (SIGKILL after 20 s without ending), -1 when not running. The destructor stops a
  // running server this way and fails the test unless it exits with 0.
  int Stop();
  // SIGKILL and wait.
  void Kill();
  unsigned short port() const { return port_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  unsigned short port_ = 0;
  std::string errorFile_;
  int fileLimit_ = 0;
  std::vector<std::string> env_;
};

struct HttpReply {
  bool ok = false;  // a reply arrived
  int status = 0;
  std::string head;  // status line and headers
  std::string body;
  std::string Header(const std::string& name) const;  // case-insensitive, "" when absent
};

// Sends the bytes as they stand and reads until the server closes the connection.
HttpReply SendRaw(unsigned short port, const std::string& bytes, int timeoutMs = 5000);

// A GET of the target with "Connection: close".
HttpReply Get(unsigned short port, const std::string& target);

// A form POST of the body to the target; extraHeaders ("Name: value\r\n" lines) are added.
HttpReply PostForm(unsigned short port, const std::string& target, const std::string& body,
                   const std::string& extraHeaders = "");

// Runs the program's account commands in-process (cheap password hashing).
int RunUser(const std::string& dataFile, const std::vector<std::string>& args,
            std::string* output = nullptr);

}  // namespace tolmi::test
