// DynString: a growable, NUL-terminated byte string with a recorded capacity and length, and the
// DynStr* family that assigns, appends, replaces and formats it.
//
// A default DynString is null (unallocated), which is distinct from an allocated empty string;
// every operation accepts a null string and allocates on first use. Growth is exact-fit: an
// operation grows the block to exactly the capacity it needs (see each operation), never by a
// factor, and never shrinks it. Capacity counts characters, not the terminating NUL.
//
// Text arguments are C strings; a null text pointer has the meaning each operation gives it.
// The largest capacity is kDynStrMaxCapacity; an operation that would need more fails and leaves
// the string as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tolmi {

inline constexpr std::int32_t kDynStrMaxCapacity = 0x7FFFFFFF - 9;

class DynString {
 public:
  DynString() = default;
  DynString(const DynString& other);
  DynString& operator=(const DynString& other);
  DynString(DynString&& other) noexcept;
  DynString& operator=(DynString&& other) noexcept;
  ~DynString() = default;

  // True while unallocated.
  bool IsNull() const { return data_ == nullptr; }
  // Characters that fit without growing (the NUL not counted); 0 while null.
  std::int32_t Capacity() const { return capacity_; }
  // Length as last recorded; 0 while null.
  std::uint32_t Length() const { return length_; }
  // The characters as a C string; "" while null.
  const char* CStr() const { return data_ ? data_.get() : ""; }
  // The first Length() characters.
  std::string_view View() const { return {CStr(), length_}; }
  std::string Str() const { return std::string(View()); }
  // The block for in-place edits: Capacity() + 1 bytes, the last of which must stay NUL; null
  // while unallocated. After editing, call DynStrSyncLength.
  char* Data() { return data_.get(); }

  friend bool operator==(const DynString& a, std::string_view b) { return a.View() == b; }

 private:
  friend struct DynStringAccess;
  std::unique_ptr<char[]> data_;
  std::int32_t capacity_ = 0;
  std::uint32_t length_ = 0;
};

// A new block of the given capacity, length 0, empty text; a null DynString when capacity is
// negative or above kDynStrMaxCapacity, or memory is exhausted.
DynString DynStrAlloc(std::int32_t capacity);

// Resizes the block to capacity keeping text and length. False (s unchanged) when s is null,
// capacity is below the length or above kDynStrMaxCapacity, or memory is exhausted.
bool DynStrReserve(DynString& s, std::int32_t capacity);

// Releases the block; s becomes null.
void DynStrFree(DynString& s);

// The assign and append family returns false only when the growth fails (s unchanged).

// Replaces the text; a null text counts as "" (a null s becomes allocated and empty). Grows to
// capacity = strlen(text) when needed.
bool DynStrAssign(DynString& s, const char* text);
bool DynStrAssign(DynString& s, std::string_view text);
// Replaces the text with its first min(strlen(text), n) characters, growing to exactly that. A
// null text or n = 0 empties an allocated s and leaves a null s null.
bool DynStrAssignN(DynString& s, const char* text, std::size_t n);
// Assigns the part of text before the first ch (all of it if ch does not occur). False, s
// unchanged, when text is null.
bool DynStrAssignUntil(DynString& s, const char* text, char ch);
// As DynStrAssignUntil, at most n characters.
bool DynStrAssignUntilN(DynString& s, const char* text, char ch, std::size_t n);

// Appends text at the recorded length. A null s is allocated with capacity strlen(text) + 1;
// else grows to capacity = length + strlen(text) when needed. A null text changes nothing.
bool DynStrAppend(DynString& s, const char* text);
bool DynStrAppend(DynString& s, std::string_view text);
// Appends min(strlen(text), n) characters; grows to capacity = new length + 1 when needed.
bool DynStrAppendN(DynString& s, const char* text, std::size_t n);
// Appends the part of text before the first ch; grows to capacity = new length when needed.
bool DynStrAppendUntil(DynString& s, const char* text, char ch);

// Replaces the first occurrence of old by new_ (a null new_ counts as ""). Before searching,
// grows to capacity = length + len(new_) - len(old) + 1 when the capacity is smaller. Returns the
// position just after the inserted text; kNotFound when s is null or empty, old is null or
// empty, old does not occur, or the growth fails.
std::size_t DynStrReplace(DynString& s, const char* old, const char* new_);
// The same with an ASCII case-insensitive search.
std::size_t DynStrReplaceNoCase(DynString& s, const char* old, const char* new_);
// The same for the last occurrence (case-sensitive).
std::size_t DynStrReplaceLast(DynString& s, const char* old, const char* new_);

// Replaces every occurrence of old left to right; text a replacement produced is never searched
// again. The capacity ends as if each replacement had grown the block, when too small, to
// length + len(new_) - len(old) + 1; the work is linear. Returns the number of replacements (0,
// s unchanged, when none or when s is null or old is null or empty); -1 when the result would
// not fit in kDynStrMaxCapacity or memory is exhausted (s unchanged).
int DynStrReplaceAll(DynString& s, const char* old, const char* new_);
int DynStrReplaceAllNoCase(DynString& s, const char* old, const char* new_);

// Cuts the text at the last ch. True when ch was found; false, text unchanged, otherwise.
bool DynStrTruncateAtLast(DynString& s, char ch);

// Records the length as the position of the first NUL (after in-place edits through Data()).
// Returns the new length; 0 for a null s.
std::uint32_t DynStrSyncLength(DynString& s);

// Formats like printf and assigns the result (capacity grows as for DynStrAssign). Returns the
// number of characters produced; -1 (s unchanged) on a format error or exhausted memory.
int DynStrPrintf(DynString& s, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tolmi
