#include "project/Lifecycle.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "util/Files.h"
#include "util/SettingsTable.h"
#include "util/Strings.h"

namespace tolmi {
namespace fs = std::filesystem;

namespace {

void ShowError(const LifecycleEnv& env, const std::string& text) {
  env.prompter->Show(text, "Error", PromptIcon::Error);
}

bool IsDir(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool MakeDir(const fs::path& p) {
  std::error_code ec;
  fs::create_directories(p, ec);
  return IsDir(p);
}

// Copies a file, replacing the target atomically. False when either side fails.
bool CopyFileBytes(const std::string& from, const std::string& to) {
  std::optional<std::string> bytes = ReadWholeFile(from);
  if (!bytes) return false;
  // A copy of a private file (a project holding a password) stays private.
  AtomicWriteOptions options;
  options.ownerOnly = IsOwnerOnlyFile(from);
  return WriteFileAtomic(to, *bytes, options).ok();
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Copies the installation's order-form and confirmation templates into the
// project's "Template" folder, reporting each copy that fails.
void CopyOrderTemplates(const LifecycleEnv& env, const std::string& projectDir) {
  const fs::path templateDir = fs::path(projectDir) / "Template";
  struct Copy {
    const char* source;
    const char* target;
  };
  for (Copy c : {Copy{"order.dat", "order.htm"}, Copy{"confirm.dat", "confirm.htm"}}) {
    const std::string source =
        ResolveExistingPath((fs::path(env.installDir) / "template" / c.source).string());
    if (!CopyFileBytes(source, (templateDir / c.target).string()))
      ShowError(env, std::string("ERROR M101: Copying 'template\\") + c.source + "' template");
  }
}

void InstallStyleTemplates(const LifecycleEnv& env, const std::string& projectDir) {
  if (!env.installStyleTemplates) return;
  Status installed = env.installStyleTemplates(projectDir);
  if (!installed && !installed.message().empty()) ShowError(env, installed.message());
}

std::unique_ptr<StoreNode> StarterNode(const LifecycleEnv& env, NodeKind kind,
                                       const std::string& title, const char* file) {
  std::unique_ptr<StoreNode> node = CreateNode();
  node->kind = kind;
  node->title = title;
  node->page = title;
  node->file = file;
  node->status = 0;
  node->serial = env.serialCounter ? ++*env.serialCounter : 0;
  return node;
}

// Number of the backup suffix ("Toys.stp.7" -> 7); large for other names.
int BackupNumber(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) return 1 << 30;
  int n = 0;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 100000) return 1 << 30;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

void CollectTemplates(const StoreNode& node, std::vector<std::string>& out,
                      std::set<std::string>& seen) {
  if (!node.temp.empty() && seen.insert(ToLowerAscii(node.temp)).second) out.push_back(node.temp);
  for (const auto& child : node.children) CollectTemplates(*child, out, seen);
}

}  // namespace

std::string ProjectFilePath(const LifecycleEnv& env, const std::string& name) {
  return (fs::path(env.installDir) / "Projects" / name / (name + ".stp")).string();
}

std::string ProjectDirOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsInvalidProjectName(const std::string& name) {
  if (name.find_first_of("/\\,") != std::string::npos) return true;
  return name.empty() || name == "." || name == "..";
}

void AddStarterNodes(StoreProject& project, const LifecycleEnv& env,
                     const std::string& storeTitle) {
  AppendNode(project, nullptr, StarterNode(env, NodeKind::Category, storeTitle, "index.html"));
  AppendNode(project, nullptr, StarterNode(env, NodeKind::Page, "About Us", "about.html"));
  AppendNode(project, nullptr, StarterNode(env, NodeKind::Page, "News", "news.html"));
  AppendNode(project, nullptr, StarterNode(env, NodeKind::Page, "Contact Us", "contact.html"));
}

Status NewProject(ProjectSession& session, const LifecycleEnv& env, const std::string& name,
                  const std::string& storeTitle) {
  if (IsInvalidProjectName(name)) {
    ShowError(env, kInvalidProjectName);
    return Status::Error(ErrorKind::InvalidArgument, kInvalidProjectName);
  }
  const fs::path folder = fs::path(env.installDir) / "Projects" / name;
  if (!MakeDir(folder / "Web") || !MakeDir(folder / "Template")) {
    const std::string message =
        "Unable to create a new Project Directory '" + folder.string() + "'.";
    ShowError(env, message);
    return Status::Error(ErrorKind::Io, message);
  }
  Result<std::shared_ptr<FileLock>> lock = LockProject(ProjectFilePath(env, name));
  if (!lock) {
    ShowError(env, lock.status().message());
    return lock.status();
  }
  session.lock = *lock;
  session.readShort = false;
  session.templateUpgradeDue = false;
  session.path = ProjectFilePath(env, name);
  // Only the tree is emptied: the settings the wizard gathered stay.
  while (StoreNode* node = RootNode(session.project)) FreeNode(session.project, node);
  session.project.settings.storeTitle = storeTitle;
  AddStarterNodes(session.project, env, storeTitle);
  session.project.settings.projectDir = ProjectDirOf(session.path);
  CopyOrderTemplates(env, session.project.settings.projectDir);
  InstallStyleTemplates(env, session.project.settings.projectDir);
  LoadProjectTemplates(session);
  return Status::Ok();
}

void LoadProjectTemplates(ProjectSession& session) {
  const std::string dir = session.project.settings.projectDir;
  session.orderTemplate.clear();
  session.confirmTemplate.clear();
  session.orderTemplateChanged = false;
  session.confirmTemplateChanged = false;
  session.templateList.clear();
  if (dir.empty()) return;
  const std::string templateDir = ResolveExistingPath(dir + "/Template");
  session.orderTemplate =
      ReadWholeFile(ResolveExistingPath(templateDir + "/order.htm")).value_or("");
  session.confirmTemplate =
      ReadWholeFile(ResolveExistingPath(templateDir + "/confirm.htm")).value_or("");
  std::error_code ec;
  for (fs::directory_iterator it(templateDir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    if (!EndsWithNoCase(name, ".htm")) continue;
    if (EqualsNoCase(name, "order.htm") || EqualsNoCase(name, "confirm.htm")) continue;
    session.templateList.push_back(name);
  }
  std::sort(session.templateList.begin(), session.templateList.end());
}

Result<std::shared_ptr<FileLock>> LockProject(const std::string& path,
                                              std::chrono::milliseconds wait) {
  const std::string dir = ProjectDirOf(path);
  const std::string lockPath = (dir.empty() ? "." : dir) + "/." + FileNameOf(path) + ".lock";
  Result<FileLock> lock = FileLock::Acquire(lockPath, "The project '" + path + "'", wait);
  if (!lock) return lock.status();
  return std::make_shared<FileLock>(std::move(*lock));
}

namespace {

// Removes the temporary files that saves of the project file at path (and of its
// backups) left when they were interrupted: ".<file>.tmp-*" beside the file and
// ".<file>.<n>.tmp-*" in "Backup". The caller holds the project's lock, so no save
// of this project is running.
void RemoveInterruptedSaves(const std::string& path) {
  const std::string dir = ProjectDirOf(path).empty() ? "." : ProjectDirOf(path);
  const std::string prefix = "." + FileNameOf(path).substr(0, 200);
  for (const std::string& folder : {dir, ResolveExistingPath(dir + "/Backup")}) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const std::size_t tmp = name.find(".tmp-", prefix.size());
      if (tmp == std::string::npos || name.size() != tmp + 11) continue;
      std::string_view between = std::string_view(name).substr(prefix.size(), tmp - prefix.size());
      if (!between.empty() &&
          (between[0] != '.' || between.find_first_not_of("0123456789", 1) != std::string::npos))
        continue;
      std::error_code removed;
      fs::remove(it->path(), removed);
    }
  }
}

std::string WithPath(const char* format, const std::string& path) {
  std::string text = format;
  text.replace(text.find("%s"), 2, path);
  return text;
}

}  // namespace

Status OpenProject(ProjectSession& session, const LifecycleEnv& env, std::string path) {
  if (FileNameOf(path).find('.') == std::string::npos) path += ".stp";
  const std::string resolved = ResolveExistingPath(path);
  // Another program with the project open keeps it: nothing here changes.
  std::shared_ptr<FileLock> lock;
  if (FileExists(resolved) && !IsDirectory(resolved)) {
    Result<std::shared_ptr<FileLock>> locked = LockProject(resolved);
    if (!locked) {
      ShowError(env, locked.status().message());
      return locked.status();
    }
    lock = *locked;
  }
  session.path = path;
  StoreProject& project = session.project;
  ClearProject(project, env.fileContext.installedCards);
  Result<ProjectReadStats> read =
      ReadProjectFile(project, resolved, nullptr, false, env.fileContext);
  if (!read) {
    ShowError(env, read.status().message());
    ShowError(env, "ERROR S105: Unable to open project file");
    ClearProject(project, env.fileContext.installedCards);
    session.path.clear();
    session.lock.reset();
    session.readShort = false;
    session.templateUpgradeDue = false;
    LoadProjectTemplates(session);
    return read.status();
  }
  session.lock = std::move(lock);
  RemoveInterruptedSaves(resolved);
  session.readShort = read->cutShort;
  if (session.readShort)
    env.prompter->Show(WithPath(kProjectCutShortWarning, path), "Warning", PromptIcon::Warning);
  project.settings.projectDir = ProjectDirOf(path);
  session.templateUpgradeDue =
      env.upgradeTemplates && project.settings.version < kTemplatesCurrentFrom;
  project.changed = false;
  LoadProjectTemplates(session);
  return Status::Ok();
}

Status MakeBackup(const std::string& path) {
  if (path.empty()) return Status::Error(ErrorKind::InvalidArgument, "No project file");
  const fs::path dir = fs::path(ProjectDirOf(path).empty() ? "." : ProjectDirOf(path));
  const fs::path backupDir = dir / "Backup";
  if (!MakeDir(backupDir))
    return Status::Error(ErrorKind::Io,
                         "Unable to create the backup folder '" + backupDir.string() + "'");
  const std::string base = (backupDir / FileNameOf(path)).string();
  std::error_code ec;
  fs::remove(base + "." + std::to_string(kBackupCount), ec);
  for (int n = kBackupCount - 1; n >= 1; --n) {
    const std::string from = base + "." + std::to_string(n);
    if (fs::exists(from, ec)) fs::rename(from, base + "." + std::to_string(n + 1), ec);
  }
  const std::string current = ResolveExistingPath(path);
  if (!fs::is_regular_file(current, ec)) return Status::Ok();  // nothing saved yet
  // The save replaces the file by a new one, so ".1" can be a second name of the old
  // file: made at once and whole. Where that fails, a copy written atomically.
  fs::remove(base + ".1", ec);
  fs::create_hard_link(current, base + ".1", ec);
  if (!ec) return Status::Ok();
  if (!CopyFileBytes(current, base + ".1"))
    return Status::Error(ErrorKind::Io, "Unable to write the backup '" + base + ".1'");
  return Status::Ok();
}

namespace {

// Writes the project file; reports a failed write with "S101: File Write Error".
Status WriteSession(ProjectSession& session, const LifecycleEnv& env,
                    const std::function<void()>& beforeReplace = {}) {
  Status written = WriteProjectFile(session.project, session.path, *env.prompter, *env.clock,
                                    env.versionNumber, env.saveProgress, beforeReplace);
  if (!written) {
    if (written.kind() == ErrorKind::Cancelled) return written;
    ShowError(env, "S101: File Write Error");
    return Status::Error(written.kind(), "S101: File Write Error");
  }
  // The templates edited in the order-form and confirmation editors go with the project.
  Status templates = Status::Ok();
  const std::string templateDir =
      ResolveExistingPath(session.project.settings.projectDir + "/Template");
  auto writeTemplate = [&](bool& changed, const std::string& text, const char* name) {
    if (!changed) return;
    const std::string path = ResolveExistingPath(templateDir + "/" + name);
    if (Status status = WriteFileAtomic(path, text); !status) {
      std::string message = kTemplateWriteError;
      message.replace(message.find("%s"), 2, path);
      ShowError(env, message);
      templates = Status::Error(ErrorKind::Io, message);
      return;
    }
    changed = false;
  };
  writeTemplate(session.orderTemplateChanged, session.orderTemplate, "order.htm");
  writeTemplate(session.confirmTemplateChanged, session.confirmTemplate, "confirm.htm");
  if (env.saveInvoiceTemplates)
    if (Status invoices = env.saveInvoiceTemplates(); !invoices && templates) templates = invoices;
  if (!templates) session.project.changed = true;
  return templates;
}

}  // namespace

Status SaveProject(ProjectSession& session, const LifecycleEnv& env) {
  if (session.path.empty())
    return Status::Error(ErrorKind::InvalidArgument, "No project file to save to");
  if (session.readShort) {
    PromptAnswer answer = env.prompter->Ask(WithPath(kProjectCutShortQuestion, session.path),
                                            "Confirmation", PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes)
      return Status::Error(ErrorKind::Cancelled, "The project was not saved.");
  }
  // The backups rotate only once the new file is completely written, so a save that
  // does not finish leaves them as they were. A backup that cannot be made is
  // reported; the save still goes ahead, since the atomic write cannot damage the file.
  const std::string path = session.path;
  Status written = WriteSession(session, env, [&env, path] {
    if (Status backup = MakeBackup(path); !backup) ShowError(env, backup.message());
  });
  if (!written) return written;
  session.readShort = false;
  if (session.templateUpgradeDue && env.upgradeTemplates) {
    session.templateUpgradeDue = false;
    env.upgradeTemplates(session.project, session.project.settings.projectDir);
    session.project.changed = false;
    LoadProjectTemplates(session);
  }
  if (env.writeConfiguration) env.writeConfiguration();
  return Status::Ok();
}

Status AskToSaveChanges(ProjectSession& session, const LifecycleEnv& env) {
  if (!session.project.changed) return Status::Ok();
  PromptAnswer answer =
      env.prompter->Ask(kSaveChangesQuestion, kSaveChangesTitle, PromptButtons::YesNo);
  if (answer != PromptAnswer::Yes) return Status::Ok();
  return SaveProject(session, env);
}

std::string CleanSaveAsName(const std::string& typed) {
  std::string name = typed;
  std::replace(name.begin(), name.end(), ',', '_');
  if (name.size() > kMaxSaveAsNameLength) name.resize(kMaxSaveAsNameLength);
  return name;
}

Status SaveProjectAs(ProjectSession& session, const LifecycleEnv& env, const std::string& typed) {
  const std::string name = CleanSaveAsName(typed);
  if (name.empty()) return Status::Error(ErrorKind::Cancelled, "");
  // Slashes would place the project outside "Projects".
  if (IsInvalidProjectName(name)) {
    ShowError(env, kInvalidProjectName);
    return Status::Error(ErrorKind::InvalidArgument, kInvalidProjectName);
  }
  const fs::path folder = fs::path(env.installDir) / "Projects" / name;
  std::error_code ec;
  if (fs::exists(folder, ec)) {
    PromptAnswer answer =
        env.prompter->Ask(kOverwriteFolderQuestion, "Confirmation", PromptButtons::YesNoCancel);
    if (answer != PromptAnswer::Yes) return Status::Error(ErrorKind::Cancelled, "");
  }
  if (!MakeDir(folder)) {
    const std::string message =
        "Unable to create a new Project Directory '" + folder.string() + "'.";
    ShowError(env, message);
    return Status::Error(ErrorKind::Io, message);
  }
  Result<std::shared_ptr<FileLock>> lock = LockProject((folder / (name + ".stp")).string());
  if (!lock) {
    ShowError(env, lock.status().message());
    return lock.status();
  }
  const std::string oldPath = session.path;
  StoreSettings& settings = session.project.settings;
  settings.projectDir = folder.string();
  MakeDir(folder / "Web");
  settings.rebuildDir = (folder / "Web").string();
  MakeDir(folder / "Template");
  session.path = (folder / (name + ".stp")).string();

  if (!oldPath.empty()) {
    const std::string oldFile = FileNameOf(oldPath);
    const size_t dot = oldFile.rfind('.');
    const std::string oldBase = dot == std::string::npos ? oldFile : oldFile.substr(0, dot);
    const fs::path oldDir = ProjectDirOf(oldPath).empty() ? "." : ProjectDirOf(oldPath);
    if (!fs::equivalent(oldDir, folder, ec)) {
      for (fs::directory_iterator it(oldDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string file = it->path().filename().string();
        if (file == oldFile || file.size() <= oldBase.size() + 1) continue;
        if (file.compare(0, oldBase.size() + 1, oldBase + ".") != 0) continue;
        const std::string extension = file.substr(oldBase.size());  // ".bak"
        CopyFileBytes(it->path().string(), (folder / (name + extension)).string());
      }
    }
  }
  CopyOrderTemplates(env, settings.projectDir);
  InstallStyleTemplates(env, settings.projectDir);
  settings.version = 0;
  // The new folder has the current templates; what was read is saved under a new name.
  session.lock = *lock;
  session.readShort = false;
  session.templateUpgradeDue = false;
  Status written = WriteSession(session, env);
  LoadProjectTemplates(session);
  return written;
}

namespace {

// Why the bytes of a backup cannot be restored; empty when they read whole.
std::string BackupProblem(const std::optional<std::string>& bytes) {
  if (!bytes) return "it cannot be read";
  const ProjectFileCheck check = CheckProjectBytes(*bytes);
  if (!check.isProject) return "damaged: it is not a project file";
  if (check.cutShort) return "damaged: it was cut short";
  return std::string();
}

}  // namespace

std::vector<BackupEntry> ListBackups(const std::string& projectPath) {
  std::vector<BackupEntry> list;
  const std::string dir = ProjectDirOf(projectPath);
  const std::string backupDir = ResolveExistingPath((dir.empty() ? "." : dir) + "/Backup");
  std::error_code ec;
  for (fs::directory_iterator it(backupDir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    BackupEntry entry;
    entry.name = it->path().filename().string();
    if (entry.name.starts_with(".")) continue;  // an interrupted save's temporary file
    entry.path = it->path().string();
    entry.size = FileSize(entry.path);
    std::optional<std::string> bytes = ReadWholeFile(entry.path);
    if (bytes) {
      LineReader reader(bytes->substr(0, bytes->find('\n')));
      std::string first;
      if (reader.Next(first) && first.compare(0, 5, "TIME=") == 0)
        entry.time = static_cast<std::time_t>(ParseDecimal(std::string_view(first).substr(5)));
    }
    entry.problem = BackupProblem(bytes);
    list.push_back(std::move(entry));
  }
  std::sort(list.begin(), list.end(), [](const BackupEntry& a, const BackupEntry& b) {
    int na = BackupNumber(a.name), nb = BackupNumber(b.name);
    return na != nb ? na < nb : a.name < b.name;
  });
  return list;
}

Status RestoreBackup(ProjectSession& session, const LifecycleEnv& env, const BackupEntry& backup) {
  if (session.path.empty())
    return Status::Error(ErrorKind::InvalidArgument, "No project file to restore");
  // Checked again as it is now: a damaged backup must not replace the project file.
  if (std::string problem = BackupProblem(ReadWholeFile(backup.path)); !problem.empty()) {
    const std::string message =
        "The backup '" + backup.name + "' cannot be restored (" + problem + ").";
    ShowError(env, message);
    return Status::Error(ErrorKind::Corrupt, message);
  }
  PromptAnswer answer =
      env.prompter->Ask(kRevertQuestion, "Confirmation", PromptButtons::YesNoCancel);
  if (answer != PromptAnswer::Yes) return Status::Error(ErrorKind::Cancelled, "");
  // Not under another program that has the project open.
  Result<std::shared_ptr<FileLock>> lock = LockProject(ResolveExistingPath(session.path));
  if (!lock) {
    ShowError(env, lock.status().message());
    return lock.status();
  }
  if (!CopyFileBytes(backup.path, session.path)) {
    const std::string message = "S101: File Write Error";
    ShowError(env, message);
    return Status::Error(ErrorKind::Io, message);
  }
  const std::string path = session.path;
  Status opened = OpenProject(session, env, path);
  if (!opened) {
    // The backup could not be read: start again from the starter pages.
    session.path = path;
    session.project.settings.projectDir = ProjectDirOf(path);
    AddStarterNodes(session.project, env, session.project.settings.storeTitle);
    LoadProjectTemplates(session);
  }
  return opened;
}

Status MergeProject(ProjectSession& session, const LifecycleEnv& env, const std::string& file,
                    StoreNode* selected) {
  StoreProject& project = session.project;
  const bool emptyTree = project.top().children.empty();
  if (!selected && !emptyTree)
    return Status::Error(ErrorKind::InvalidArgument, "No node is selected to merge under");
  const std::string path = ResolveExistingPath(file);
  if (!FileExists(path) || IsDirectory(path)) {
    const std::string message = "S105: Unable to read project file '" + file + "'";
    ShowError(env, message);
    return Status::Error(ErrorKind::NotFound, message);
  }
  StoreNode* holderNode = nullptr;  // null means the top level
  if (!emptyTree) {
    const NodeKind kind = selected->kind;
    if (kind == NodeKind::Product || kind == NodeKind::Page || kind == NodeKind::Link)
      holderNode = ParentNode(*selected);
    else
      holderNode = selected;
  }
  StoreNode& holder = holderNode ? *holderNode : project.top();
  const size_t before = holder.children.size();
  Result<ProjectReadStats> read =
      ReadProjectFile(project, path, holderNode, !emptyTree, env.fileContext);
  if (!read) {
    const std::string message = "S105: Unable to read project file '" + file + "'";
    ShowError(env, message);
    return Status::Error(ErrorKind::NotFound, message);
  }

  std::vector<std::string> templates;
  std::set<std::string> seen;
  for (size_t i = before; i < holder.children.size(); ++i)
    CollectTemplates(*holder.children[i], templates, seen);
  const std::string ownDir = project.settings.projectDir;
  const std::string otherDir = ProjectDirOf(path);
  if (!ownDir.empty()) {
    const std::string ownTemplates = ResolveExistingPath(ownDir + "/Template");
    const std::string otherTemplates =
        ResolveExistingPath((otherDir.empty() ? "." : otherDir) + "/Template");
    for (const std::string& name : templates) {
      // A template name is a plain file name; anything else is not copied.
      if (name.find_first_of("/\\") != std::string::npos || name == "..") continue;
      const std::string target = ResolveExistingPath(ownTemplates + "/" + name);
      if (FileExists(target)) continue;
      const std::string source = ResolveExistingPath(otherTemplates + "/" + name);
      if (FileExists(source)) CopyFileBytes(source, ownTemplates + "/" + name);
    }
  }
  project.changed = true;
  return Status::Ok();
}

}  // namespace tolmi
