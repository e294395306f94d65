#include "payments/Charge.h"

#include <cmath>
#include <cstdio>

#include "payments/CardData.h"
#include "util/Dates.h"
#include "util/Html.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace tolmi {
namespace {

const char* const kBlanks = " \t\r\n";

// The order field named name ignoring case, or null.
const OrderField* FindFieldNoCase(const OrderRecord& order, std::string_view name) {
  for (const OrderField& f : order.fields)
    if (EqualsNoCase(f.name, name)) return &f;
  return nullptr;
}

std::string FieldValueNoCase(const OrderRecord& order, std::string_view name) {
  const OrderField* f = FindFieldNoCase(order, name);
  return f ? f->value : std::string();
}

// Replaces the field of that name (ignoring case) or appends it.
void StoreField(OrderRecord& order, std::string_view name, const std::string& value) {
  for (OrderField& f : order.fields) {
    if (EqualsNoCase(f.name, name)) {
      f.value = value;
      return;
    }
  }
  order.fields.push_back({std::string(name), value});
}

std::string Encoded(std::string value) {
  UrlEncode(value);
  return value;
}

// The order total in cents, saturated far below the 64-bit limits so that the kind-1
// arithmetic cannot overflow.
long long TotalCents(Cents total) {
  constexpr Cents kLimit = 1'000'000'000'000'000;
  return total > kLimit ? kLimit : total < -kLimit ? -kLimit : total;
}

// The body of a reply: the text after the first empty line, or all of it when there is none.
std::string_view ReplyBodyOrAll(std::string_view reply) {
  std::size_t gap = reply.find("\r\n\r\n");
  return gap == std::string_view::npos ? reply : reply.substr(gap + 4);
}

std::string TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

// The order-level placeholders, every inserted value form-encoded. Each customer value is
// encoded before later steps run, so a value can never carry a placeholder of its own.
void FillOrderPlaceholders(std::string& text, const OrderRecord& order,
                           const ChargeContext& context) {
  for (const OrderField& f : order.fields) {
    if (f.name.empty()) continue;  // "%%" is no placeholder
    const std::string value = Encoded(f.value);
    ReplaceAllNoCase(text, "%" + f.name + "%", value);
    if (EqualsNoCase(f.name, "Zip")) ReplaceAllNoCase(text, "%POSTCODE%", value);
  }
  for (int i = 0; i < 5; ++i)
    ReplaceAll(text, "$FIELD" + std::to_string(i + 1), Encoded(context.account[i]));

  const std::string total = FormatCents(order.totalCents);
  if (text.find("$DCC") != std::string::npos) {
    std::string cents = total;
    std::size_t dot = cents.find('.');
    if (dot != std::string::npos) cents.erase(dot, 1);
    ReplaceAll(text, "$DCC", cents);
  }
  ReplaceAll(text, "$TOTAL", total);

  std::string orderId = order.orderId;
  std::size_t dash = orderId.find('-');
  if (dash != std::string::npos) orderId[dash] = '0';
  ReplaceAll(text, "%ORDERID%", Encoded(orderId));
  ReplaceAll(text, "%INVOICENUMBER%", Encoded(order.name));
  ReplaceAll(text, "%ORDERDATE%", Encoded(FormatDateLocale(order.orderDate, context.dateOrder)));
  const std::string today = Encoded(FormatDateLocale(context.now, context.dateOrder));
  ReplaceAll(text, "%DATE%", today);
  ReplaceAll(text, "$COMPANY", Encoded(context.company));

  if (text.find("$Y") != std::string::npos) {
    const OrderField* year = FindFieldNoCase(order, kFieldExpiryYear);
    std::string shortYear = year && year->value.size() > 2 ? year->value.substr(2) : "";
    ReplaceAll(text, "$YY", Encoded(shortYear));
    ReplaceAll(text, "$YEAR", Encoded(year ? year->value : std::string()));
  }
  if (text.find("$MM") != std::string::npos) {
    const OrderField* month = FindFieldNoCase(order, kFieldExpiryMonth);
    char two[16];
    std::snprintf(two, sizeof two, "%02i", month ? ParseInt32(month->value) : 0);
    ReplaceAll(text, "$MM2", two);
    std::string plain = month ? month->value : std::string();
    if (!plain.empty() && plain[0] == '0') plain.erase(0, 1);
    ReplaceAll(text, "$MM", Encoded(plain));
  }
  ReplaceAll(text, "$DATE", today);
}

// Every run of two or more spaces becomes one space.
std::string SingleSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (!(c == ' ' && !out.empty() && out.back() == ' ')) out += c;
  return out;
}

