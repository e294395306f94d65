#include "net/EventLoop.h"

#include "util/PumpMessages.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tolmi {
namespace {

TEST(EventLoop, TimersPostsAndStopsAreExact) {
  EventLoop loop;
  int ticks = 0, other = 0;
  std::vector<std::string> order;
  loop.StartTimer(1, 10, [&] {
    if (++ticks == 3) loop.StopTimer(1);  // a timer may stop itself
  });
  loop.StartTimer(2, 5, [&] { ++other; });
  loop.StopTimer(2);  // stopped before it was due: never called
  loop.Post([&] {
    order.push_back("a");
    loop.Post([&] { order.push_back("c"); });  // runs on a later pass
  });
  loop.Post([&] { order.push_back("b"); });
  EXPECT_TRUE(loop.RunUntil([&] { return ticks == 3 && order.size() == 3; }, 2000));
  loop.RunOnce(30);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(loop.TimerCount(), 0u);
  loop.StartTimer(3, 0, [] {});  // a period of 0 starts nothing
  EXPECT_FALSE(loop.HasTimer(3));
}

TEST(EventLoop, SocketWatchAndUnwatchInsideCallback) {
  EventLoop loop;
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, sv), 0);
  std::string got;
  int calls = 0;
  ASSERT_TRUE(loop.WatchSocket(sv[0], kWatchRead, [&](int fd, unsigned events) {
    ++calls;
    EXPECT_TRUE(events & kWatchRead);
    char buf[16];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    if (n == 0) loop.UnwatchSocket(fd);  // closed: stop watching from inside
  }));
  ASSERT_EQ(write(sv[1], "ping", 4), 4);
  EXPECT_TRUE(loop.RunUntil([&] { return got == "ping"; }, 2000));
  close(sv[1]);
  EXPECT_TRUE(loop.RunUntil([&] { return loop.WatchCount() == 0; }, 2000));
  int before = calls;
  loop.RunOnce(10);
  EXPECT_EQ(calls, before);
  close(sv[0]);
  EXPECT_FALSE(loop.WatchSocket(-1, kWatchRead, [](int, unsigned) {}));
}

TEST(EventLoop, LookupAnswersLaterAndCancelSilences) {
  EventLoop loop;
  int answers = 0;
  std::string address;
  std::uint64_t id = loop.LookupHost("localhost", [&](int error, const std::string& a) {
    ++answers;
    EXPECT_EQ(error, 0);
    address = a;
  });
  ASSERT_NE(id, 0u);
  EXPECT_EQ(answers, 0);  // never from inside the start call
  std::uint64_t cancelled = loop.LookupHost(
      "localhost", [&](int, const std::string&) { ADD_FAILURE() << "cancelled lookup answered"; });
  loop.CancelLookup(cancelled);
  EXPECT_TRUE(loop.RunUntil([&] { return answers == 1; }, 5000));
  EXPECT_EQ(address, "127.0.0.1");
  loop.RunOnce(20);
  EXPECT_EQ(answers, 1);
  EXPECT_EQ(loop.LookupCount(), 0u);

  int failures = 0;
  loop.LookupHost("no-such-host.invalid", [&](int error, const std::string&) {
    EXPECT_NE(error, 0);
    ++failures;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return failures == 1; }, 10000));
  EXPECT_EQ(loop.LookupHost("", [](int, const std::string&) {}), 0u);
  EXPECT_EQ(loop.LookupHost(std::string("a\0b", 3), [](int, const std::string&) {}), 0u);
}

TEST(EventLoop, PumpMessagesRunsOnePass) {
  EventLoop loop;
  int ran = 0;
  loop.Post([&] { ++ran; });
  InstallPumpHook(loop);
  PumpMessages();
  EXPECT_EQ(ran, 1);
  RemovePumpHook();
}

}  // namespace
}  // namespace tolmi
