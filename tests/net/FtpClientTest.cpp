// The FTP client against pyftpdlib and scripted servers on loopback.
#include "net/FtpClient.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "net/EventLoop.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::ReadUntil;
using test::ScriptedServer;
using test::WriteAll;

TEST(FtpWire, PortAndPassiveTexts) {
  EXPECT_EQ(FtpPortText(0xC0A80005, 1025), "PORT 192,168,0,5,4,1\r\n");
  EXPECT_EQ(ParseFtpPassive("227 Entering Passive Mode (10,0,0,1,19,137)."), "10.0.0.1:5001");
  EXPECT_EQ(ParseFtpPassive("227 ( 127, 0, 0, 1, 4, 1 )"), "127.0.0.1:1025");
  for (const char* bad : {"227 Entering Passive Mode", "227 Entering Passive Mode ()",
                          "227 (a,b,c,d,e,f)", "227 (1,2,3,4,5)", "227 (1,2,3,4,5,6,7)",
                          "227 (300,2,3,4,5,6)", "227 (1,2,3,4,0,0)", "227 (1,2,3,4,5,6"})
    EXPECT_FALSE(ParseFtpPassive(bad)) << bad;
}

TEST(FtpWire, ReplyLinesAndCodes) {
  std::string buffer = "230-Welcome\r\n230 In\nhalf";
  std::string line;
  ASSERT_TRUE(TakeFtpReplyLine(buffer, line));
  EXPECT_EQ(line, "230-Welcome");
  ASSERT_TRUE(TakeFtpReplyLine(buffer, line));
  EXPECT_EQ(line, "230 In");
  EXPECT_FALSE(TakeFtpReplyLine(buffer, line));
  EXPECT_EQ(buffer, "half");
  for (const char* text : {"000 x", "230-Welcome", "230", "23a text", " 230 x", ""})
    EXPECT_EQ(FtpReplyCode(text), text[0] == '0' ? 0 : -1) << text;
  EXPECT_EQ(FtpReplyCode("227 Entering (1,2,3,4,5,6)"), 227);
}

struct Note {
  int code;
  std::string text;
};

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto notify = [this](int code, FtpConnection*, std::int64_t, const std::string& text) {
      notes.push_back({code, text});
    };
    ASSERT_TRUE(FtpStartup(loop, 4000, notify));
    EXPECT_FALSE(FtpStartup(loop, 4000, nullptr));  // already running
  }
  void TearDown() override {
    FtpShutdown();
    loop.RunOnce(0);
    EXPECT_EQ(FtpConnectionCount(), 0u);
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.LookupCount(), 0u);
  }
  FtpConnection* Connect(int port, const std::string& password = "secret",
                         const std::string& user = "tolmi") {
    return FtpConnect(user, password, "", "127.0.0.1", port,
                      [this](FtpConnection&, int result) { logins.push_back(result); });
  }
  FtpCompletion Recorder(const std::string& name) {
    return [this, name](FtpConnection&, FtpCommand& cmd, int result) {
      results.push_back(name + "=" + std::to_string(result) + " " + cmd.replyLine.substr(0, 3));
      return 0;
    };
  }
  bool WaitClosed(int ms = 10000) {
    return loop.RunUntil([] { return FtpConnectionCount() == 0; }, ms);
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (const Note& n : notes) {
      if (n.code == kFtpNoteLog) lines.push_back(n.text);
    }
    return lines;
  }
  bool Has(int code, const std::string& text = "") const {
    for (const Note& n : notes) {
      if (n.code == code && (text.empty() || n.text.find(text) != std::string::npos)) return true;
    }
    return false;
  }

  EventLoop loop;
  std::vector<Note> notes;
  std::vector<int> logins;
  std::vector<std::string> results;
};

std::string BinaryBytes(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>((i * 131 + 7) & 0xff));
  return s;
}

