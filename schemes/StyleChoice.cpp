#include "schemes/StyleChoice.h"

#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Paths.h"

namespace tolmi {

std::vector<OfferedStyle> OfferedStyles(const SchemeList& list) {
  std::vector<OfferedStyle> offered;
  for (std::size_t c = 0; c < list.categories.size(); ++c) {
    const StyleCategory& category = list.categories[c];
    for (std::size_t s = 0; s < category.schemes.size(); ++s) {
      if (category.schemes[s].kind == kSchemeUnavailable) continue;
      offered.push_back({{c, s}, category.name, category.schemes[s].name});
    }
  }
  return offered;
}

std::string StylePreviewPicture(const SchemeList& list, const SchemeIndex& at) {
  const Scheme* scheme = list.At(at);
  if (!scheme || scheme->preview.empty()) return "";
  std::string preview = NormalisePath(scheme->preview);
  const std::string path =
      ResolveExistingPath(preview.front() == '/' ? preview : JoinPath(list.installDir, preview));
  return FileExists(path) && !IsDirectory(path) ? path : "";
}

std::string StylePreviewTemplateFolder(const SchemeList& list, const SchemeIndex& at) {
  const Scheme* scheme = list.At(at);
  return scheme ? SchemeTemplateDir(list.installDir, *scheme) : "";
}

bool IsSchemeEditable(const Scheme& scheme) { return scheme.kind == kSchemeUser; }

Status SetStyleValue(Scheme& scheme, std::size_t row, std::string value) {
  if (!IsSchemeEditable(scheme))
    return Status::Error(ErrorKind::InvalidArgument, "An installed style cannot be changed.");
  if (row >= scheme.variables.size() || (scheme.variables[row].type & kStyleSeparator))
    return Status::Error(ErrorKind::InvalidArgument, "No style setting in that row.");
  // The settings file holds one line per setting.
  if (value.find_first_of("\r\n") != std::string::npos)
    return Status::Error(ErrorKind::InvalidArgument, kStyleValueOneLine);
  if ((scheme.variables[row].type & kStyleNumber) &&
      (value.empty() || value.size() > 4 ||
       value.find_first_not_of("0123456789") != std::string::npos))
    return Status::Error(ErrorKind::InvalidArgument, kStyleValueNotNumber);
  scheme.variables[row].value = std::move(value);
  return Status::Ok();
}

Result<std::string> AddSchemePicture(Scheme& scheme, const std::string& installDir,
                                     const std::string& source) {
  if (!IsSchemeEditable(scheme))
    return Status::Error(ErrorKind::InvalidArgument, "An installed style cannot be changed.");
  std::optional<std::string> bytes = ReadWholeFile(source);
  if (!bytes || IsDirectory(source))
    return Status::Error(ErrorKind::NotFound, "Unable to read the file '" + source + "'.");
  const std::string folder = SchemeTemplateDir(installDir, scheme);
  std::string name = NormalisePath(source);
  name = name.substr(name.rfind('/') + 1);
  std::string target = JoinPath(folder, name);
  for (int n = 1; FileExists(target) && !FileHoldsBytes(target, *bytes) && n < 10000; ++n)
    target = JoinPath(folder, UniqueFileName(name, n));
  name = target.substr(target.rfind('/') + 1);
  if (!FileHoldsBytes(target, *bytes)) {
    CreateDirectoryPath(folder);
    if (Status written = WriteFileAtomic(target, *bytes); !written)
      return Status::Error(ErrorKind::Io, "Unable to copy the picture to '" + target + "'.");
  }
  const std::string listed =
      scheme.folder.empty() ? "template/" + name : "template/" + scheme.folder + "/" + name;
  bool present = false;
  for (const std::string& file : scheme.files)
    if (NormalisePath(file) == listed) present = true;
  if (!present) scheme.files.push_back(listed);
  return name;
}

}  // namespace tolmi
