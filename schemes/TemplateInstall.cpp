#include "schemes/TemplateInstall.h"

#include <filesystem>
#include <optional>

#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

struct Rename {
  const char* from;
  const char* to;
};

// Copies a file's bytes over a target (atomically). False when the source cannot
// be read or the target written; the target is then as it was.
bool CopyBytes(const std::string& from, const std::string& to) {
  std::optional<std::string> bytes = ReadWholeFile(ResolveExistingPath(from));
  if (!bytes) return false;
  return WriteFileAtomic(to, *bytes).ok();
}

// The project's "Template" folder, made when missing.
std::string ProjectTemplateDir(const std::string& projectDir) {
  const std::string dir = ResolveExistingPath(JoinPath(projectDir, "Template"));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

void ApplyRenames(std::string& text, std::initializer_list<Rename> renames) {
  for (const Rename& r : renames) ReplaceAll(text, r.from, r.to);
}

const char* TemplateForKind(NodeKind kind) {
  switch (kind) {
    case NodeKind::Product:
      return "product.htm";
    case NodeKind::Shelf:
      return "shelf.htm";
    case NodeKind::List:
      return "list.htm";
    case NodeKind::Page:
      return "page.htm";
    default:
      return "category.htm";
  }
}

// The part of a path after its last "\" or "/".
std::string_view FileNamePart(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string SchemeTemplateDir(const std::string& installDir, const Scheme& scheme) {
  return ResolveExistingPath(JoinPath(installDir, "template/" + scheme.folder));
}

void ResetNodeTemplates(StoreProject& project) {
  ForEachNode(project, [](StoreNode& node) { node.temp = TemplateForKind(node.kind); });
}

int CopySchemeTemplates(const std::string& installDir, const Scheme& scheme,
                        const std::string& projectDir) {
  const std::string source = SchemeTemplateDir(installDir, scheme);
  if (!IsDirectory(source)) return 0;
  const std::string target = ProjectTemplateDir(projectDir);
  int copied = 0;
  for (const char* name : kSchemeTemplates)
    if (CopyBytes(JoinPath(source, name), JoinPath(target, name))) ++copied;
  return copied;
}

int ApplyStyleTemplates(StoreProject& project, const std::string& installDir, const Scheme& scheme,
                        const std::string& projectDir) {
  ResetNodeTemplates(project);
  return CopySchemeTemplates(installDir, scheme, projectDir);
}

Result<int> ChooseStyle(StoreProject& project, SchemeList& list, const SchemeIndex& at,
                        const std::string& projectDir, Prompter& prompter) {
  Scheme* scheme = list.At(at);
  if (!scheme) return Status::Error(ErrorKind::NotFound, "The style is not in the style list.");
  if (prompter.Ask(kChooseStyleQuestion, "Confirmation", PromptButtons::YesNoCancel) !=
      PromptAnswer::Yes)
    return Status::Error(ErrorKind::Cancelled, "");
  const int copied = ApplyStyleTemplates(project, list.installDir, *scheme, projectDir);
  list.current = at;
  if (!scheme->loaded) ReadSchemeSettings(*scheme, list.installDir);
  LookUpPictures(*scheme);
  project.settings.style = SchemeStyleRef(list, at);
  project.changed = true;
  return copied;
}

std::optional<std::string> UpgradeProjectTemplates(StoreProject& project,
                                                   const std::string& projectDir,
                                                   const std::string& installDir,
                                                   Prompter& prompter) {
  const int version = project.settings.version;
  if (version >= kTemplateUpgradeBelow) return std::nullopt;
  const bool withShelf = version < kShelfUpgradeBelow;
  const std::string message = withShelf ? kUpgradeThreeMessage : kUpgradeTwoMessage;
  prompter.Show(message, kUpgradeTitle, PromptIcon::Warning);

  const std::string dir = ProjectTemplateDir(projectDir);
  // The merchant's template is kept before it is replaced, and never in place of an
  // earlier backup: a second backup takes a free name ("order(1).bak"). A template that
  // already is the installed one has nothing to keep.
  auto replace = [&](const char* name, const char* backup, const char* installed) {
    const std::string source = JoinPath(installDir, std::string("template/") + installed);
    std::optional<std::string> fresh = ReadWholeFile(ResolveExistingPath(source));
    if (!fresh) return;
    const std::string target = ResolveExistingPath(JoinPath(dir, name));
    std::optional<std::string> own = ReadWholeFile(target);
    if (own && *own == *fresh) return;
    if (own) {
      std::string keep = ResolveExistingPath(JoinPath(dir, backup));
      std::optional<std::string> kept = ReadWholeFile(keep);
      if (kept && *kept != *own) keep = MakeUniquePath(keep);
      if ((!kept || *kept != *own) && !WriteFileAtomic(keep, *own).ok()) return;
    }
    (void)WriteFileAtomic(target, *fresh);
  };
  if (withShelf) replace("shelf.htm", "shelf.bak", "shelf.htm");
  replace("order.htm", "order.bak", "order.dat");
  replace("confirm.htm", "confirm.bak", "confirm.dat");
  project.changed = true;
  return message;
}

void ConvertPageTemplate(std::string& text) {
  ApplyRenames(text, {{"$BGCOLOR", "%BGCOLOR%"},
                      {"$BG_COLOR", "%BGCOLOR%"},
                      {"$LINK_COLOR", "%LINKCOLOR%"},
                      {"$VLINK_COLOR", "%VLINKCOLOR%"},
                      {"$ALINK_COLOR", "%ALINKCOLOR%"},
                      {"$TEXT_COLOR", "%TEXTCOLOR%"},
                      {"$MENUCOLOR", "%MENUCOLOR%"},
                      {"$HEADING1", "%HEADING%"},
                      {"$HEADING", "%HEADING%"},
                      {"$BUTTON_ADD", "%BUTTON_ADD%"},
                      {"$BUTTON_BACK", "%BUTTON_BACK%"},
                      {"$BUTTON_REMOVE", "%BUTTON_REMOVE%"}});
}

void ConvertOrderTemplate(std::string& text) {
  ApplyRenames(text, {{"$BGCOLOR", "%O_BGCOLOR%"},
                      {"$BG_COLOR", "%O_BGCOLOR%"},
                      {"$LINK_COLOR", "%O_LINKCOLOR%"},
                      {"$VLINK_COLOR", "%O_VLINKCOLOR%"},
                      {"$ALINK_COLOR", "%O_ALINKCOLOR%"},
                      {"$FRAME_COLOR", "%O_FRAMECOLOR%"},
                      {"$TEXT_COLOR", "%O_TEXTCOLOR%"},
                      {"$HEADINGCOLOR", "%O_HEADINGCOLOR%"},
                      {"$HEADINGTEXTCOLOR", "%O_HEADINGTEXTCOLOR%"}});
}

void ConvertOrderFormFrame(std::string& text) {
  ApplyRenames(text, {{"$BGCOLOR", "%S_BGCOLOR%"},
                      {"$BG_COLOR", "%S_BGCOLOR%"},
                      {"$LINK_COLOR", "%S_LINKCOLOR%"},
                      {"$VLINK_COLOR", "%S_VLINKCOLOR%"},
                      {"$ALINK_COLOR", "%S_ALINKCOLOR%"},
                      {"$LIST_COLOR", "%S_LISTCOLOR%"},
                      {"$FRAME_COLOR", "%S_FRAMECOLOR%"},
                      {"$TEXT_COLOR", "%S_TEXTCOLOR%"},
                      {"$HEADING2", "%S_HEADING2%"},
                      {"$HEADING3", "%S_HEADING3%"}});
}

void RemoveOldBulletPictures(std::string& text, const Scheme* scheme) {
  if (text.find("<!--Version") != std::string::npos) return;
  if (scheme) {
    for (const std::string& file : scheme->files) {
      const std::string real(FileNamePart(file));
      std::string old = real;
      ReplaceFirst(old, ".png", ".gif");
      if (old != real) ReplaceAll(text, old, real);
    }
  }
  static constexpr const char* kSpacerTags[] = {
      "<img SRC=\"r1_transp.gif\" >",
      "<img src=\"r1_transp.gif\">",
      "<img SRC=\"r1_transp.gif\" BORDER=0 align=TEXTTOP >",
      "<img SRC=\"r1_transp.gif\" BORDER=0  align=TEXTTOP >",
      "<img SRC=\"r1_transp.gif\" BORDER=0  align=TEXTTOP>",
      "<img SRC=\"r1_transbar.gif\" BORDER=0 align=TEXTTOP>",
      "<img SRC=\"r1_transbar.gif\" BORDER=0  align=TEXTTOP>",
      "<img src=\"r1_transp.gif\" BORDER=0 align=TEXTTOP>",
      "<img src=\"r1_transp.gif\"  align=CENTER>",
      "<img SRC=\"r1_transp.gif\" align=CENTER>",
  };
  for (const char* tag : kSpacerTags) ReplaceAllNoCase(text, tag, "");
}

std::optional<std::string> LoadPageTemplate(const std::string& path, const Scheme* scheme) {
  std::optional<std::string> text = ReadWholeFile(ResolveExistingPath(path));
  if (!text) return std::nullopt;
  ConvertPageTemplate(*text);
  RemoveOldBulletPictures(*text, scheme);
  return text;
}

int ApplyStyleVariables(std::string& text, const Scheme& scheme, bool has3dCart) {
  int count = 0;
  for (const StyleVariable& v : scheme.variables) {
    if (v.name.empty()) continue;
    std::string_view value = v.value;
    if (has3dCart && v.name == "%S_CELLBORDER%") value = "1";
    if (has3dCart && v.name == "%S_BORDER%") value = "6";
    count += ReplaceAll(text, v.name, value);
  }
  ReplaceAll(text, "%S_HEADING2%", "");
  ReplaceAll(text, "%S_HEADING3%", "");
  return count;
}

Status InstallProjectStyleTemplates(SchemeList& list, const StoreProject& project,
                                    const std::string& projectDir) {
  std::optional<SchemeIndex> at;
  if (project.settings.style) at = FindScheme(list, *project.settings.style);
  if (!at) at = list.current;
  if (!at || !list.At(*at)) {
    for (std::size_t c = 0; c < list.categories.size() && !at; ++c)
      if (!list.categories[c].schemes.empty()) at = SchemeIndex{c, 0};
  }
  const Scheme* scheme = at ? list.At(*at) : nullptr;
  if (!scheme) return Status::Error(ErrorKind::NotFound, "");
  CopySchemeTemplates(list.installDir, *scheme, projectDir);
  return Status::Ok();
}

void SetStyleTemplateHooks(LifecycleEnv& env, SchemeList& list, const StoreProject& project) {
  env.installStyleTemplates = [&list, &project](const std::string& projectDir) {
    return InstallProjectStyleTemplates(list, project, projectDir);
  };
  const std::string installDir = env.installDir;
  Prompter* prompter = env.prompter;
  env.upgradeTemplates = [installDir, prompter](StoreProject& opened,
                                                const std::string& projectDir) {
    if (prompter) (void)UpgradeProjectTemplates(opened, projectDir, installDir, *prompter);
  };
}

}  // namespace tolmi
