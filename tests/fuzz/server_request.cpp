// Requests to the order server: the input's first line is the query string, the rest the
// body. The protocol query, forms, an order form and the search index are read; an order
// that is accepted stores and reads back unchanged, and the merchant's program reads it from
// the download reply as one order.
#include <string>
#include <vector>

#include "orders/ServerProtocol.h"
#include "server/FormData.h"
#include "server/OrderIntake.h"
#include "server/OrderProtocol.h"
#include "server/Search.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  using namespace tolmi::server;
  std::string_view input = fuzz::AsText(data, size);
  std::size_t nl = input.find('\n');
  std::string_view query = input.substr(0, nl);
  std::string_view body = nl == std::string_view::npos ? std::string_view() : input.substr(nl + 1);

  if (IsProtocolQuery(query)) ParseProtocolQuery(query);
  ParseForm(query);
  ReturnUrlOf(body);
  std::vector<IndexEntry> entries = ParseIndex(body);
  RenderSearchPage(body.substr(0, 512), SearchIndex(entries, query), query, "http://shop/");

  Result<IncomingOrder> order = ParseOrderForm(body);
  if (!order.ok()) return 0;
  for (const FormField& field : order->fields)
    fuzz::Require(field.value.find_first_of("\r\n") == std::string::npos &&
                      field.name.find_first_of("\r\n") == std::string::npos,
                  "an accepted field is one line");
  for (const std::vector<std::string>& item : order->items)
    fuzz::Require(item.size() == kItemFieldCount, "an item has every field");

  StoredOrder stored{7, 1700000000, EncodeFields(order->fields), EncodeItems(order->items), {}};
  std::vector<FormField> fields = DecodeFields(stored.fields);
  fuzz::Require(fields.size() == order->fields.size(), "stored fields read back");
  for (std::size_t i = 0; i < fields.size(); ++i)
    fuzz::Require(
        fields[i].name == order->fields[i].name && fields[i].value == order->fields[i].value,
        "stored fields read back unchanged", fields[i].name, order->fields[i].name);
  fuzz::Require(DecodeItems(stored.items) == order->items, "stored items read back unchanged");

  OrdersTree tree;
  int next = 1000;
  ReplyParse parse = ParseOrdersReply(ReplyBody(FormatDownloadReply({stored})), tree, next);
  fuzz::Require(parse.ordersReceived == 1 && parse.lastOrderId == "7",
                "the download reply carries the order");
  return 0;
}
