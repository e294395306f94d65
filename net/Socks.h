// SOCKS4 and SOCKS5 negotiation as the HTTP and FTP engines speak it: the
// exact byte sequences, and a small state machine fed with the proxy's replies.
#pragma once

#include <cstdint>
#include <string>

namespace tolmi {

// 04 01, port (network order), IPv4 address, user id, NUL. address is in host order.
std::string Socks4ConnectRequest(std::uint32_t address, std::uint16_t port,
                                 const std::string& userId);
// 05 01 02 when a user name is given (user name and password offered), else 05 01 00.
std::string Socks5Greeting(bool withUser);
// 01, user length, user, password length, password (each cut at 255 bytes).
std::string Socks5UserPassword(const std::string& user, const std::string& password);
// 05 01 00 01, IPv4 address, port (network order).
std::string Socks5ConnectRequest(std::uint32_t address, std::uint16_t port);

class SocksNegotiator {
 public:
  enum class Step { Wait, NeedTarget, Done, Failed };

  // type 2 = SOCKS4, 3 = SOCKS5.
  SocksNegotiator(int type, std::string user, std::string password, std::string userId);

  // The first step right after the proxy connection is up: SOCKS5 puts its
  // greeting into out and waits; SOCKS4 needs the target at once.
  Step Start(std::string& out);
  // The connect request for the looked-up target (address in host order).
  std::string TargetRequest(std::uint32_t address, std::uint16_t port);
  // Consumes the proxy's reply bytes from in (what follows the negotiation stays
  // there) and may put the next bytes to send into out.
  Step Feed(std::string& in, std::string& out);
  Step step() const { return step_; }
  const std::string& failure() const { return failure_; }

 private:
  enum class Phase { Greeting, Auth, Target, Connect, Finished };
  int type_;
  std::string user_, password_, userId_;
  Phase phase_ = Phase::Greeting;
  Step step_ = Step::Wait;
  std::string failure_;
};

}  // namespace tolmi
