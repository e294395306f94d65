#include "builder/BuildDriver.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <vector>

#include "builder/FillTemplate.h"
#include "builder/OrderForm.h"
#include "builder/OutputFile.h"
#include "builder/PageFill.h"
#include "builder/Pages.h"
#include "builder/SiteFiles.h"
#include "builder/StoreIndex.h"
#include "util/Browser.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/PumpMessages.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace fs = std::filesystem;

namespace tolmi {

BuildSession::~BuildSession() {
  if (indexFile) std::fclose(indexFile);
}

std::string SlashPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    char c = path[i] == '\\' ? '/' : path[i];
    if (c == '/' && !out.empty() && out.back() == '/' && out.size() > 1) continue;
    out += c;
  }
  return out;
}

std::string FileNamePart(std::string_view path) {
  std::size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WebFile(std::string_view file) {
  std::string out(file);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

Scheme* BuildSession::CurrentScheme() {
  if (walkScheme) return walkScheme;
  return MakeSchemeCurrent(schemes, prompter);
}

std::string BuildSession::OutputPath(std::string_view name) const {
  return SlashPath(buildDir + "/" + std::string(name));
}

std::string BuildSession::InstallPath(std::string_view name) const {
  std::string slashed = SlashPath(name);
  if (!slashed.empty() && slashed.front() == '/') return slashed;
  return SlashPath(options.installDir + "/" + slashed);
}

std::string BuildSession::ProjectTemplatePath(std::string_view name) const {
  if (!templateFolder.empty()) return SlashPath(templateFolder + "/" + std::string(name));
  const std::string& dir = project.settings.projectDir;
  std::string upper = SlashPath(dir + "/Template/" + std::string(name));
  if (FileExists(upper)) return upper;
  return SlashPath(dir + "/template/" + std::string(name));
}

void BuildSession::StoreSupportChecksum(std::string_view name, std::string_view text,
                                        bool addWhenMissing) {
  for (SupportFile& file : supportFiles)
    if (file.name == name) {
      file.checksum = PageChecksum(text);
      return;
    }
  if (addWhenMissing)
    supportFiles.push_back({std::string(name), kShoppingCartGroup, PageChecksum(text)});
}

// An unchanged output file is left alone, so its stamp still matches the last upload
// and publishing skips it.
Status BuildSession::WriteOutputFile(const std::string& path, std::string_view text) {
  ExistingOutput existing = CompareOutput(path, text);
  if (existing.same) return Status::Ok();
  Result<std::string> temp = WriteOutputTemp(path, text, existing.mode);
  // No folder of that name: one whose name differs in case may take the file.
  if (!temp) return WriteFileAtomicUnsynced(path, text, true);
  if (existing.exists) return ReplaceWithTemp(*temp, path);
  return PlaceOutputFile(path, text, *temp);
}

std::unordered_map<std::string, std::string>& BuildSession::OutputFolderEntries(
    const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  if (folder.empty()) folder = "/";
  auto [at, added] = outputFolders.try_emplace(folder);
  std::unordered_map<std::string, std::string>& entries = at->second;
  if (added) {
    if (DIR* d = ::opendir(folder.c_str())) {
      while (struct dirent* e = ::readdir(d)) {
        std::string entry(e->d_name);
        if (entry == "." || entry == ".." || entry.find(".tmp-") != std::string::npos) continue;
        auto [known, fresh] = entries.try_emplace(ToLowerAscii(entry), entry);
        if (!fresh && entry < known->second) known->second = entry;
      }
      ::closedir(d);
    }
  }
  return entries;
}

Status BuildSession::PlaceOutputFile(const std::string& path, std::string_view text,
                                     const std::string& temp) {
  std::size_t slash = path.rfind('/');
  std::unordered_map<std::string, std::string>& entries = OutputFolderEntries(path);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string lower = ToLowerAscii(name);
  std::string target = path;
  if (auto known = entries.find(lower); known != entries.end())
    target =
        (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + known->second;
  if (target != path && FileHoldsBytes(target, text)) {
    ::unlink(temp.c_str());
    return Status::Ok();
  }
  Status written = ReplaceWithTemp(temp, target);
  if (written.ok()) {
    auto [known, fresh] = entries.try_emplace(lower, name);
    if (!fresh && name < known->second) known->second = name;
  }
  return written;
}

std::string ReadyLine() {
  return std::string(kProductName) + " v" + MajorVersionText() + "." + MinorVersionText() +
         " - Ready";
}

namespace {

bool IsShelfOrList(const StoreNode* node) {
  return node && (node->kind == NodeKind::Shelf || node->kind == NodeKind::List);
}

// Creates a folder with its parents; false only when it cannot be made.
bool MakeFolder(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec);
}

// Copies FROM over TO keeping FROM's modification time, as the desktop's file copy
// does: a picture that did not change keeps its stamp and is not published again.
bool CopyOver(const std::string& from, const std::string& to, std::error_code& ec) {
  ec.clear();
  // A copy made before (same size and stamp) is not made again.
  struct stat source, copy;
  if (::stat(from.c_str(), &source) == 0 && ::stat(to.c_str(), &copy) == 0 &&
      S_ISREG(source.st_mode) && S_ISREG(copy.st_mode) && source.st_size == copy.st_size &&
      source.st_mtim.tv_sec == copy.st_mtim.tv_sec && source.st_mtim.tv_nsec == copy.st_mtim.tv_nsec)
    return true;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  std::error_code stampError;
  const fs::file_time_type stamp = fs::last_write_time(from, stampError);
  if (!stampError) fs::last_write_time(to, stamp, stampError);
  return true;
}

std::string Normalise(std::string text) {
  for (char& c : text)
    if (c == '/') c = '\\';
  while (ReplaceAll(text, "\\\\", "\\") > 0) {
  }
  return text;
}

const StoreNode* FrameLoaderNodeForFtmp(BuildSession& session) {
  StoreNode* selected = session.project.selected;
  if (!selected) return RootNode(session.project);
  if (!selected->file.empty()) return selected;
  if (StoreNode* parent = ParentNode(*selected)) return parent;
  return RootNode(session.project);
}

const StoreNode* FrameLoaderNodeForIndex(BuildSession& session) {
  for (StoreNode* n = session.project.selected; n; n = NextSibling(*n))
    if (n->status >= 0) return n;
  return RootNode(session.project);
}

void WriteFtmp(BuildSession& session) {
  if (const StoreNode* node = FrameLoaderNodeForFtmp(session))
    WriteFrameLoader(session, node->file, "ftmp.htm");
}

bool Open(BuildSession& session, const std::string& target) {
  if (!session.launcher) return false;
  if (OpenInBrowser(*session.launcher, session.options.browserPath, target, 0)) return true;
  ShowBrowserError(session.prompter);
  return false;
}

}  // namespace

namespace {

// Copies a picture or linked file once per build (every later call gets the first
// outcome): `source` is tried when it names a file, otherwise nothing is copied.
BuildCopies::Outcome CopyOnce(BuildSession& session, const std::string& key,
                              const std::function<BuildCopies::Outcome()>& copy) {
  if (!session.copies) return copy();
  std::promise<BuildCopies::Outcome> promise;
  std::shared_future<BuildCopies::Outcome> outcome;
  bool mine = false;
  {
    std::lock_guard lock(session.copies->mutex);
    auto [at, added] = session.copies->done.try_emplace(key);
    if (added) {
      at->second = promise.get_future().share();
      mine = true;
    }
    outcome = at->second;
  }
  if (mine) promise.set_value(copy());
  return outcome.get();
}

BuildCopies::Outcome CopyFile(const std::string& source, const std::string& destination) {
  BuildCopies::Outcome outcome;
  outcome.destination = destination;
  if (!FileExists(source) || IsDirectory(source)) {
    outcome.kind = BuildCopies::Kind::NoSource;
  } else if (!CopyOver(source, destination, outcome.error)) {
    outcome.kind = BuildCopies::Kind::Failed;
  }
  return outcome;
}

}  // namespace

void CopyNodeFiles(BuildSession& session, StoreNode& item, const StoreNode& pageNode) {
  const std::string& pageFile = pageNode.file;
  if (!item.image.empty() &&
      !(item.image.find(':') != std::string::npos && StartsWithNoCase(item.image, "http"))) {
    std::string image = Normalise(item.image);
    if (image != item.image) {
      if (session.deferNodeEdits)
        session.imageEdits.emplace_back(&item, image);
      else
        item.image = image;
    }
    BuildCopies::Outcome outcome = CopyOnce(session, "i" + image, [&] {
      std::string name = FileNamePart(image);
      if (session.options.lowerCase) name = ToLowerAscii(name);
      std::string source = session.InstallPath(image);
      if (!session.project.settings.projectDir.empty() && !FileExists(source) &&
          image.front() != '\\')
        source = SlashPath(session.project.settings.projectDir + "/" + image);
      return CopyFile(source, session.OutputPath("img/" + name));
    });
    if (outcome.kind == BuildCopies::Kind::Failed) {
      if (outcome.error == std::errc::no_such_file_or_directory)
        session.log.Error("unable to copy image file (Path not found)");
      else if (outcome.error == std::errc::permission_denied)
        session.log.Error("unable to copy image file (Access Denied)");
      else
        session.log.Error("error: " + pageFile + ": unable to copy image file: '" + image +
                          "' to '" + outcome.destination + "'");
    } else if (outcome.kind == BuildCopies::Kind::NoSource) {
      session.log.Warning("warning: " + pageFile + ": unable to read image file: '" + image +
                          "'");
    }
  }
  const std::string& link = item.link;
  if (!link.empty() && link.find("//") == std::string::npos &&
      FindNoCase(link, ".htm") == kNotFound && FindNoCase(link, ".shtm") == kNotFound &&
      FindNoCase(link, ".phtm") == kNotFound) {
    BuildCopies::Outcome outcome = CopyOnce(session, "l" + link, [&] {
      std::string name =
          link.substr(link.rfind('/') == std::string::npos ? 0 : link.rfind('/') + 1);
      if (session.options.lowerCase) name = ToLowerAscii(name);
      std::string source = session.InstallPath(link);
      if (!session.project.settings.projectDir.empty() && !FileExists(source))
        source = SlashPath(session.project.settings.projectDir + "/" + link);
      return CopyFile(source, session.OutputPath("img/" + FileNamePart(name)));
    });
    if (outcome.kind == BuildCopies::Kind::Failed)
      session.log.Error("error: " + pageFile + ": unable to copy image link file: '" +
                        Normalise(link) + "' to '" + outcome.destination + "'");
    else if (outcome.kind == BuildCopies::Kind::NoSource)
      session.log.Warning("warning: " + pageFile + ": unable to read image link file: '" + link +
                          "'");
  }
}

bool WriteFrameLoader(BuildSession& session, const std::string& pageFile,
                      const std::string& outputName) {
  session.ShowLabel(outputName);
  std::string path = session.OutputPath(outputName);
  std::string text;
  if (session.options.indexText) {
    text = *session.options.indexText;
    std::string web = pageFile;
    PathToUrlPath(web);
    ReplaceUpTo(text, "$FILENAME", web, 5);
    ReplaceFirst(text, "$STORETITLE",
                 session.project.settings.storeTitle.empty() ? std::string("No Title")
                                                             : session.project.settings.storeTitle);
    ReplaceAll(text, "$MODE", session.project.settings.cartOnScreen ? "0" : "1");
  }
  if (!session.WriteOutputFile(path, text)) {
    session.log.Error("error: " + outputName + ": unable to create frame loader page '" + path +
                      "'");
    session.prompter.Show("ERROR S102: Unable to open HTML output file", "Error",
                          PromptIcon::Error);
    return false;
  }
  if (session.options.indexText) session.StoreSupportChecksum(outputName, text, false);
  return true;
}

void CopySchemeFiles(BuildSession& session) {
  if (Scheme* scheme =
          session.schemes.current ? session.schemes.At(*session.schemes.current) : nullptr) {
    for (const std::string& file : scheme->files) {
      std::string source = session.InstallPath(file);
      std::string destination = session.OutputPath(ToLowerAscii(FileNamePart(file)));
      std::error_code ec;
      if (!CopyOver(source, destination, ec))
        session.log.Error("error: scheme: copying schema file '" + source + "'");
    }
  }
  std::error_code ec;
  CopyOver(session.InstallPath("template/tolmi.js"), session.OutputPath("tolmi.js"), ec);
}

void BuildWalk(BuildSession& session, StoreNode* node, bool allSiblings) {
  // The walk's order first (an explicit stack of levels instead of recursion, so that
  // the depth of the tree does not matter; each level walks its node's children
  // before its own page), then the pages in that order.
  struct Level {
    StoreNode* node;
    bool allSiblings;
    bool childrenWalked;
  };
  std::vector<StoreNode*> pages;
  std::vector<Level> levels;
  if (node) levels.push_back({node, allSiblings, false});
  while (!levels.empty()) {
    StoreNode* n = levels.back().node;
    if (!levels.back().childrenWalked) {
      levels.back().childrenWalked = true;
      if (!n->children.empty() && n->kind != NodeKind::Product && n->status >= 0) {
        levels.push_back({n->children.front().get(), true, false});
        continue;
      }
    }
    if (n->status >= 0) pages.push_back(n);
    StoreNode* next = levels.back().allSiblings ? NextSibling(*n) : nullptr;
    if (next) {
      levels.back() = {next, true, false};
    } else {
      levels.pop_back();
    }
  }
  MakeWalkPages(session, pages);
}

BuildOutcome RunBuild(BuildSession& session) {
  StoreProject& project = session.project;
  StoreSettings& settings = project.settings;
  settings.rebuildDir = session.buildDir;
  SetVariable(project.variables, "$STORETITLE", settings.storeTitle);
  session.log.Clear();
  session.outputFolders.clear();  // the folders may have changed since the last build
  session.knownFolders.clear();
  session.log.AddLine(ReadyLine());
  session.log.AddLine("");
  std::string& dir = session.buildDir;
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/') && dir.size() > 1) dir.pop_back();
  if (dir.find(',') != std::string::npos || dir.empty()) {
    session.prompter.Show(kInvalidDirectoryMessage, "Error", PromptIcon::Error);
    return BuildOutcome::Refused;
  }
  for (const std::string& folder : {dir, session.OutputPath("img")}) {
    if (!MakeFolder(folder)) {
      session.log.Error("critical error: unable to create directory '" + folder + "'");
      session.log.AddLine("Build Stopped");
      return BuildOutcome::Stopped;
    }
  }
  bool anyScheme = false;
  for (const StyleCategory& category : session.schemes.categories)
    if (!category.schemes.empty()) anyScheme = true;
  if (!anyScheme) {
    session.log.AddLine("critical error: no scheme defined for current store");
    session.log.AddLine("Build Stopped");
    return BuildOutcome::Stopped;
  }
  session.CurrentScheme();
  session.log.errors = session.log.warnings = session.log.lineCount = 0;
  CheckUserVariableNames(session);
  if (session.supportFiles.empty())
    for (const char* name : {"tolmi.js", "register.html", "trolley.html", "tolmi.idx", "tolmi.tpl"})
      session.supportFiles.push_back({name, kShoppingCartGroup, 0});
  WriteSearchTemplate(session);
  WriteCartPage(session);
  WriteOrderForm(session);
  WriteFtmp(session);
  if (const StoreNode* node = FrameLoaderNodeForIndex(session))
    WriteFrameLoader(session, node->file, "index.html");
  std::string indexPath = session.OutputPath("tolmi.idx");
  if (session.indexFile) std::fclose(session.indexFile);
  std::remove(indexPath.c_str());
  session.indexFile = std::fopen(indexPath.c_str(), "wb");
  if (!session.indexFile) {
    session.prompter.Show("S108: Unable to write index file '" + indexPath + "'", "Error",
                          PromptIcon::Error);
  } else {
    std::string header = IndexHeader(project);
    std::fwrite(header.data(), 1, header.size(), session.indexFile);
  }
  session.stop = false;
  session.CurrentScheme();
  session.walking = true;
  session.pageTemplates.clear();
  session.copies = std::make_shared<BuildCopies>();
  if (!session.selectedOnly) {
    BuildWalk(session, RootNode(project), true);
  } else if (!session.selectedItems.empty()) {
    for (StoreNode* node : session.selectedItems) {
      BuildWalk(session, node, false);
      session.fileNames.clear();
    }
  } else if (project.selected) {
    BuildWalk(session, project.selected, false);
  }
  session.fileNames.clear();
  session.walking = false;
  session.pageTemplates.clear();
  session.copies.reset();
  if (session.indexFile) {
    std::fclose(session.indexFile);
    session.indexFile = nullptr;
    if (std::optional<std::string> written = ReadWholeFile(indexPath))
      session.StoreSupportChecksum("tolmi.idx", *written, false);
  }
  CopySchemeFiles(session);
  if (!session.selectedOnly) WriteSearchEngineFiles(session);
  session.log.AddLine("");
  session.log.AddLine(FormatText("Store Build Complete. (%i errors, %i warnings)",
                                 session.log.errors, session.log.warnings));
  session.ShowLabel("");
  if (!session.selectedOnly) {
    Open(session, session.OutputPath("index.html"));
  } else {
    WriteFtmp(session);
    Open(session, session.OutputPath("ftmp.htm"));
  }
  return session.stop ? BuildOutcome::Stopped : BuildOutcome::Completed;
}

std::string PreviewDirectory(const BuildSession& session) {
  std::string projectDir = SlashPath(session.project.settings.projectDir);
  while (projectDir.size() > 1 && projectDir.back() == '/') projectDir.pop_back();
  return session.InstallPath("Temp/" + FileNamePart(projectDir));
}

std::string PreviewNode(BuildSession& session, StoreNode& node) {
  if (session.buildDir.empty()) {
    session.buildDir = PreviewDirectory(session);
    MakeFolder(session.OutputPath("IMG"));
    MakeFolder(session.OutputPath("img"));
  }
  session.outputFolders.clear();
  session.knownFolders.clear();
  if (node.kind == NodeKind::Link) {
    std::string target =
        node.file.find("//") == std::string::npos ? session.OutputPath(node.file) : node.file;
    Open(session, target);
    return target;
  }
  StoreNode* subject = &node;
  if (StoreNode* parent = ParentNode(node); IsShelfOrList(parent)) subject = parent;
  if (!session.CurrentScheme()) return {};
  CopySchemeFiles(session);
  if (subject->file.empty()) {
    session.prompter.Show("A filename has not been specified for the current item.", "Build Error",
                          PromptIcon::Error);
    return {};
  }
  MakePage(session, *subject);
  WriteCartPage(session);
  WriteOrderForm(session);
  WriteFrameLoader(session, subject->file, "ftmp.htm");
  std::string target = session.OutputPath("ftmp.htm");
  Open(session, target);
  return target;
}

}  // namespace tolmi