ChargeOutcome Judged(bool approved, std::string replyText) {
  ChargeOutcome o;
  o.verdict = approved ? ChargeVerdict::Approved : ChargeVerdict::Rejected;
  o.replyText = std::move(replyText);
  return o;
}

ChargeOutcome JudgeCodedReply(const GatewayDefinition& gateway, std::string_view reply,
                              const OrderRecord& order, const ChargeContext& context) {
  const std::string plain = RemoveReplyTags(reply);
  std::size_t amp = plain.find('&');
  if (amp == std::string::npos) {
    std::size_t gap = plain.find("\r\n\r\n");
    return Judged(false,
                  gap == std::string::npos ? std::string() : TrimBlanks(plain.substr(gap + 4)));
  }
  const long long r = ParseInt32(std::string_view(plain).substr(amp + 1));
  const long long a = -TotalCents(order.totalCents);
  const long long n = ParseInt32(order.name);
  const long long m = ParseInt32(context.account[0]);
  const long long code = r + a - n * m;  // each term is far inside 64 bits
  char text[32];
  std::snprintf(text, sizeof text, "%02lld", code);
  for (const GatewayReplyCode& entry : gateway.replyMap) {
    if (entry.code == text) {
      ChargeOutcome o = Judged(entry.flag != 0, entry.message);
      o.code = text;
      return o;
    }
  }
  ChargeOutcome o = Judged(false, std::string(kUnknownReturnCode) + " " + std::to_string(code));
  o.code = text;
  return o;
}

}  // namespace

bool GatewaySetupComplete(const GatewayDefinition* gateway, const GatewayAccountValues& account) {
  if (gateway == nullptr) return false;
  for (std::size_t i = 0; i < account.size(); ++i)
    if (!gateway->fieldLabels[i].empty() && account[i].empty()) return false;
  return true;
}

ChargeInput ChargeInputFromOrder(const OrderRecord* order) {
  ChargeInput in;
  if (order == nullptr) {
    in.amount = "0.00";
    return in;
  }
  in.amount = FormatCents(order->totalCents);
  in.cardNumber = FieldValueNoCase(*order, kFieldCardNumber);
  in.cardHolder = FieldValueNoCase(*order, kFieldCardHolder);
  in.cardType = FieldValueNoCase(*order, kFieldCardType);
  in.expiryMonth = FieldValueNoCase(*order, kFieldExpiryMonth);
  in.expiryYear = FieldValueNoCase(*order, kFieldExpiryYear);
  return in;
}

Status ApplyChargeInput(OrderRecord& order, const ChargeInput& input) {
  auto refuse = [](std::string_view message) {
    return Status::Error(ErrorKind::InvalidArgument, std::string(message));
  };
  // Whole cents from the moment it is read: an amount that rounds to no cent is no amount.
  const Cents amount = ParseAmount(input.amount);
  if (input.amount.empty() || !(amount > 0)) return refuse(kAmountMessage);
  StoreField(order, kFieldAmount, input.amount);
  order.totalCents = amount;

  if (input.cardNumber.empty()) return refuse(kCardNumberMessage);
  StoreField(order, kFieldCardNumber, input.cardNumber);
  if (input.cardHolder.empty()) return refuse(kCardHolderMessage);
  StoreField(order, kFieldCardHolder, input.cardHolder);
  if (input.cardType.empty()) return refuse(kCardTypeMessage);
  StoreField(order, kFieldCardType, input.cardType);
  if (input.expiryMonth.empty() || ParseInt32(input.expiryMonth) == 0 || input.expiryYear.empty() ||
      ParseInt32(input.expiryYear) == 0)
    return refuse(kExpiryMessage);
  StoreField(order, kFieldExpiryMonth, input.expiryMonth);
  StoreField(order, kFieldExpiryYear, input.expiryYear);
  return Status::Ok();
}

