#include "util/HtmlColours.h"

#include <array>

namespace tolmi {

namespace {

constexpr std::array<HtmlColour, 136> kColours{{
    {"ALICEBLUE", "F0F8FF"},
    {"ANTIQUEWHITE", "FAEBD7"},
    {"AQUA", "00FFFF"},
    {"AQUAMARINE", "7FFFD4"},
    {"AZURE", "F0FFFF"},
    {"BEIGE", "F5F5DC"},
    {"BISQUE", "FFE4C4"},
    {"BLACK", "000000"},
    {"BLANCHEDALMOND", "FFEBCD"},
    {"BLUE", "0000FF"},
    {"BLUEVIOLET", "8A2BE2"},
    {"BROWN", "A52A2A"},
    {"BURLYWOOD", "DEB887"},
    {"CADETBLUE", "5F9EA0"},
    {"CHARTREUSE", "7FFF00"},
    {"CHOCOLATE", "D2691E"},
    {"CORAL", "FF7F50"},
    {"CORNFLOWERBLUE", "6495ED"},
    {"CORNSILK", "FFF8DC"},
    {"CRIMSON", "DC143C"},
    {"CYAN", "00FFFF"},
    {"DARKBLUE", "00008C"},
    {"DARKCYAN", "008B8B"},
    {"DARKGREEN", "006400"},
    {"DARKGOLDENROD", "B8860B"},
    {"DARKKHAKI", "BDB76B"},
    {"DARKMAGENTA", "8C008C"},
    {"DARKOLIVEGREEN", "556B2F"},
    {"DARKORANGE", "FF8C00"},
    {"DARKORCHID", "9932CC"},
    {"DARKRED", "8C0000"},
    {"DARKSALMON", "E9967A"},
    {"DARKTURQUOISE", "00CED1"},
    {"DARKSEAGREEN", "8FBC8F"},
    {"DARKSLATEBLUE", "483D8B"},
    {"DARKSLATEGRAY", "2F4F4F"},
    {"DEEPSKYBLUE", "00BFFF"},
    {"DARKVIOLET", "9400D3"},
    {"DEEPPINK", "FF1493"},
    {"DIMGRAY", "696969"},
    {"DODGERBLUE", "1E90FF"},
    {"FIREBRICK", "B22222"},
    {"FLORALWHITE", "FFFAF0"},
    {"FORESTGREEN", "228B22"},
    {"FUCHSIA", "FF00FF"},
    {"GOLD", "FFD700"},
    {"GHOSTWHITE", "F8F8FF"},
    {"GOLDENROD", "DAA520"},
    {"GREEN", "008000"},
    {"GREENYELLOW", "ADFF2F"},
    {"HONEYDEW", "F0FFF0"},
    {"HOTPINK", "FF69B4"},
    {"INDIANRED", "CD5C5C"},
    {"INDIGO", "4A0084"},
    {"IVORY", "FFFFF0"},
    {"KHAKI", "F0E68C"},
    {"LAVENDER", "E6E6FA"},
    {"LAVENDERBLUSH", "FFF0F5"},
    {"LAWNGREEN", "7CFC00"},
    {"LEMONCHIFFON", "FFFACD"},
    {"LIGHTBLUE", "ADD8E6"},
    {"LIGHTCORAL", "F08080"},
    {"LIGHTCYAN", "E0FFFF"},
    {"LIGHTSEAGREEN", "20B2AA"},
    {"LIGHTGREEN", "94ED94"},
    {"LIGHTPINK", "FFB6C1"},
    {"LIGHTPINK", "FFB6C1"},
    {"LIGHTSALMON", "FFA07A"},
    {"LIGHTSEAGREEN", "20B2AA"},
    {"LIGHTSLATEGRAY", "778899"},
    {"LIGHTSKYBLUE", "87CEFA"},
    {"LIGHTGOLDENRODYELLOW", "FAFAD2"},
    {"LIGHTYELLOW", "FFFFE0"},
    {"LIME", "00FF00"},
    {"LIMEGREEN", "32CD32"},
    {"LINEN", "FAF0E6"},
    {"MAGENTA", "FF00FF"},
    {"MAROON", "800000"},
    {"MEDIUMAQUAMARINE", "66CDAA"},
    {"MEDIUMBLUE", "0000CD"},
    {"MEDIUMPURPLE", "9370DB"},
    {"MEDIUMORCHID", "BA55D3"},
    {"MEDIUMSEAGREEN", "3CB371"},
    {"MEDIUMSLATEBLUE", "7B68EE"},
    {"MEDIUMTURQUOISE", "48D1CC"},
    {"MEDIUMSPRINGGREEN", "00FA9A"},
    {"MEDIUMVIOLETRED", "C71585"},
    {"MIDNIGHTBLUE", "191970"},
    {"MINTCREAM", "F5FFFA"},
    {"MISTYROSE", "FFE4E1"},
    {"MOCCASIN", "FFE4B5"},
    {"NAVAJOWHITE", "FFDEAD"},
    {"NAVY", "000080"},
    {"OLDLACE", "FDF5E6"},
    {"OLIVE", "808000"},
    {"OLIVEDRAB", "6B8E23"},
    {"ORANGE", "FFA500"},
    {"ORANGERED", "FF4500"},
    {"ORCHID", "DA70D6"},
    {"PALEGOLDENROD", "EEE8AA"},
    {"PALEGREEN", "98FB98"},
    {"PALETURQUOISE", "AFEEEE"},
    {"PALEVIOLETRED", "DB7093"},
    {"PAPAYAWHIP", "FFEFD5"},
    {"PEACHPUFF", "FFDAB9"},
    {"PERU", "CD853F"},
    {"PINK", "FFC0CB"},
    {"PLUM", "DDA0DD"},
    {"PURPLE", "800080"},
    {"POWDERBLUE", "B0E0E6"},
    {"RED", "FF0000"},
    {"ROSYBROWN", "BC8F8F"},
    {"ROYALBLUE", "4169E1"},
    {"SADDLEBROWN", "8B4513"},
    {"SALMON", "FA8072"},
    {"SANDYBROWN", "F4A460"},
    {"SEAGREEN", "2E8B57"},
    {"SEASHELL", "FFF5EE"},
    {"SIENNA", "A0522D"},
    {"SKYBLUE", "87CEEB"},
    {"SLATEBLUE", "6A5ACD"},
    {"SLATEGRAY", "708090"},
    {"SNOW", "FFFAFA"},
    {"SPRINGGREEN", "00FF7F"},
    {"STEELBLUE", "4682B4"},
    {"TAN", "D2B48C"},
    {"TEAL", "008080"},
    {"THISTLE", "D8BFD8"},
    {"TOMATO", "FF6347"},
    {"TURQUOISE", "40E0D0"},
    {"VIOLET", "EE82EE"},
    {"WHEAT", "F5DEB3"},
    {"WHITE", "FFFFFF"},
    {"WHITESMOKE", "F5F5F5"},
    {"YELLOW", "FFFF00"},
    {"YELLOWGREEN", "9ACD32"},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::span<const HtmlColour> HtmlColourTable() {
  return kColours;
}

std::optional<std::string_view> ColourByName(std::string_view name) {
  for (const HtmlColour& row : kColours) {
    if (EqualNoCase(row.name, name)) return row.value;
  }
  return std::nullopt;
}

uint32_t ParseHtmlColour(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && text[i] == '#') ++i;
  if (text.size() - i < 6) return 0;
  uint32_t colour = 0;
  for (int pair = 0; pair < 3; ++pair) {
    int high = HexDigit(text[i + 2 * pair]);
    int low = HexDigit(text[i + 2 * pair + 1]);
    if (high < 0 || low < 0) return 0;
    colour |= uint32_t(high * 16 + low) << (8 * pair);
  }
  return colour;
}

}  // namespace tolmi
