// One order's amounts through the invoice, the export, the transaction log and the gateway
// request: the same cents everywhere, past the range where a 32-bit float keeps cents.
#include <gtest/gtest.h>

#include "orders/CsvExport.h"
#include "orders/Invoices.h"
#include "payments/Charge.h"
#include "payments/TransactionLog.h"

namespace tolmi {
namespace {

TEST(OneAmount, InvoiceExportLogAndGatewayCarryTheSameCents) {
  OrderRecord o;
  o.name = "1005";
  o.orderId = "9";
  AppendField(o, "Amount", "1234567.89");  // a float would make it 1234567.88
  AppendField(o, "Tax", "0.05");
  OrderItem urn;
  urn.name = "Urn";
  urn.quantity = 3;
  urn.unitCents = 41152263;
  o.items.push_back(urn);

  EXPECT_EQ(FillInvoice("<LOOP>%PRICE%|</LOOP>%SUBTOTAL%|%TOTAL%", "t", o, InvoiceSettings{}),
            "1234567.89|1234567.84|1234567.89");
  EXPECT_NE(ExportOrdersCsv({&o}, {}).find(",'Urn',,3,411522.63,0,"), std::string::npos);
  EXPECT_EQ(FormatTransactionLogLine(MakeTransactionLogEntry(o, 1, 7)), "7,1005,9,1,1234567.89\n");
  GatewayDefinition gateway;
  gateway.request = "http://127.0.0.1/g?a=$TOTAL&c=$DCC";
  Result<ChargeRequest> request = BuildChargeRequest(gateway, o, ChargeContext{});
  ASSERT_TRUE(request.ok());
  EXPECT_EQ(request->url, "http://127.0.0.1/g?a=1234567.89&c=123456789");
  EXPECT_EQ(ChargeInputFromOrder(&o).amount, "1234567.89");
}

}  // namespace
}  // namespace tolmi
