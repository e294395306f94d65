#include "util/DynString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "util/Strings.h"

namespace tolmi {

struct DynStringAccess {
  // Gives s a block of exactly the given capacity, keeping the text; false (s unchanged) when
  // the capacity is out of range, below the length, or memory is exhausted.
  static bool SetCapacity(DynString& s, long long capacity) {
    if (capacity < 0 || capacity > kDynStrMaxCapacity || capacity < s.length_) return false;
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(capacity) + 1]);
    if (!block) return false;
    if (s.data_) std::memcpy(block.get(), s.data_.get(), s.length_);
    block[s.length_] = '\0';
    block[capacity] = '\0';
    s.data_ = std::move(block);
    s.capacity_ = static_cast<std::int32_t>(capacity);
    return true;
  }

  // Grows a null s, or one whose capacity is below needed, to exactly growTo.
  static bool Ensure(DynString& s, long long needed, long long growTo) {
    if (s.data_ && s.capacity_ >= needed) return true;
    return SetCapacity(s, growTo);
  }

  // Requires capacity >= length.
  static void SetLength(DynString& s, std::size_t length) {
    s.length_ = static_cast<std::uint32_t>(length);
    s.data_[length] = '\0';
  }

  static char* Chars(DynString& s) { return s.data_.get(); }

  // True when p points into s's block, so that growing s would free the text behind p.
  static bool Aliases(const DynString& s, const char* p) {
    if (!s.data_ || p == nullptr) return false;
    const char* begin = s.data_.get();
    const char* end = begin + s.capacity_ + 1;
    return !std::less<const char*>()(p, begin) && std::less<const char*>()(p, end);
  }
};

