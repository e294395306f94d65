// Order-server replies: the body, its result code and the orders in it are read into an
// orders tree, which then saves and reads back the same.
#include <string>

#include "orders/OrdersFile.h"
#include "orders/ServerProtocol.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string_view reply = fuzz::AsText(data, size);
  std::string_view body = ReplyBody(reply);
  int code = ReplyResultCode(body);
  DownloadErrorMessage(code);
  DownloadErrorHeading(code);

  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  int nextOrderNumber = 1000;
  ReplyParse parse = ParseOrdersReply(body, tree, nextOrderNumber);
  fuzz::Require(parse.ordersReceived == static_cast<int>(parse.receivedIds.size()),
                "every order received has its id listed");

  std::string written = WriteOrdersText(tree.records, 1700000000, 2034361);
  OrdersReading reading = ReadOrdersText(written);
  std::string rewritten = WriteOrdersText(reading.records, 1700000000, 2034361);
  fuzz::RequireSameText(written, rewritten, "received orders save and read back the same");

  std::vector<OrderItem> items;
  ParseProductList(body, items);
  return 0;
}
