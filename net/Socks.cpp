#include "net/Socks.h"

namespace tolmi {
namespace {

void PutAddressPort(std::string& s, std::uint32_t address, std::uint16_t port, bool portFirst) {
  char a[4] = {static_cast<char>(address >> 24), static_cast<char>(address >> 16),
               static_cast<char>(address >> 8), static_cast<char>(address)};
  char p[2] = {static_cast<char>(port >> 8), static_cast<char>(port)};
  if (portFirst) s.append(p, 2);
  s.append(a, 4);
  if (!portFirst) s.append(p, 2);
}

}  // namespace

std::string Socks4ConnectRequest(std::uint32_t address, std::uint16_t port,
                                 const std::string& userId) {
  std::string s("\x04\x01", 2);
  PutAddressPort(s, address, port, true);
  s += userId.substr(0, userId.find('\0'));
  s.push_back('\0');
  return s;
}

std::string Socks5Greeting(bool withUser) {
  return withUser ? std::string("\x05\x01\x02", 3) : std::string("\x05\x01\x00", 3);
}

std::string Socks5UserPassword(const std::string& user, const std::string& password) {
  std::string u = user.substr(0, 255), p = password.substr(0, 255);
  std::string s(1, '\x01');
  s.push_back(static_cast<char>(u.size()));
  s += u;
  s.push_back(static_cast<char>(p.size()));
  s += p;
  return s;
}

std::string Socks5ConnectRequest(std::uint32_t address, std::uint16_t port) {
  std::string s("\x05\x01\x00\x01", 4);
  PutAddressPort(s, address, port, false);
  return s;
}

SocksNegotiator::SocksNegotiator(int type, std::string user, std::string password,
                                 std::string userId)
    : type_(type),
      user_(std::move(user)),
      password_(std::move(password)),
      userId_(std::move(userId)) {}

SocksNegotiator::Step SocksNegotiator::Start(std::string& out) {
  if (type_ == 2) {
    phase_ = Phase::Target;
    return step_ = Step::NeedTarget;
  }
  out += Socks5Greeting(!user_.empty());
  phase_ = Phase::Greeting;
  return step_ = Step::Wait;
}

std::string SocksNegotiator::TargetRequest(std::uint32_t address, std::uint16_t port) {
  phase_ = Phase::Connect;
  step_ = Step::Wait;
  return type_ == 2 ? Socks4ConnectRequest(address, port, userId_)
                    : Socks5ConnectRequest(address, port);
}

SocksNegotiator::Step SocksNegotiator::Feed(std::string& in, std::string& out) {
  auto fail = [&](const char* why) {
    failure_ = why;
    phase_ = Phase::Finished;
    return step_ = Step::Failed;
  };
  while (step_ == Step::Wait) {
    if (phase_ == Phase::Greeting) {
      if (in.size() < 2) return step_;
      unsigned char method = static_cast<unsigned char>(in[1]);
      bool version = in[0] == '\x05';
      in.erase(0, 2);
      if (!version) return fail("SOCKS5 proxy answered with another version");
      if (method == 0x02 && !user_.empty()) {
        out += Socks5UserPassword(user_, password_);
        phase_ = Phase::Auth;
      } else if (method == 0x00) {
        phase_ = Phase::Target;
        return step_ = Step::NeedTarget;
      } else {
        return fail("SOCKS5 proxy accepts no offered authentication");
      }
    } else if (phase_ == Phase::Auth) {
      if (in.size() < 2) return step_;
      bool ok = in[1] == '\0';
      in.erase(0, 2);
      if (!ok) return fail("SOCKS5 proxy refused the user name or password");
      phase_ = Phase::Target;
      return step_ = Step::NeedTarget;
    } else if (phase_ == Phase::Connect) {
      if (type_ == 2) {
        if (in.size() < 8) return step_;
        bool granted = in[1] == '\x5a';
        in.erase(0, 8);
        if (!granted) return fail("SOCKS4 proxy refused the connection");
      } else {
        if (in.size() < 5) return step_;
        std::size_t need = 10;
        if (in[3] == '\x04') need = 22;
        if (in[3] == '\x03') need = 7 + static_cast<unsigned char>(in[4]);
        if (in.size() < need) return step_;
        bool granted = in[1] == '\0';
        in.erase(0, need);
        if (!granted) return fail("SOCKS5 proxy refused the connection");
      }
      phase_ = Phase::Finished;
      return step_ = Step::Done;
    } else {
      return step_;
    }
  }
  return step_;
}

}  // namespace tolmi