namespace {

using Access = DynStringAccess;

// Length of text before the first ch, or before its end.
std::size_t LengthUntil(const char* text, char ch) {
  const char* stop = std::strchr(text, ch);
  return stop ? static_cast<std::size_t>(stop - text) : std::strlen(text);
}

// Assigns n bytes of text, growing a null or too small block to exactly n.
bool AssignBytes(DynString& s, const char* text, std::size_t n) {
  if (n > static_cast<std::size_t>(kDynStrMaxCapacity)) return false;
  if (Access::Aliases(s, text)) {
    const std::string copy(text, n);
    return AssignBytes(s, copy.data(), n);
  }
  const long long size = static_cast<long long>(n);
  if (s.IsNull() || s.Capacity() < size) {
    DynString grown = DynStrAlloc(static_cast<std::int32_t>(size));  // the old text is not kept
    if (grown.IsNull()) return false;
    s = std::move(grown);
  }
  std::memmove(Access::Chars(s), text, n);
  Access::SetLength(s, n);
  return true;
}

// Appends n bytes of text; a null s gets capacity nullCapacity, a too small block growTo.
bool AppendBytes(DynString& s, const char* text, std::size_t n, long long nullCapacity,
                 long long growTo) {
  const long long newLength = static_cast<long long>(s.Length()) + static_cast<long long>(n);
  if (newLength > kDynStrMaxCapacity) return false;
  if (Access::Aliases(s, text)) {
    const std::string copy(text, n);
    return AppendBytes(s, copy.data(), n, nullCapacity, growTo);
  }
  if (s.IsNull()) {
    if (!Access::SetCapacity(s, nullCapacity)) return false;
  } else if (!Access::Ensure(s, newLength, growTo)) {
    return false;
  }
  std::memcpy(Access::Chars(s) + s.Length(), text, n);
  Access::SetLength(s, static_cast<std::size_t>(newLength));
  return true;
}

enum class Which { First, FirstNoCase, Last };

std::size_t ReplaceOne(DynString& s, const char* old, const char* new_, Which which) {
  if (s.IsNull() || s.Length() == 0 || old == nullptr || *old == '\0') return kNotFound;
  // Keep copies: old and new_ may point into the block that growing frees.
  const std::string oldText(old);
  const std::string newText(new_ ? new_ : "");
  const long long length = s.Length();
  const long long delta =
      static_cast<long long>(newText.size()) - static_cast<long long>(oldText.size());
  if (s.Capacity() < length + delta + 1) {
    if (!Access::SetCapacity(s, length + delta + 1)) return kNotFound;
  }
  const std::string_view text = s.View();
  std::size_t pos = kNotFound;
  switch (which) {
    case Which::First:
      pos = FindExact(text, oldText);
      break;
    case Which::FirstNoCase:
      pos = FindNoCase(text, oldText);
      break;
    case Which::Last:
      pos = text.rfind(oldText);
      break;
  }
  if (pos == kNotFound) return kNotFound;
  char* chars = Access::Chars(s);
  const std::size_t tail = pos + oldText.size();
  std::memmove(chars + pos + newText.size(), chars + tail, static_cast<std::size_t>(length) - tail);
  std::memcpy(chars + pos, newText.data(), newText.size());
  Access::SetLength(s, static_cast<std::size_t>(length + delta));
  return pos + newText.size();
}

template <typename Find>
int ReplaceEvery(DynString& s, const char* old, const char* new_, Find find) {
  if (s.IsNull() || old == nullptr || *old == '\0') return 0;
  const std::string oldText(old);
  const std::string newText(new_ ? new_ : "");
  const std::string_view text = s.View();
  std::size_t count = 0;
  for (std::size_t pos = find(text, oldText, 0); pos != kNotFound;
       pos = find(text, oldText, pos + oldText.size())) {
    ++count;
  }
  // The capacity that growing before each search would have reached: a check before every
  // search, the last one finding nothing.
  const long long delta =
      static_cast<long long>(newText.size()) - static_cast<long long>(oldText.size());
  long long capacity = s.Capacity();
  long long length = s.Length();
  for (std::size_t i = 0; i <= count; ++i) {
    if (capacity < length + delta) capacity = length + delta + 1;
    if (i < count) length += delta;
    if (capacity > kDynStrMaxCapacity) return -1;
  }
  if (count == 0) {
    if (capacity != s.Capacity() && !Access::SetCapacity(s, capacity)) return -1;
    return 0;
  }
  // One pass into a fresh block of the final capacity.
  DynString result = DynStrAlloc(static_cast<std::int32_t>(capacity));
  if (result.IsNull()) return -1;
  char* out = Access::Chars(result);
  std::size_t last = 0;
  for (std::size_t pos = find(text, oldText, 0); pos != kNotFound;
       pos = find(text, oldText, last)) {
    std::memcpy(out, text.data() + last, pos - last);
    out += pos - last;
    std::memcpy(out, newText.data(), newText.size());
    out += newText.size();
    last = pos + oldText.size();
  }
  std::memcpy(out, text.data() + last, text.size() - last);
  Access::SetLength(result, static_cast<std::size_t>(length));
  s = std::move(result);
  return static_cast<int>(std::min<std::size_t>(count, 0x7FFFFFFF));
}

}  // namespace

DynString::DynString(const DynString& other) : capacity_(other.capacity_), length_(other.length_) {
  if (other.data_) {
    data_.reset(new char[static_cast<std::size_t>(capacity_) + 1]);
    std::memcpy(data_.get(), other.data_.get(), static_cast<std::size_t>(capacity_) + 1);
  }
}

DynString& DynString::operator=(const DynString& other) {
  if (this != &other) {
    DynString copy(other);
    *this = std::move(copy);
  }
  return *this;
}

DynString::DynString(DynString&& other) noexcept
    : data_(std::move(other.data_)), capacity_(other.capacity_), length_(other.length_) {
  other.capacity_ = 0;
  other.length_ = 0;
}

DynString& DynString::operator=(DynString&& other) noexcept {
  if (this != &other) {
    data_ = std::move(other.data_);
    capacity_ = other.capacity_;
    length_ = other.length_;
    other.capacity_ = 0;
    other.length_ = 0;
  }
  return *this;
}

DynString DynStrAlloc(std::int32_t capacity) {
  DynString s;
  Access::SetCapacity(s, capacity);
  return s;
}

bool DynStrReserve(DynString& s, std::int32_t capacity) {
  if (s.IsNull()) return false;
  return Access::SetCapacity(s, capacity);
}

void DynStrFree(DynString& s) {
  s = DynString();
}

bool DynStrAssign(DynString& s, const char* text) {
  if (text == nullptr) text = "";
  return AssignBytes(s, text, std::strlen(text));
}

bool DynStrAssign(DynString& s, std::string_view text) {
  return AssignBytes(s, text.data() ? text.data() : "", text.size());
}