Result<ChargeRequest> BuildChargeRequest(const GatewayDefinition& gateway, const OrderRecord& order,
                                         const ChargeContext& context) {
  if (gateway.request.empty())
    return Status::Error(ErrorKind::InvalidArgument,
                         "The payment gateway '" + gateway.name + "' has no request (REQ=).");
  ChargeRequest req;
  req.request = gateway.request;
  req.post = req.request.find("/POST ") != std::string::npos;
  FillOrderPlaceholders(req.request, order, context);

  req.url = req.request;
  if (req.post) {
    std::size_t marker = req.url.find("/POST ");
    if (marker != std::string::npos) req.url.erase(marker, 6);
    std::size_t http = req.url.find("$HTTP");
    if (http != std::string::npos) {
      req.body = req.url.substr(http + 5);
      req.url.erase(http);
    }
    while (!req.url.empty() && req.url.back() == ' ') req.url.pop_back();
  }

  if (!gateway.referer.empty()) req.headers += "Referer: " + gateway.referer + "\r\n";
  req.headers +=
      std::string("User-Agent: ") + kProductName + " v" + std::to_string(VersionNumber()) + "\r\n";
  req.headers += "Pragma: no-cache\r\n";
  return req;
}

std::string_view ChargeOutcome::StatusText() const {
  switch (verdict) {
    case ChargeVerdict::Approved:
      return "Approved";
    case ChargeVerdict::Rejected:
      return "Rejected";
    case ChargeVerdict::NoReply:
      break;
  }
  return "Error";
}

ChargeOutcome NoReplyOutcome() {
  ChargeOutcome o;
  o.verdict = ChargeVerdict::NoReply;
  o.replyText = std::string(kNoReplyText);
  return o;
}

std::string RemoveReplyTags(std::string_view text) {
  std::string plain(text);
  HtmlToPlainText(plain);
  return plain;
}

ChargeOutcome JudgeChargeReply(const GatewayDefinition& gateway, std::string_view reply,
                               const OrderRecord& order, const ChargeContext& context) {
  if (reply.empty()) return NoReplyOutcome();
  switch (gateway.replyKind) {
    case 1:
      return JudgeCodedReply(gateway, reply, order, context);
    case 2: {
      std::string_view body = ReplyBodyOrAll(reply);
      std::size_t start = body.find_first_not_of(kBlanks);
      body = start == std::string_view::npos ? std::string_view() : body.substr(start);
      return Judged(ParseInt32(body) == 1, std::string(reply));
    }
    case 4: {
      // Judged on the body: a header line never decides a charge.
      std::string_view body = ReplyBodyOrAll(reply);
      bool approved = FindNoCase(body, "Approved") != kNotFound ||
                      FindNoCase(body, "<ewayTrxnStatus>True") != kNotFound;
      const std::string_view label = "Transaction Status:";
      std::size_t at = FindNoCase(reply, label);
      if (at == kNotFound) return Judged(approved, std::string(reply));
      std::string shown = RemoveReplyTags(reply.substr(at + label.size()));
      std::size_t start = shown.find_first_not_of(kBlanks);
      shown = start == std::string::npos ? std::string() : shown.substr(start);
      return Judged(approved, SingleSpaces(shown));
    }
    case 5: {
      std::size_t html = FindNoCase(reply, "<HTML>");
      if (html == kNotFound) return Judged(false, std::string());
      std::string_view page = reply.substr(html);
      return Judged(FindNoCase(page, "NO THANKS") == kNotFound, RemoveReplyTags(page));
    }
    case 6:
      // The status line "HTTP/1.0 200 OK" would approve every reply, so only the body counts.
      return Judged(ReplyBodyOrAll(reply).find("OK") != std::string_view::npos, std::string(reply));
    default:
      return Judged(false, RemoveReplyTags(reply));
  }
}

void ApplyChargeOutcome(OrderRecord& order, const ChargeOutcome& outcome, std::int32_t now) {
  switch (outcome.verdict) {
    case ChargeVerdict::Approved:
      order.status = kStatusCharged;
      order.chargeDate = now;
      // Charged: the card number is needed no longer (payments/CardData.h).
      ForgetCardData(order);
      break;
    case ChargeVerdict::Rejected:
      order.status = kStatusRejected;
      break;
    case ChargeVerdict::NoReply:
      break;
  }
}

}  // namespace tolmi
