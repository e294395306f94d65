// The order server: one thread runs the network loop (Boost.Beast over Asio) and the data
// file; password checks run on a small worker pool and post their answer back to the loop.
// Lifecycle: construct, Start (binds), Run (until Stop or a signal), destroy.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "server/CardVault.h"
#include "server/OrderStore.h"
#include "server/ServerConfig.h"
#include "util/Result.h"

namespace tolmi::server {

class OrderServer {
 public:
  // The store must outlive the server. Card fields of new orders are sealed with the key and
  // opened again only for the download reply.
  OrderServer(ServerConfig config, OrderStore& store, CardKey cardKey);
  ~OrderServer();
  OrderServer(const OrderServer&) = delete;
  OrderServer& operator=(const OrderServer&) = delete;

  // Binds and listens. Fails with InvalidArgument for an unusable address, Io when the port
  // cannot be bound.
  Status Start();
  // The bound port (the real one when 0 was asked for).
  unsigned short Port() const;
  // Serves until Stop is called or SIGINT/SIGTERM arrives.
  void Run();
  // Asks Run to return; safe from any thread.
  void Stop();

  struct Impl;  // the loop, the sessions and the request handlers

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tolmi::server
