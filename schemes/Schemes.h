// Style schemes: the look of a built store. A scheme is a folder of page templates
// and pictures below the installation's "template" folder plus a list of style
// variables (colours, headings, border widths, pictures) that are substituted into
// every page. Schemes are grouped into style categories ("groups").
//
// Installed schemes are listed in "scheme.dat", the merchant's own in "scheme.ini";
// each scheme's variables live in its settings file "template/<folder>/<name>.ini".
// Every path here is relative to the installation directory (the home).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreSettings.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// Style variable types (flags).
inline constexpr std::uint16_t kStyleColour = 1;
inline constexpr std::uint16_t kStyleHeading = 2;
inline constexpr std::uint16_t kStylePicture = 4;
inline constexpr std::uint16_t kStyleNumber = 32;
inline constexpr std::uint16_t kStyleSeparator = 1024;

// Scheme kinds.
inline constexpr int kSchemeInstalled = 0;
inline constexpr int kSchemeUser = 1;
inline constexpr int kSchemeUnavailable = 2;

inline constexpr const char* kNoSchemeMessage = "No scheme defined for current store.";
inline constexpr const char* kSchemeIniError = "ERROR L124: Unable to open file 'scheme.ini'";

struct StyleVariable {
  std::string label;  // shown in the style editor
  std::string name;   // the text substituted in pages, e.g. "%S_BGCOLOR%"
  std::string value;
  int number = 0;          // kept with the variable and written back unchanged
  std::uint16_t type = 0;  // kStyle* flags
  bool operator==(const StyleVariable&) const = default;
};

// The seven picture slots, in this order.
enum PictureSlot { kBulletF, kBulletG, kBulletO, kBulletA, kButtonAdd, kButtonBack, kButtonRemove };
inline constexpr std::array<const char*, 7> kPictureSlotNames = {
    "%BULLET_F%",   "%BULLET_G%",    "%BULLET_O%",     "%BULLET_A%",
    "%BUTTON_ADD%", "%BUTTON_BACK%", "%BUTTON_REMOVE%"};

struct Scheme {
  std::string name;         // "SCHEMA=": also the base name of its settings file
  std::string preview;      // "PREVIEW=": picture for the style chooser
  std::string folder;       // "DEF=": folder below "template"; empty for "template" itself
  std::string installPath;  // "INSTALL=": a file whose presence shows it is installed
  int kind = kSchemeInstalled;
  std::vector<StyleVariable> variables;
  std::vector<std::string> files;  // "F=": copied into the build directory
  // The colour chooser's sixteen custom colours: red in the low byte, then green,
  // blue and a zero byte (stored byte by byte in that order).
  std::array<std::uint32_t, 16> customColours{};
  std::array<std::string, 7> pictures;  // filled by LookUpPictures
  bool loaded = false;                  // the settings file has been read
};

struct StyleCategory {
  std::string name;
  std::vector<Scheme> schemes;
};

// Where a scheme sits in a SchemeList.
struct SchemeIndex {
  std::size_t category = 0;
  std::size_t scheme = 0;
  bool operator==(const SchemeIndex&) const = default;
};

struct SchemeList {
  std::string installDir;  // the home every relative path is below
  std::vector<StyleCategory> categories;
  std::optional<SchemeIndex> current;  // the scheme the store uses

  Scheme* At(const SchemeIndex& at);
  const Scheme* At(const SchemeIndex& at) const;
};

// The variable a numbered list line "n=value" stands for: name, label and type
// from the fixed table for n from 0 to 30; any other n gives "$TEST", "" and 0.
StyleVariable NumberedVariable(int n, std::string value);

// The six variables that follow a numbered variable 12 (cell and border settings).
std::vector<StyleVariable> CheckoutExtraVariables();

// "template/<folder>/<name>.ini" below the list's installation directory.
std::string SchemeSettingsPath(const std::string& installDir, const Scheme& scheme);

// Reads a list file ("scheme.dat" or "scheme.ini") into the list, appending to
// the categories it names. A missing file is skipped silently (false).
bool ReadSchemeList(SchemeList& list, const std::string& path);
// The same over bytes in memory.
void ReadSchemeListText(SchemeList& list, std::string bytes);

// Reads "scheme.dat" then "scheme.ini" of the installation directory.
void LoadSchemes(SchemeList& list, const std::string& installDir);

// The bytes of "scheme.ini": "product=", "version=" and every merchant scheme
// (kind 1) grouped under its category's "STYLE=" line.
std::string SchemeIniText(const SchemeList& list);

// Rewrites "scheme.ini" and the settings file of every merchant scheme that has
// variables. When "scheme.ini" cannot be written shows kSchemeIniError and
// returns Io; a settings file that fails shows its own message.
Status WriteSchemeList(const SchemeList& list, Prompter& prompter);

// Reads the scheme's settings file into its variables, custom colours and files
// (replacing what it had) and marks it loaded. A missing file returns false and
// leaves what the list file gave (numbered variables, "SCF=" files; usually none).
bool ReadSchemeSettings(Scheme& scheme, const std::string& installDir);
// The same over bytes in memory.
void ReadSchemeSettingsText(Scheme& scheme, std::string bytes);

// The bytes of the scheme's settings file.
std::string SchemeSettingsText(const Scheme& scheme);

// Writes the settings file atomically. Failure shows "ERROR W124: Unable to open
// template file '<path>'" and returns Io; the old file stays.
Status WriteSchemeSettings(const Scheme& scheme, const std::string& installDir, Prompter& prompter);

// Fills the seven picture slots from the variables named kPictureSlotNames.
void LookUpPictures(Scheme& scheme);

// Makes a scheme current: the current one, else the first scheme of the first
// category that has one; reads its settings when not yet loaded and looks up its
// pictures. With no scheme at all shows kNoSchemeMessage and returns null.
Scheme* MakeSchemeCurrent(SchemeList& list, Prompter& prompter);

// The project's LAYOUT value for a scheme: "<category>/<name>".
std::string SchemePath(const SchemeList& list, const SchemeIndex& at);
// The project's reference to the scheme.
StyleRef SchemeStyleRef(const SchemeList& list, const SchemeIndex& at);
// Every scheme of the list in order, as the project file reader wants them.
std::vector<StyleRef> SchemeStyleRefs(const SchemeList& list);

// Finds the scheme a LAYOUT value names: the first "Sorvida" becomes "Sorvidda",
// then a category whose name is a prefix of the value and, after one separator
// character, its scheme whose name equals the rest.
std::optional<SchemeIndex> FindSchemeByLayout(const SchemeList& list, std::string layout);
// Finds the scheme of a project reference (both names compared exactly).
std::optional<SchemeIndex> FindScheme(const SchemeList& list, const StyleRef& ref);

// A new merchant scheme in the category: a copy of its last scheme (or an empty
// one), kind 1, named after the first free "template/<folder>/New Schema.ini";
// its settings file is written at once. Returns where it is, or the write error
// (the scheme is then not added).
Result<SchemeIndex> NewScheme(SchemeList& list, std::size_t category, Prompter& prompter);

// The colour text of a chooser result: "#RRGGBB", two upper-case hex digits each.
std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

}  // namespace tolmi
