// tolmi-cli killed (SIGKILL) in the middle of its saves, and two tolmi-cli runs on one
// home at the same time: every project, backup and order the merchant kept survives.
// The programs are the real binaries; kill delays are random, trial counts fixed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "orders/OrdersFile.h"
#include "project/Lifecycle.h"
#include "tests/cli/CliRunner.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

extern char** environ;

namespace tolmi::cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Starts tolmi-cli --home HOME ARGS with stdout and stderr to the files named.
pid_t SpawnCli(const test::TestHome& home, std::vector<std::string> args,
               const std::string& outFile = "/dev/null", const std::string& errFile = "/dev/null") {
  args.insert(args.begin(), {TOLMI_CLI_BIN, "--home", home.path().string()});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the command once to see how long it takes, then `trials` times killed after a
// random part of that time; `check` runs after each kill.
void KillRepeatedly(const test::TestHome& home, const std::vector<std::string>& args, int trials,
                    const std::function<void(int trial)>& check) {
  const auto start = Clock::now();
  ASSERT_EQ(WaitFor(SpawnCli(home, args)), 0);
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  std::mt19937 random(12345);
  std::uniform_int_distribution<long> delay(0, span.count());
  for (int trial = 0; trial < trials; ++trial) {
    pid_t pid = SpawnCli(home, args);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    WaitFor(pid);
    check(trial);
  }
}

std::vector<std::string> Leftovers(const fs::path& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.path().filename().string().find(".tmp-") != std::string::npos)
      found.push_back(e.path().string());
  return found;
}

constexpr int kProducts = 4000;

// A project whose save takes long enough to be killed in the middle.
std::string BigProject() {
  std::string text =
      "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\nNODE0=Tea\nSTATUS=0\n"
      "FILE=index.html\n#BRANCH\n";
  for (int i = 0; i < kProducts; ++i)
    text += "NODE1=Tea " + std::to_string(i) + "\nSTATUS=0\nFILE=t" + std::to_string(i) +
            ".htm\nBODY=" + std::string(400, 'b') + "\n";
  return text + "#EOB\nSTITLE=Tea Shop\nCURR=$\nNAVSTYLE=0\nCC=1:Visa\n";
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(KillDuringSave, ProjectSaveBackupRotationAndRestore) {
  test::TestHome home;
  home.Write("Projects/Big/Big.stp", BigProject());
  const std::string path = (home / "Projects/Big/Big.stp").string();
  auto whole = [&](const std::string& what) {
    const std::string bytes = home.Read("Projects/Big/Big.stp");
    const ProjectFileCheck check = CheckProjectBytes(bytes);
    EXPECT_TRUE(check.isProject && !check.cutShort) << what;
    EXPECT_EQ(Count(bytes, "\nNODE1="), static_cast<std::size_t>(kProducts)) << what;
    std::vector<BackupEntry> backups = ListBackups(path);
    EXPECT_LE(backups.size(), 10u) << what;
    for (const BackupEntry& b : backups) EXPECT_EQ(b.problem, "") << what << ": " << b.name;
  };
  KillRepeatedly(home, {"resave", "Big", "--yes"}, 12,
                 [&](int trial) { whole("resave, trial " + std::to_string(trial)); });
  KillRepeatedly(home, {"restore", "Big", "1", "--yes"}, 6,
                 [&](int trial) { whole("restore, trial " + std::to_string(trial)); });
  // The next open removes what the killed saves left.
  CliRun info = Cli(home, {"info", "Big"});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find("Products: 4000\n"), std::string::npos);
  EXPECT_EQ(Leftovers(home / "Projects"), std::vector<std::string>{});
}

