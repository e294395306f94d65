#include "server/ServerMain.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>

#include <filesystem>

#include "server/CardVault.h"
#include "server/OrderServer.h"
#include "server/OrderStore.h"
#include "server/Passwords.h"
#include "server/ServerConfig.h"
#include "server/StoreMigration.h"

namespace tolmi::server {

namespace {

struct Options {
  std::string listen;
  std::string data;
  std::string store;
  std::string config;
  std::string cardKey;
  std::string from;
  std::string to;
  bool force = false;
  std::string cost = "interactive";
  std::string userName;
  std::string password;
  bool passwordGiven = false;
};

bool UsableAccountName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (unsigned char c : name) {
    if (c < 32 || c == 127) return false;
  }
  return true;
}

int Fail(std::ostream& err, const std::string& message) {
  err << "tolmi-server: " << message << "\n";
  return 1;
}

// The password of --password, else the first line of the input.
std::optional<std::string> TakePassword(Options& o, std::istream& in) {
  if (o.passwordGiven) return o.password;
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int RunUserCommand(const std::string& command, Options& o, std::istream& in, std::ostream& out,
                   std::ostream& err) {
  auto opened = OrderStore::Open(o.data);
  if (!opened) return Fail(err, opened.status().message());
  OrderStore& store = **opened;
  HashCost cost = o.cost == "min"        ? HashCost::Minimum
                  : o.cost == "moderate" ? HashCost::Moderate
                                         : HashCost::Interactive;
  if (command == "list") {
    auto accounts = store.ListAccounts();
    if (!accounts) return Fail(err, accounts.status().message());
    for (const auto& a : *accounts) {
      out << a.name << "\t" << (a.enabled ? "enabled" : "disabled") << "\t" << a.orderCount
          << (a.orderCount == 1 ? " order" : " orders") << "\n";
    }
    return 0;
  }
  if (!UsableAccountName(o.userName))
    return Fail(err, "An account name has 1 to 64 characters and no control characters.");
  if (command == "add" || command == "passwd") {
    auto password = TakePassword(o, in);
    if (!password || password->empty()) return Fail(err, "A password is required (--password).");
    auto hash = HashPassword(*password, cost);
    if (!hash) return Fail(err, hash.status().message());
    Status s = command == "add" ? store.AddAccount(o.userName, *hash)
                                : store.SetPasswordHash(o.userName, *hash);
    if (!s.ok()) return Fail(err, s.message());
    out << (command == "add" ? "Account '" + o.userName + "' added."
                             : "Password of '" + o.userName + "' changed.")
        << "\n";
    return 0;
  }
  bool enable = command == "enable";
  Status s = store.SetEnabled(o.userName, enable);
  if (!s.ok()) return Fail(err, s.message());
  out << "Account '" << o.userName << "' " << (enable ? "enabled." : "disabled.") << "\n";
  return 0;
}

// The card key file: as set, else "card.key" beside the config file, else beside a SQLite
// data file ("FILE.key"). A PostgreSQL store needs one of the first two.
std::string CardKeyPath(const ServerConfig& config, const std::string& configFile) {
  if (!config.cardKeyFile.empty()) return config.cardKeyFile;
  if (!configFile.empty())
    return (std::filesystem::path(configFile).parent_path() / "card.key").string();
  if (!OrderStore::IsPostgresUri(config.dataFile)) return config.dataFile + ".key";
  return "";
}

int Migrate(const Options& o, std::ostream& out, std::ostream& err) {
  if (o.from.empty() || o.to.empty()) return Fail(err, "Give --from and --to.");
  // Opening a SQLite path makes the file: a mistyped source would copy nothing "successfully".
  std::error_code ec;
  if (!OrderStore::IsPostgresUri(o.from) && !std::filesystem::is_regular_file(o.from, ec))
    return Fail(err, "No data file '" + o.from + "'.");
  auto from = OrderStore::Open(o.from);
  if (!from) return Fail(err, from.status().message());
  auto to = OrderStore::Open(o.to);
  if (!to) return Fail(err, to.status().message());
  auto counts = CopyStore(**from, **to, o.force);
  if (!counts) return Fail(err, counts.status().message());
  out << "Copied " << counts->accounts << (counts->accounts == 1 ? " account" : " accounts")
      << " and " << counts->orders << (counts->orders == 1 ? " order" : " orders") << ".\n";
  return 0;
}

int Serve(Options& o, std::ostream& out, std::ostream& err) {
  ServerConfig config;
  if (!o.config.empty()) {
    Status s = ReadConfigFile(o.config, config);
    if (!s.ok()) return Fail(err, s.message());
  }
  if (!o.listen.empty()) {
    Status s = ApplySetting(config, "listen", o.listen);
    if (!s.ok()) return Fail(err, s.message());
  }
  if (!o.data.empty()) config.dataFile = o.data;
  config.hashCost = o.cost;
  if (!o.store.empty()) config.storeDir = o.store;
  if (!o.cardKey.empty()) config.cardKeyFile = o.cardKey;
  if (config.dataFile.empty()) return Fail(err, "No data file given (--data FILE).");
  std::string keyPath = CardKeyPath(config, o.config);
  if (keyPath.empty())
    return Fail(err, "No card key file given (--card-key FILE, or a --config file beside it).");
  auto opened = OrderStore::Open(config.dataFile);
  if (!opened) return Fail(err, opened.status().message());
  if (std::string warning = (*opened)->DurabilityWarning(); !warning.empty())
    err << "tolmi-server: warning: " << warning << "\n";
  bool created = false;
  auto key = PrepareCardKey(**opened, keyPath, created);
  if (!key) return Fail(err, key.status().message());
  if (created) err << "tolmi-server: created the card key file '" << keyPath << "'\n";
  auto sealed = SealClearCardFields(**opened, *key);
  if (!sealed) return Fail(err, sealed.status().message());
  if (*sealed > 0)
    err << "tolmi-server: sealed the card fields of " << *sealed << " stored orders\n";
  OrderServer server(config, **opened, std::move(*key));
  Status s = server.Start();
  if (!s.ok()) return Fail(err, s.message());
  out << "listening on " << config.listenHost << ":" << server.Port() << std::endl;
  server.Run();
  return 0;
}

}  // namespace

int RunServerMain(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err) {
  CLI::App app{"tolmi-server: the order server that built stores send their orders to"};
  app.name("tolmi-server");
  Options o;
  app.add_option("--listen", o.listen, "Address and port to listen on (default 127.0.0.1:8080)");
  app.add_option("--data", o.data,
                 "The SQLite data file, or a postgresql:// URI, of accounts and orders");
  app.add_option("--card-key", o.cardKey,
                 "The card key file (default: card.key beside --config, else DATA.key)");
  app.add_option("--store", o.store, "A built store folder to serve and search");
  app.add_option("--config", o.config, "A file of key=value settings");
  app.add_option("--hash-cost", o.cost, "Password hashing work: interactive, moderate or min")
      ->check(CLI::IsMember({"interactive", "moderate", "min"}));

  CLI::App* user = app.add_subcommand("user", "Manage merchant accounts");
  user->require_subcommand(1);
  std::string command;
  auto named = [&](const std::string& name, const std::string& help, bool withPassword) {
    CLI::App* sub = user->add_subcommand(name, help);
    sub->add_option("NAME", o.userName, "Account name")->required();
    if (withPassword) {
      sub->add_option("--password", o.password, "The password (else read from standard input)");
    }
    sub->callback([&command, name] { command = name; });
    return sub;
  };
  named("add", "Add an account", true);
  named("passwd", "Change an account's password", true);
  named("disable", "Refuse orders and downloads for an account", false);
  named("enable", "Accept orders and downloads for an account again", false);
  user->add_subcommand("list", "List the accounts")->callback([&command] { command = "list"; });

  CLI::App* migrate =
      app.add_subcommand("migrate", "Copy accounts and orders from one store into another");
  migrate->add_option("--from", o.from, "The store to copy from (a SQLite file)")->required();
  migrate->add_option("--to", o.to, "The store to copy into (a postgresql:// URI)")->required();
  migrate->add_flag("--force", o.force, "Copy even into a store that holds orders");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? 0 : 2;
  }
  for (auto* sub : user->get_subcommands()) {
    if (auto* option = sub->get_option_no_throw("--password"); option && option->count() > 0)
      o.passwordGiven = true;
  }
  if (migrate->parsed()) return Migrate(o, out, err);
  if (user->parsed()) {
    if (o.data.empty()) return Fail(err, "No data file given (--data FILE).");
    return RunUserCommand(command, o, in, out, err);
  }
  return Serve(o, out, err);
}

}  // namespace tolmi::server
