// Result values: how core operations report success or a failure of a named kind.
// Returned by value and checked explicitly; no exceptions cross module interfaces.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tolmi {

enum class ErrorKind {
  None,
  NotFound,         // a file, node, order or key that does not exist
  Corrupt,          // input that cannot be read as what it claims to be
  Io,               // the operating system refused a read or write
  InvalidArgument,  // the caller passed something unusable
  Network,          // a peer did not answer or answered wrongly
  Cancelled,        // the user or caller stopped the operation
};

// Success, or a failure kind with the message the user should see.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return {}; }
  static Status Error(ErrorKind kind, std::string message) {
    Status s;
    s.kind_ = kind;
    s.message_ = std::move(message);
    return s;
  }
  bool ok() const { return kind_ == ErrorKind::None; }
  explicit operator bool() const { return ok(); }
  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }

 private:
  ErrorKind kind_ = ErrorKind::None;
  std::string message_;
};

// A value on success, else the Status that says why not.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Status status) : status_(std::move(status)) {}
  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace tolmi
