#include "PostgresCluster.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace tolmi::test {

namespace {

namespace fs = std::filesystem;

// The newest installed server programs, "" when none.
fs::path ServerBin() {
  fs::path best;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    fs::path bin = entry.path() / "bin";
    if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl") && bin > best) best = bin;
  }
  return best;
}

unsigned short FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  unsigned short port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

class Cluster : public ::testing::Environment {
 public:
  // Starts the cluster once. Sets `missing` when PostgreSQL is not installed, returns the
  // reason when it is but the cluster does not start, "" when it runs.
  std::string Start(std::string& missing) {
    if (!tried_) {
      tried_ = true;
      error_ = StartOnce();
    }
    missing = missing_;
    return error_;
  }

  std::string NewDatabase(std::string& missing, std::string& error) {
    error = Start(missing);
    if (!missing.empty() || !error.empty()) return "";
    std::string name = "t" + std::to_string(++databases_);
    std::string base = "postgresql://tolmi@127.0.0.1:" + std::to_string(port_) + "/";
    PGconn* c = PQconnectdb((base + "postgres").c_str());
    std::string sql = "CREATE DATABASE " + name;
    PGresult* r = PQexec(c, sql.c_str());
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) error = std::string("cannot create a database: ") + PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
    return ok ? base + name : "";
  }

  // Closing the pipe lets the watcher stop the cluster and remove its folder.
  void TearDown() override {
    if (watcherInput_ >= 0) close(watcherInput_);
    watcherInput_ = -1;
    if (watcher_ > 0) waitpid(watcher_, nullptr, 0);
    watcher_ = -1;
  }

 private:
  std::string StartOnce() {
    fs::path bin = ServerBin();
    if (bin.empty()) {
      missing_ = "PostgreSQL is not installed (no initdb and pg_ctl under "
                 "/usr/lib/postgresql/*/bin; the package is postgresql)";
      return "";
    }
    char pattern[] = "/tmp/tolmi-pg-XXXXXX";
    if (!mkdtemp(pattern)) return "no temporary folder for the cluster";
    dir_ = pattern;
    std::string prefix;
    if (geteuid() == 0) {
      // initdb refuses root: the cluster runs as the system's postgres user.
      passwd* pg = getpwnam("postgres");
      if (!pg) return "running as root, and there is no 'postgres' user to run the cluster";
      if (chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0)
        return "cannot hand the cluster folder to the postgres user";
      prefix = "/usr/sbin/runuser -u postgres -- ";
    }
    std::string data = dir_ + "/data";
    pgCtl_ = prefix + (bin / "pg_ctl").string() + " -D " + data;
    if (std::string e = StartWatcher(); !e.empty()) return e;
    std::string init = prefix + (bin / "initdb").string() + " -D " + data +
                       " -U tolmi -A trust --no-locale -E UTF8 --no-sync >" + dir_ +
                       "/initdb.log 2>&1";
    if (std::system(init.c_str()) != 0) return "initdb failed: " + Read("initdb.log");
    // Another program may take the free port before the cluster does: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
      port_ = FreePort();
      std::string start = pgCtl_ + " -w -l " + dir_ + "/server.log -o '-p " +
                          std::to_string(port_) + " -k " + dir_ +
                          " -c listen_addresses=127.0.0.1 -c fsync=off' start >/dev/null 2>&1";
      if (std::system(start.c_str()) == 0) return "";
    }
    return "the cluster did not start: " + Read("server.log");
  }

  // A shell in its own session that waits for this program's end (the pipe's end of file,
  // also after a kill), then stops the cluster and removes its folder.
  std::string StartWatcher() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return "no pipe for the cluster's watcher";
    std::string script = "cat >/dev/null; " + pgCtl_ + " -m immediate stop >/dev/null 2>&1; rm -rf '" +
                         dir_ + "'";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    int rc = posix_spawn(&watcher_, "/bin/sh", &actions, &attr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);
    if (rc != 0) {
      close(fds[1]);
      watcher_ = -1;
      return "cannot start the cluster's watcher";
    }
    watcherInput_ = fds[1];
    return "";
  }

  std::string Read(const std::string& name) const {
    FILE* f = std::fopen((dir_ + "/" + name).c_str(), "r");
    std::string text;
    char buf[4096];
    for (size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    if (f) std::fclose(f);
    return text;
  }

  bool tried_ = false;
  std::string missing_, error_, dir_, pgCtl_;
  unsigned short port_ = 0;
  int databases_ = 0;
  pid_t watcher_ = -1;
  int watcherInput_ = -1;
};

// gtest owns and tears down the environment after the last test.
Cluster* const cluster =
    static_cast<Cluster*>(::testing::AddGlobalTestEnvironment(new Cluster));

}  // namespace

std::string NewPostgresDatabase() {
  std::string missing, error;
  std::string uri = cluster->NewDatabase(missing, error);
  // Inside lambdas: the skip and the failure return from them, and mark the calling test.
  if (!missing.empty()) {
    [&] { GTEST_SKIP() << missing; }();
  } else if (uri.empty()) {
    [&] { FAIL() << "PostgreSQL is installed, but " << error; }();
  }
  return uri;
}

}  // namespace tolmi::test
