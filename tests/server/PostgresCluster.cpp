#include "PostgresCluster.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

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
  // Starts the cluster once; "" and the reason when it cannot.
  std::string Start() {
    if (tried_) return why_;
    tried_ = true;
    fs::path bin = ServerBin();
    if (bin.empty())
      return why_ = "PostgreSQL is not installed (no initdb and pg_ctl under "
                    "/usr/lib/postgresql/*/bin; the package is postgresql)";
    std::string prefix;
    char pattern[] = "/tmp/tolmi-pg-XXXXXX";
    if (!mkdtemp(pattern)) return why_ = "no temporary folder for the cluster";
    dir_ = pattern;
    if (geteuid() == 0) {
      // initdb refuses root: the cluster runs as the system's postgres user.
      passwd* pg = getpwnam("postgres");
      if (!pg || access("/usr/sbin/runuser", X_OK) != 0)
        return why_ = "running as root without a 'postgres' user and runuser to start the "
                      "cluster unprivileged";
      if (chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0)
        return why_ = "cannot hand the cluster folder to the postgres user";
      prefix = "/usr/sbin/runuser -u postgres -- ";
    }
    port_ = FreePort();
    std::string data = dir_ + "/data";
    std::string init = prefix + (bin / "initdb").string() + " -D " + data +
                       " -U tolmi -A trust --no-locale -E UTF8 --no-sync >" + dir_ +
                       "/initdb.log 2>&1";
    if (std::system(init.c_str()) != 0) return why_ = "initdb failed (see " + dir_ + "/initdb.log)";
    pgCtl_ = prefix + (bin / "pg_ctl").string() + " -D " + data;
    std::string start = pgCtl_ + " -w -l " + dir_ + "/server.log -o '-p " +
                        std::to_string(port_) + " -k " + dir_ +
                        " -c listen_addresses=127.0.0.1 -c fsync=off' start >/dev/null 2>&1";
    if (std::system(start.c_str()) != 0)
      return why_ = "the cluster did not start (see " + dir_ + "/server.log)";
    started_ = true;
    return why_;
  }

  std::string NewDatabase(std::string& why) {
    why = Start();
    if (!why.empty()) return "";
    std::string name = "t" + std::to_string(++databases_);
    std::string base = "postgresql://tolmi@127.0.0.1:" + std::to_string(port_) + "/";
    PGconn* c = PQconnectdb((base + "postgres").c_str());
    std::string sql = "CREATE DATABASE " + name;
    PGresult* r = PQexec(c, sql.c_str());
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) why = std::string("cannot create a database: ") + PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
    return ok ? base + name : "";
  }

  void TearDown() override {
    if (started_) {
      std::string stop = pgCtl_ + " -m immediate stop >/dev/null 2>&1";
      (void)std::system(stop.c_str());
      started_ = false;
    }
    if (!dir_.empty()) {
      std::error_code ec;
      fs::remove_all(dir_, ec);
      dir_.clear();
    }
  }

 private:
  bool tried_ = false, started_ = false;
  std::string why_, dir_, pgCtl_;
  unsigned short port_ = 0;
  int databases_ = 0;
};

// gtest owns and tears down the environment after the last test.
Cluster* const cluster =
    static_cast<Cluster*>(::testing::AddGlobalTestEnvironment(new Cluster));

}  // namespace

std::string NewPostgresDatabase(std::string& why) {
  return cluster->NewDatabase(why);
}

}  // namespace tolmi::test