TEST_F(FtpClientTest, StoresPassiveAndActiveByteForByteWithPyftpdlib) {
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  std::string big = BinaryBytes(300000), small = std::string("\r\n\0\xff line\n", 11);
  home.Write("big.bin", big);
  home.Write("small.bin", small);

  FtpConnection* c = Connect(server.port());
  ASSERT_NE(c, nullptr);
  c->passive = true;
  ASSERT_TRUE(FtpMakeDir(c, "store", Recorder("mkd")));
  ASSERT_TRUE(FtpMakeDir(c, "store", Recorder("mkd-again")));
  ASSERT_TRUE(
      FtpStore(c, (home / "big.bin").string(), "store/big.bin", true, Recorder("pasv-stor"), 1));
  ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 3; }, 15000));
  c->passive = false;
  ASSERT_TRUE(FtpStore(c, (home / "small.bin").string(), "store/small.bin", true,
                       Recorder("port-stor"), 2));
  EXPECT_FALSE(FtpStore(c, (home / "missing.bin").string(), "x", true, Recorder("never"), 3));
  ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 4; }, 15000));
  FtpQuit(c);
  ASSERT_TRUE(WaitClosed());

  EXPECT_EQ(logins, (std::vector<int>{1}));
  EXPECT_EQ(results, (std::vector<std::string>{"mkd=1 257", "mkd-again=0 550", "pasv-stor=1 226",
                                               "port-stor=1 226"}));
  EXPECT_TRUE(home.Read("root/store/big.bin") == big);
  EXPECT_TRUE(home.Read("root/store/small.bin") == small);
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[2], "PASS ********");  // the password stays out of the session log
  int types = 0, ports = 0;
  for (const std::string& l : log) {
    types += l == "TYPE I";
    ports += l.rfind("PORT 127,0,0,1,", 0) == 0;
  }
  EXPECT_EQ(types, 1);  // one TYPE for two binary stores
  EXPECT_EQ(ports, 1);
  EXPECT_TRUE(Has(kFtpNoteMessage, "Connected to 127.0.0.1:" + std::to_string(server.port())));
  EXPECT_TRUE(Has(FtpErrorCode(kFtpErrorRefused), "550"));
}

// A scripted server: greeting, then one answer per command line.
void Converse(int fd, const std::vector<std::pair<std::string, std::string>>& script,
              ScriptedServer* record) {
  WriteAll(fd, "220 ready\r\n");
  for (const auto& [expect, answer] : script) {
    std::string line = ReadUntil(fd, "\r\n");
    if (record) record->Record(line);
    if (line.rfind(expect, 0) != 0) return;
    WriteAll(fd, answer);
  }
  ReadUntil(fd, "never", 2000);
}

TEST_F(FtpClientTest, MultiLineAndSplitRepliesAnd530Retry) {
  ScriptedServer server([&](int fd, int) {
    WriteAll(fd, "220-welcome\r\n220 ready\r\n");
    ReadUntil(fd, "\r\n");
    WriteAll(fd, "530 not yet\r\n");  // first 530: USER is sent again
    ReadUntil(fd, "\r\n");
    WriteAll(fd, "331 pass");  // arrives in two pieces
    usleep(50000);
    WriteAll(fd, "word please\r\n");
    ReadUntil(fd, "\r\n");
    WriteAll(fd, "230-line one\r\n230-line two\r\n");
    usleep(50000);
    WriteAll(fd, "230 done\r\n");
    server.Record(ReadUntil(fd, "\r\n"));
    WriteAll(fd, "257 \"d\" created\r\n");
    ReadUntil(fd, "\r\n");
    WriteAll(fd, "221 bye\r\n");
    ReadUntil(fd, "never", 2000);
  });
  FtpConnection* c = Connect(server.port());
  ASSERT_TRUE(FtpMakeDir(c, "d", Recorder("mkd")));
  ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 1; }, 5000));
  EXPECT_EQ(logins, (std::vector<int>{1}));  // once, on the last 230 line
  EXPECT_EQ(results, (std::vector<std::string>{"mkd=1 257"}));
  EXPECT_EQ(server.records(), (std::vector<std::string>{"MKD d\r\n"}));
  FtpQuit(c);
  ASSERT_TRUE(WaitClosed());

  // Two 530 replies to USER in a row, or a refused PASS, fail the login, drop the
  // queue and close the session.
  logins.clear();
  results.clear();
  ScriptedServer refuses(
      [&](int fd, int index) {
        // The MKD must not come: the session ends at the refusal.
        if (index == 0)
          Converse(fd, {{"USER", "530 no\r\n"}, {"USER", "530 still no\r\n"}, {"MKD", "257 \r\n"}},
                   nullptr);
        if (index == 1)
          Converse(fd, {{"USER", "331 ok\r\n"}, {"PASS", "530 wrong\r\n"}, {"MKD", "257 \r\n"}},
                   nullptr);
      },
      2);
  ASSERT_TRUE(FtpMakeDir(Connect(refuses.port()), "never", Recorder("mkd")));
  ASSERT_TRUE(WaitClosed());
  ASSERT_TRUE(FtpMakeDir(Connect(refuses.port()), "never", Recorder("mkd")));
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(logins, (std::vector<int>{0, 0}));
  EXPECT_EQ(results, (std::vector<std::string>{"mkd=0 ", "mkd=0 "}));
  EXPECT_TRUE(Has(kFtpNoteClosing));
}

