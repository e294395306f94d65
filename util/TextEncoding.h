// Text as the desktop program shows it. The core keeps text as the bytes the files
// hold (mostly Windows-1252, the system's code page); the window shows and edits
// UTF-8. Decoding takes bytes that are valid UTF-8 as they are and reads any other
// bytes as Windows-1252; encoding writes text back in the encoding it was read in.
//
// Characters with no Windows-1252 form (say a Chinese name typed into a title that
// was Windows-1252): the whole text is then kept as UTF-8 rather than replacing
// them with "?", so nothing the merchant typed is lost. Such a text reads back as
// UTF-8 the next time, because valid UTF-8 is taken as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolmi {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF, no cut-off sequence). The empty text is.
bool IsValidUtf8(std::string_view bytes);

// Whether the bytes are UTF-8 text: valid UTF-8 holding at least one byte above 0x7F.
// Plain ASCII is not, so an edit of it is written in Windows-1252 when it can be.
bool IsUtf8Text(std::string_view bytes);

// Windows-1252 bytes as UTF-8. Every byte has a form: the five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 ... U+009D, so the
// bytes come back unchanged by Utf8ToWindows1252.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 as Windows-1252 bytes; nullopt when the text is not valid UTF-8 or holds a
// character with no Windows-1252 form.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

// The text to show for stored bytes: the bytes themselves when they are valid UTF-8,
// else their Windows-1252 reading.
std::string DecodeForDisplay(std::string_view bytes);

// The bytes to store for shown text. originalWasUtf8 is IsUtf8Text of the bytes the
// text was read from: then the UTF-8 is stored as it is. Otherwise the Windows-1252
// form, or the UTF-8 as it is when some character has no Windows-1252 form.
// EncodeFromDisplay(DecodeForDisplay(b), IsUtf8Text(b)) == b for all bytes b.
std::string EncodeFromDisplay(std::string_view utf8, bool originalWasUtf8);

}  // namespace tolmi
