// The user-defined order fields of the "Custom Order fields setup" dialog: (title,
// default value) pairs kept in "config.ini" as "FIELD=title,default" lines and shown in
// the orders window's details pane of every order that lacks them.
#pragma once

#include <string>
#include <vector>

#include "app/Config.h"
#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kCustomFieldsTitle = "Custom Order fields setup";
inline constexpr const char* kInvalidFieldTitle = "Invalid Field";
inline constexpr const char* kFieldExistsMessage =
    "A data field with the same name already exists.";
// A title that could not be read back from "config.ini" or commit as an order field.
inline constexpr const char* kFieldTitleCharsMessage =
    "A field title may not contain ',' or '=' or line breaks.";

// Add: appends (title, defaultValue), the title trimmed of spaces, unless a user-defined
// field or a field of selectedOrder (null: none) already has that exact name (error
// InvalidArgument with kFieldExistsMessage), or the title holds ',', '=' or a control
// character, or the default value a line break (InvalidArgument, kFieldTitleCharsMessage).
// An empty title adds nothing and fails with InvalidArgument and an empty message.
Status AddCustomOrderField(std::vector<CustomOrderField>& fields, const OrderRecord* selectedOrder,
                           std::string title, const std::string& defaultValue);

}  // namespace tolmi