bool DynStrAssignN(DynString& s, const char* text, std::size_t n) {
  if (text == nullptr || n == 0) {
    if (!s.IsNull()) Access::SetLength(s, 0);
    return true;
  }
  return AssignBytes(s, text, strnlen(text, n));
}

bool DynStrAssignUntil(DynString& s, const char* text, char ch) {
  if (text == nullptr) return false;
  return AssignBytes(s, text, LengthUntil(text, ch));
}

bool DynStrAssignUntilN(DynString& s, const char* text, char ch, std::size_t n) {
  if (text == nullptr) return false;
  return AssignBytes(s, text, std::min(LengthUntil(text, ch), n));
}

bool DynStrAppend(DynString& s, const char* text) {
  if (text == nullptr) return true;
  const std::size_t n = std::strlen(text);
  const long long newLength = static_cast<long long>(s.Length()) + static_cast<long long>(n);
  return AppendBytes(s, text, n, static_cast<long long>(n) + 1, newLength);
}

bool DynStrAppend(DynString& s, std::string_view text) {
  const long long newLength =
      static_cast<long long>(s.Length()) + static_cast<long long>(text.size());
  return AppendBytes(s, text.data() ? text.data() : "", text.size(),
                     static_cast<long long>(text.size()) + 1, newLength);
}

bool DynStrAppendN(DynString& s, const char* text, std::size_t n) {
  if (text == nullptr) return true;
  const std::size_t m = strnlen(text, n);
  const long long newLength = static_cast<long long>(s.Length()) + static_cast<long long>(m);
  return AppendBytes(s, text, m, static_cast<long long>(m) + 1, newLength + 1);
}

bool DynStrAppendUntil(DynString& s, const char* text, char ch) {
  if (text == nullptr) return true;
  const std::size_t m = LengthUntil(text, ch);
  const long long newLength = static_cast<long long>(s.Length()) + static_cast<long long>(m);
  return AppendBytes(s, text, m, static_cast<long long>(m), newLength);
}

std::size_t DynStrReplace(DynString& s, const char* old, const char* new_) {
  return ReplaceOne(s, old, new_, Which::First);
}

std::size_t DynStrReplaceNoCase(DynString& s, const char* old, const char* new_) {
  return ReplaceOne(s, old, new_, Which::FirstNoCase);
}

std::size_t DynStrReplaceLast(DynString& s, const char* old, const char* new_) {
  return ReplaceOne(s, old, new_, Which::Last);
}

int DynStrReplaceAll(DynString& s, const char* old, const char* new_) {
  return ReplaceEvery(s, old, new_, FindExact);
}

int DynStrReplaceAllNoCase(DynString& s, const char* old, const char* new_) {
  return ReplaceEvery(s, old, new_, FindNoCase);
}

bool DynStrTruncateAtLast(DynString& s, char ch) {
  if (s.IsNull()) return false;
  const std::size_t pos = s.View().rfind(ch);
  if (pos == kNotFound) return false;
  Access::SetLength(s, pos);
  return true;
}

std::uint32_t DynStrSyncLength(DynString& s) {
  if (s.IsNull()) return 0;
  Access::SetLength(s, strnlen(Access::Chars(s), static_cast<std::size_t>(s.Capacity())));
  return s.Length();
}

int DynStrPrintf(DynString& s, const char* format, ...) {
  if (format == nullptr) return -1;
  // Most results fit the first scratch size; longer ones are formatted again at their exact size.
  char scratch[1024];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int produced = std::vsnprintf(scratch, sizeof scratch, format, args);
  va_end(args);
  if (produced < 0 || produced > kDynStrMaxCapacity) {
    va_end(again);
    return -1;
  }
  bool ok = false;
  if (static_cast<std::size_t>(produced) < sizeof scratch) {
    va_end(again);
    ok = DynStrAssign(s, static_cast<const char*>(scratch));
  } else {
    std::unique_ptr<char[]> large(new (std::nothrow) char[static_cast<std::size_t>(produced) + 1]);
    if (large) std::vsnprintf(large.get(), static_cast<std::size_t>(produced) + 1, format, again);
    va_end(again);
    ok = large && DynStrAssign(s, static_cast<const char*>(large.get()));
  }
  return ok ? produced : -1;
}

}  // namespace tolmi