TEST(KillDuringSave, OrdersSave) {
  test::TestHome home;
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  for (int i = 0; i < 30000; ++i) {
    OrderRecord o;
    o.name = std::to_string(1000 + i);
    AppendField(o, "Name", "Customer " + std::to_string(i));
    tree.records[0].children.push_back(std::move(o));
  }
  home.Write("orders.ost", WriteOrdersText(tree.records, 1, 1));
  KillRepeatedly(home, {"orders", "mark", "1000", "Dispatched"}, 12, [&](int trial) {
    OrdersTree back;
    OrdersLoad load = LoadOrders(home.path().string(), back);
    ASSERT_TRUE(load.status.ok()) << load.status.message();
    EXPECT_EQ(back.records[0].children.size(), 30000u) << "trial " << trial;
  });
  EXPECT_EQ(Leftovers(home.path()), std::vector<std::string>{});
}

constexpr const char* kPassword = "secret word";

// A home whose configuration points at a real tolmi-server holding `orders` new orders.
class SharedHome : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string data = (home / "server.db").string();
    ASSERT_EQ(test::RunUser(data, {"add", "shop", "--password", kPassword}), 0);
    ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
    home.Write("config.ini",
               "server=http://127.0.0.1:" + std::to_string(server.port()) + "/\no_un=shop\n");
  }
  std::set<std::string> Post(int count) {
    std::set<std::string> ids;
    for (int i = 0; i < count; ++i)
      ids.insert(
          test::PostForm(server.port(), "/",
                         "tolmi_user=shop&Name=Ann&Amount=12.50&tolmi_item=1%09Pen%09P1%0912.50")
              .Header("X-Tolmi-Order"));
    return ids;
  }
  pid_t Download() {
    static int runs = 0;
    return SpawnCli(home, {"orders", "download", "--password", kPassword, "--no-proxy"},
                    "/dev/null", (home / ("download" + std::to_string(++runs) + ".err")).string());
  }
  // Every order once by id, and no order number twice.
  void ExpectEachOnce(const std::set<std::string>& posted, std::size_t handMade) {
    OrdersTree tree;
    ASSERT_TRUE(LoadOrders(home.path().string(), tree).status.ok());
    std::map<std::string, int> byId;
    std::set<std::string> names;
    std::size_t orders = 0, withoutId = 0;
    ForEachRecord(tree.records, [&](const OrderRecord& r) {
      if (r.kind != RecordKind::Order) return;
      ++orders;
      names.insert(r.name);
      if (r.orderId.empty())
        ++withoutId;
      else
        ++byId[r.orderId];
    });
    EXPECT_EQ(names.size(), orders) << "an order number repeats";
    EXPECT_EQ(withoutId, handMade);
    EXPECT_EQ(byId.size(), posted.size());
    for (const std::string& id : posted) EXPECT_EQ(byId[id], 1) << "order id " << id;
  }

  test::TestHome home;
  test::ServerProcess server;
};

// A download while hand-made orders are saved beside it: each order is filed once.
TEST_F(SharedHome, DownloadBesideNewOrdersLosesNothing) {
  std::set<std::string> posted;
  std::size_t made = 0;
  for (int trial = 0; trial < 2; ++trial) {
    std::set<std::string> batch = Post(40);
    posted.insert(batch.begin(), batch.end());
    pid_t download = Download();
    for (int i = 0; i < 6; ++i) {
      const std::string err = (home / "new.err").string();
      if (WaitFor(SpawnCli(home, {"orders", "new"}, "/dev/null", err)) == 0)
        ++made;
      else
        ADD_FAILURE() << home.Read("new.err");
    }
    EXPECT_EQ(WaitFor(download), 0);
  }
  EXPECT_EQ(made, 12u);
  ExpectEachOnce(posted, made);
}

// Two downloads at once: each order is filed once.
TEST_F(SharedHome, TwoDownloadsAtOnceFileEachOrderOnce) {
  std::set<std::string> posted;
  for (int trial = 0; trial < 2; ++trial) {
    std::set<std::string> batch = Post(40);
    posted.insert(batch.begin(), batch.end());
    pid_t first = Download();
    pid_t second = Download();
    EXPECT_EQ(WaitFor(first), 0);
    EXPECT_EQ(WaitFor(second), 0);
  }
  ExpectEachOnce(posted, 0);
}

}  // namespace
}  // namespace tolmi::cli
