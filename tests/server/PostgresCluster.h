// A throw-away PostgreSQL cluster for the store tests: made with Debian's initdb in a
// temporary folder, listening on a free loopback port, stopped and removed when the test
// program ends, even when it is killed. When running as root (as CI does) the cluster runs
// as the unprivileged "postgres" user that Debian's postgresql package creates.
#pragma once

#include <string>

namespace tolmi::test {

// The stores the server tests run against.
inline constexpr const char* kSqlite = "sqlite";
inline constexpr const char* kPostgres = "postgres";

// A "postgresql://" URI of a new, empty database in the cluster (started on first use).
// Where PostgreSQL is not installed it skips the calling test, naming the package; when it
// is installed but the cluster cannot start it fails the test, naming the log. "" then; call
// it from SetUp or return from the test at "".
std::string NewPostgresDatabase();

}  // namespace tolmi::test