// A passive reply without numbers fails that store and the session goes on; a 421 in the
// middle of a transfer fails it and everything queued after it.
TEST_F(FtpClientTest, PassiveReplyWithoutNumbersAnd421MidTransfer) {
  test::TestHome home;
  home.Write("f.bin", BinaryBytes(5000));
  ScriptedServer server(
      [&](int fd, int index) {
        std::vector<std::pair<std::string, std::string>> script = {
            {"USER", "331 ok\r\n"}, {"PASS", "230 in\r\n"}, {"TYPE I", "200 ok\r\n"}};
        if (index == 0)
          script.insert(script.end(),
                        {{"PASV", "227 Entering Passive Mode\r\n"}, {"QUIT", "221 bye\r\n"}});
        if (index == 1)
          script.insert(script.end(),
                        {{"PORT", "200 ok\r\n"}, {"STOR", "421 Service closing\r\n"}});
        Converse(fd, script, index == 0 ? &server : nullptr);
      },
      2);
  FtpConnection* c = Connect(server.port());
  c->passive = true;
  ASSERT_TRUE(FtpStore(c, (home / "f.bin").string(), "f.bin", true, Recorder("pasv"), 0));
  ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 1; }, 5000));
  EXPECT_TRUE(Has(FtpErrorCode(kFtpErrorRefused), "227 Entering Passive Mode"));
  FtpQuit(c);
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(server.records().back(), "QUIT\r\n");

  c = Connect(server.port());
  ASSERT_TRUE(FtpStore(c, (home / "f.bin").string(), "f.bin", true, Recorder("stor"), 0));
  ASSERT_TRUE(FtpMakeDir(c, "after", Recorder("mkd")));
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(logins, (std::vector<int>{1, 1}));
  EXPECT_EQ(results, (std::vector<std::string>{"pasv=0 ", "stor=0 ", "mkd=0 "}));
}

TEST_F(FtpClientTest, FirewallLoginFormAndRefusedConnect) {
  ScriptedServer firewall([&](int fd, int) {
    Converse(fd, {{"USER", "530 no\r\n"}, {"USER", "530 no\r\n"}}, &firewall);
  });
  FtpSetProxy(1, "127.0.0.1", firewall.port(), "", "");
  FtpConnect("merchant", "pw", "", "ftp.example.com", 0, nullptr);
  ASSERT_TRUE(WaitClosed());
  ASSERT_FALSE(firewall.records().empty());
  EXPECT_EQ(firewall.records()[0], "USER merchant@ftp.example.com:21\r\n");

  FtpSetProxy(0, "", 0, "", "");
  Connect(test::FreePort());
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(logins, (std::vector<int>{0}));
  EXPECT_TRUE(Has(kFtpNoteSocketError));
  EXPECT_EQ(FtpConnect("a\r\nDELE x", "", "", "127.0.0.1", 21, nullptr), nullptr);
}

TEST_F(FtpClientTest, StoreThroughMicrosocks) {
  std::string microsocks = test::FindProgram("microsocks");
  ASSERT_FALSE(microsocks.empty()) << "microsocks is not installed (scripts/packages.txt)";
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0);
  int port = test::FreePort();
  test::PeerProcess socks(
      {microsocks, "-i", "127.0.0.1", "-p", std::to_string(port), "-u", "s", "-P", "pw"});
  ASSERT_TRUE(test::WaitForPort(port));
  std::string bytes = BinaryBytes(70000);
  home.Write("s.bin", bytes);
  FtpSetProxy(3, "127.0.0.1", port, "s", "pw");
  FtpConnection* c = Connect(server.port());
  c->passive = true;
  ASSERT_TRUE(FtpStore(c, (home / "s.bin").string(), "s.bin", true, Recorder("stor"), 0));
  ASSERT_TRUE(loop.RunUntil([&] { return results.size() == 1; }, 15000));
  EXPECT_EQ(results, (std::vector<std::string>{"stor=1 226"}));
  EXPECT_TRUE(home.Read("root/s.bin") == bytes);
  FtpQuit(c);
  ASSERT_TRUE(WaitClosed());
}

TEST_F(FtpClientTest, BinaryFloodWithoutLineEndsIsSurvived) {
  ScriptedServer flood([&](int fd, int) {
    std::string junk;
    for (int i = 0; i < 3 * 1024 * 1024; ++i)
      junk.push_back(static_cast<char>((i * 37) % 251 == 10 ? 0 : (i * 37) % 251));
    WriteAll(fd, junk);
    WriteAll(fd, "\r\n999-not a reply\r\n12\r\n");
  });
  Connect(flood.port());
  ASSERT_TRUE(WaitClosed(15000));
  EXPECT_EQ(logins, (std::vector<int>{0}));  // the server closed before any login reply
  for (const Note& n : notes) EXPECT_LE(n.text.size(), 1000u);
}

TEST_F(FtpClientTest, SilentServerTimesOutTheLogin) {
  ScriptedServer silent([&](int fd, int) { ReadUntil(fd, "never", 20000); });
  Connect(silent.port());
  ASSERT_TRUE(WaitClosed(20000));
  EXPECT_EQ(logins, (std::vector<int>{0}));
  EXPECT_TRUE(Has(kFtpNoteTimedOut));
}

}  // namespace
}  // namespace tolmi
