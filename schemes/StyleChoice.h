// The style chooser and the style editor without a window: the styles offered
// (every scheme that is not unavailable, by group), where a style's preview
// lies before it is chosen (its picture and its template folder), and what the
// editor may change.
//
// Installed schemes (kind 0) are not edited in place: the program owns their
// files, every store made from them shares them, and a new installation would
// overwrite the merchant's changes without a word. The editor shows their values
// read-only and offers New, which derives a merchant scheme (kind 1) that can
// be edited and is kept in "scheme.ini".
#pragma once

#include <string>
#include <vector>

#include "schemes/Schemes.h"
#include "util/Result.h"

namespace tolmi {

// A style the chooser offers.
struct OfferedStyle {
  SchemeIndex at;
  std::string group;  // the style category's name
  std::string name;
};

// Every scheme of kind 0 or 1 in list order (groups in order, styles in order);
// unavailable schemes (kind 2) are left out, and so is a group without any other.
std::vector<OfferedStyle> OfferedStyles(const SchemeList& list);

// The preview picture of a style before it is chosen: its PREVIEW value below
// the list's installation directory ("\" read as "/"; an absolute value as it
// stands), or "" when the scheme has none, the file is missing, or the index is
// not in the list.
std::string StylePreviewPicture(const SchemeList& list, const SchemeIndex& at);

// Where a page previewed with a style not yet chosen takes its templates: the
// scheme's own template folder (SchemeTemplateDir), "" for an index not in the list.
std::string StylePreviewTemplateFolder(const SchemeList& list, const SchemeIndex& at);

// Whether the style editor may change the scheme: merchant schemes only.
bool IsSchemeEditable(const Scheme& scheme);

// The messages of refused style values.
inline constexpr const char* kStyleValueOneLine = "A style setting must fit on one line.";
inline constexpr const char* kStyleValueNotNumber =
    "This setting takes a whole number, such as 0 or 2.";

// The editor's change of one variable's value. InvalidArgument for a scheme that
// may not be edited, a row out of range or a separator row, a value with a line
// break (kStyleValueOneLine), and for a number setting anything but one to four
// digits (kStyleValueNotNumber); otherwise the value is set (the caller writes
// the settings file with WriteSchemeSettings).
Status SetStyleValue(Scheme& scheme, std::size_t row, std::string value);

// The editor's picture choice: the picture at source is copied into the scheme's
// template folder (when a file of that name there holds other bytes, the copy
// takes the next free name, "add(1).svg"), listed among the scheme's files as
// "template/<folder>/<name>" when not yet, and its file name returned for the
// variable's value (the build copies the file into the store under that name).
// InvalidArgument for a scheme that may not be edited, NotFound when the source
// cannot be read, Io when the copy fails; the scheme is then unchanged.
Result<std::string> AddSchemePicture(Scheme& scheme, const std::string& installDir,
                                     const std::string& source);

}  // namespace tolmi
