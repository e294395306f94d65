#include "app/CustomOrderFields.h"

#include <algorithm>

#include "util/Strings.h"

namespace tolmi {

Status AddCustomOrderField(std::vector<CustomOrderField>& fields, const OrderRecord* selectedOrder,
                           std::string title, const std::string& defaultValue) {
  StrTrimSpaces(title);
  if (title.empty()) return Status::Error(ErrorKind::InvalidArgument, "");
  const bool badTitle = std::any_of(title.begin(), title.end(), [](char c) {
    return c == ',' || c == '=' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
  if (badTitle || defaultValue.find_first_of("\r\n") != std::string::npos)
    return Status::Error(ErrorKind::InvalidArgument, kFieldTitleCharsMessage);
  const bool taken = std::any_of(fields.begin(), fields.end(),
                                 [&](const CustomOrderField& f) { return f.title == title; }) ||
                     (selectedOrder && FindField(*selectedOrder, title));
  if (taken) return Status::Error(ErrorKind::InvalidArgument, kFieldExistsMessage);
  fields.push_back({std::move(title), defaultValue});
  return Status::Ok();
}

}  // namespace tolmi
