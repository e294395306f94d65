// EventLoop: the one-thread loop under the HTTP and FTP engines. It watches
// sockets, runs periodic timers by id, runs posted tasks and answers host
// lookups (c-ares). Nothing locks; every call and callback is on the loop's
// thread. The lifecycle rules are in docs/event-loop.md.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

struct ares_channeldata;
struct ares_addrinfo;

namespace tolmi {

enum : unsigned {
  kWatchRead = 1,   // readable, or the peer closed
  kWatchWrite = 2,  // writable, or a connect finished
  kWatchError = 4,  // the socket has an error (reported with read and write)
};

class EventLoop {
 public:
  using SocketCallback = std::function<void(int fd, unsigned events)>;
  using TimerCallback = std::function<void()>;
  using Task = std::function<void()>;
  // error is 0 on success, else a c-ares status; address is dotted IPv4 text.
  using LookupCallback = std::function<void(int error, const std::string& address)>;

  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Watches fd for the given kWatch* events; replaces an earlier watch of fd.
  // Returns false (and watches nothing) when the system refuses the fd.
  bool WatchSocket(int fd, unsigned events, SocketCallback callback);
  // Stops watching fd; its callback is not called again.
  void UnwatchSocket(int fd);

  // Starts (or restarts) the periodic timer id; a period <= 0 stops it.
  void StartTimer(int id, int periodMs, TimerCallback callback);
  void StopTimer(int id);
  bool HasTimer(int id) const { return timers_.count(id) != 0; }

  // Runs task on a later pass of the loop.
  void Post(Task task);

  // Looks up the IPv4 address of host. Returns the lookup id, 0 when the lookup
  // could not start (then callback is never called). The callback runs once,
  // on a later pass, unless CancelLookup(id) came first.
  std::uint64_t LookupHost(const std::string& host, LookupCallback callback);
  void CancelLookup(std::uint64_t id);

  // Waits at most maxWaitMs (0: do not wait) for events and dispatches what is
  // ready: sockets, due timers, posted tasks. Returns the number of callbacks run.
  int RunOnce(int maxWaitMs);
  // Runs until done() is true (checked after every pass) or timeoutMs passed.
  // Returns done().
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);
  // Runs until Stop() is called.
  void Run();
  void Stop() { stopped_ = true; }

  // The epoll descriptor (readable when a socket is ready) and the time until
  // the next timer is due (-1 = none), for driving the loop from another loop.
  int Fd() const { return epollFd_; }
  int NextTimeoutMs() const;

  // What is still registered: tests assert all of these are 0 after an engine stops.
  std::size_t WatchCount() const { return watches_.size() - resolverFds_.size(); }
  std::size_t TimerCount() const { return timers_.size(); }
  std::size_t LookupCount() const { return lookups_.size(); }
  std::size_t TaskCount() const { return tasks_.size(); }

 private:
  struct Watch {
    std::uint32_t generation;
    std::shared_ptr<SocketCallback> callback;
  };
  struct Timer {
    int periodMs;
    std::int64_t due;
    std::uint32_t generation;
    std::shared_ptr<TimerCallback> callback;
  };
  static std::int64_t NowMs();
  void ResolverSocketState(int fd, bool read, bool write);
  void ResolverDone(std::uint64_t id, int status, std::string address);
  static void OnSocketState(void* data, int fd, int read, int write);
  static void OnAddrInfo(void* arg, int status, int timeouts, ::ares_addrinfo* result);

  int epollFd_ = -1;
  bool stopped_ = false;
  std::uint32_t nextGeneration_ = 1;
  std::map<int, Watch> watches_;
  std::map<int, Timer> timers_;
  std::deque<Task> tasks_;
  std::map<std::uint64_t, LookupCallback> lookups_;
  std::uint64_t nextLookup_ = 1;
  ::ares_channeldata* resolver_ = nullptr;
  std::set<int> resolverFds_;
  std::size_t resolverPending_ = 0;
  std::shared_ptr<bool> alive_;
};

// Makes PumpMessages() run one pass of loop (the loop must outlive the hook;
// RemovePumpHook() takes it away).
void InstallPumpHook(EventLoop& loop);
void RemovePumpHook();

}  // namespace tolmi
