// A throw-away PostgreSQL cluster for the store tests: made with Debian's initdb in a
// temporary folder, listening on a free loopback port, stopped and removed when the test
// program ends. When running as root the cluster runs as the unprivileged "postgres" user.
#pragma once

#include <string>

namespace tolmi::test {

// The stores the server tests run against.
inline constexpr const char* kSqlite = "sqlite";
inline constexpr const char* kPostgres = "postgres";

// A "postgresql://" URI of a new, empty database in the cluster (started on first use). ""
// when PostgreSQL cannot run here; `why` then names what is missing.
std::string NewPostgresDatabase(std::string& why);

}  // namespace tolmi::test
