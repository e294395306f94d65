#include "net/EventLoop.h"

#include "util/PumpMessages.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace tolmi {
namespace {

struct LookupArg {
  EventLoop* loop;
  std::uint64_t id;
  std::weak_ptr<bool> alive;
};

bool AresReady() {
  static const bool ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
  return ready;
}

}  // namespace

EventLoop::EventLoop() : alive_(std::make_shared<bool>(true)) {
  epollFd_ = epoll_create1(EPOLL_CLOEXEC);
}

EventLoop::~EventLoop() {
  lookups_.clear();
  alive_.reset();  // c-ares callbacks during destruction find the loop gone
  if (resolver_) ares_destroy(resolver_);
  if (epollFd_ >= 0) close(epollFd_);
}

std::int64_t EventLoop::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool EventLoop::WatchSocket(int fd, unsigned events, SocketCallback callback) {
  if (fd < 0 || epollFd_ < 0) return false;
  std::uint32_t generation = nextGeneration_++;
  epoll_event ev{};
  ev.events = ((events & kWatchRead) ? (EPOLLIN | EPOLLRDHUP) : 0u) |
              ((events & kWatchWrite) ? EPOLLOUT : 0u);
  ev.data.u64 = (static_cast<std::uint64_t>(generation) << 32) | static_cast<std::uint32_t>(fd);
  int op = watches_.count(fd) ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
  if (epoll_ctl(epollFd_, op, fd, &ev) != 0) {
    // The fd may have been closed and reused without an unwatch: try the other way.
    op = (op == EPOLL_CTL_ADD) ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    if (epoll_ctl(epollFd_, op, fd, &ev) != 0) {
      watches_.erase(fd);
      return false;
    }
  }
  watches_[fd] = Watch{generation, std::make_shared<SocketCallback>(std::move(callback))};
  return true;
}

void EventLoop::UnwatchSocket(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
  watches_.erase(it);
}

void EventLoop::StartTimer(int id, int periodMs, TimerCallback callback) {
  if (periodMs <= 0) {
    StopTimer(id);
    return;
  }
  timers_[id] = Timer{periodMs, NowMs() + periodMs, nextGeneration_++,
                      std::make_shared<TimerCallback>(std::move(callback))};
}

void EventLoop::StopTimer(int id) {
  timers_.erase(id);
}

void EventLoop::Post(Task task) {
  tasks_.push_back(std::move(task));
}

int EventLoop::NextTimeoutMs() const {
  if (!tasks_.empty()) return 0;
  std::int64_t now = NowMs();
  std::int64_t best = -1;
  for (const auto& [id, t] : timers_) {
    std::int64_t wait = std::max<std::int64_t>(0, t.due - now);
    if (best < 0 || wait < best) best = wait;
  }
  if (resolverPending_ > 0 && resolver_) {
    timeval tv{};
    if (ares_timeout(resolver_, nullptr, &tv)) {
      std::int64_t wait = tv.tv_sec * 1000 + tv.tv_usec / 1000 + 1;
      if (best < 0 || wait < best) best = wait;
    }
  }
  return static_cast<int>(std::min<std::int64_t>(best, 1 << 30));
}

std::uint64_t EventLoop::LookupHost(const std::string& host, LookupCallback callback) {
  if (host.empty() || host.size() > 255 || host.find('\0') != std::string::npos) return 0;
  if (!AresReady()) return 0;
  if (!resolver_) {
    ares_options options{};
    options.sock_state_cb = &EventLoop::OnSocketState;
    options.sock_state_cb_data = this;
    options.timeout = 2000;
    options.tries = 2;
    int mask = ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES;
    if (ares_init_options(&resolver_, &options, mask) != ARES_SUCCESS) {
      resolver_ = nullptr;
      return 0;
    }
  }
  std::uint64_t id = nextLookup_++;
  lookups_[id] = std::move(callback);
  ++resolverPending_;
  ares_addrinfo_hints hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ares_getaddrinfo(resolver_, host.c_str(), nullptr, &hints, &EventLoop::OnAddrInfo,
                   new LookupArg{this, id, alive_});
  return id;
}

void EventLoop::CancelLookup(std::uint64_t id) {
  lookups_.erase(id);
}

void EventLoop::OnSocketState(void* data, int fd, int read, int write) {
  static_cast<EventLoop*>(data)->ResolverSocketState(fd, read != 0, write != 0);
}

void EventLoop::ResolverSocketState(int fd, bool read, bool write) {
  if (!alive_) return;
  if (!read && !write) {
    resolverFds_.erase(fd);
    UnwatchSocket(fd);
    return;
  }
  resolverFds_.insert(fd);
  WatchSocket(
      fd, (read ? kWatchRead : 0u) | (write ? kWatchWrite : 0u), [this](int f, unsigned events) {
        ares_process_fd(resolver_, (events & (kWatchRead | kWatchError)) ? f : ARES_SOCKET_BAD,
                        (events & kWatchWrite) ? f : ARES_SOCKET_BAD);
      });
}

void EventLoop::OnAddrInfo(void* arg, int status, int, ::ares_addrinfo* result) {
  std::unique_ptr<LookupArg> a(static_cast<LookupArg*>(arg));
  std::string address;
  if (status == ARES_SUCCESS && result) {
    for (ares_addrinfo_node* node = result->nodes; node; node = node->ai_next) {
      if (node->ai_family == AF_INET && node->ai_addr) {
        char text[INET_ADDRSTRLEN] = {};
        auto* sin = reinterpret_cast<sockaddr_in*>(node->ai_addr);
        inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text);
        address = text;
        break;
      }
    }
    if (address.empty()) status = ARES_ENOTFOUND;
  }
  if (result) ares_freeaddrinfo(result);
  if (a->alive.expired()) return;
  a->loop->ResolverDone(a->id, status, std::move(address));
}

void EventLoop::ResolverDone(std::uint64_t id, int status, std::string address) {
  if (resolverPending_ > 0) --resolverPending_;
  // Answer on a later pass, even when c-ares answered inside ares_getaddrinfo.
  Post([this, id, status, address = std::move(address)] {
    auto it = lookups_.find(id);
    if (it == lookups_.end()) return;  // cancelled
    LookupCallback callback = std::move(it->second);
    lookups_.erase(it);
    callback(status, address);
  });
}

int EventLoop::RunOnce(int maxWaitMs) {
  int wait = NextTimeoutMs();
  if (wait < 0 || (maxWaitMs >= 0 && wait > maxWaitMs)) wait = maxWaitMs;
  if (wait < 0) wait = -1;
  int ran = 0;
  epoll_event events[64];
  int n = epoll_wait(epollFd_, events, 64, wait);
  for (int i = 0; i < n; ++i) {
    int fd = static_cast<int>(events[i].data.u64 & 0xffffffffu);
    std::uint32_t generation = static_cast<std::uint32_t>(events[i].data.u64 >> 32);
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second.generation != generation) continue;
    unsigned e = 0;
    if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLRDHUP)) e |= kWatchRead;
    if (events[i].events & EPOLLOUT) e |= kWatchWrite;
    if (events[i].events & EPOLLERR) e |= kWatchError | kWatchRead | kWatchWrite;
    std::shared_ptr<SocketCallback> callback = it->second.callback;
    (*callback)(fd, e);
    ++ran;
  }
  if (resolverPending_ > 0 && resolver_) {
    ares_process_fd(resolver_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // resolver time-outs
  }
  std::int64_t now = NowMs();
  std::vector<std::pair<int, std::uint32_t>> due;
  for (const auto& [id, t] : timers_) {
    if (t.due <= now) due.emplace_back(id, t.generation);
  }
  for (const auto& [id, generation] : due) {
    auto it = timers_.find(id);
    if (it == timers_.end() || it->second.generation != generation) continue;
    it->second.due = std::max(it->second.due + it->second.periodMs, now + 1);
    std::shared_ptr<TimerCallback> callback = it->second.callback;
    (*callback)();
    ++ran;
  }
  std::deque<Task> tasks;
  tasks.swap(tasks_);
  for (Task& task : tasks) {
    task();
    ++ran;
  }
  return ran;
}

bool EventLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  std::int64_t end = NowMs() + timeoutMs;
  while (!done()) {
    std::int64_t left = end - NowMs();
    if (left <= 0) return done();
    RunOnce(static_cast<int>(std::min<std::int64_t>(left, 50)));
  }
  return true;
}

void EventLoop::Run() {
  stopped_ = false;
  while (!stopped_) RunOnce(1000);
}

void InstallPumpHook(EventLoop& loop) {
  SetPumpHook([&loop](int maxWaitMs) { loop.RunOnce(maxWaitMs); });
}

void RemovePumpHook() {
  SetPumpHook(nullptr);
}

}  // namespace tolmi
