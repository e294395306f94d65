#include "net/Publish.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <unordered_map>

#include "builder/SiteFiles.h"
#include "net/EventLoop.h"
#include "net/FtpClient.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

std::string Slashed(std::string_view path) {
  std::string s(path);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

std::string AfterLastSeparator(std::string_view path) {
  std::size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

// An address such as "http://host/pic.gif": left on the web, never published.
bool IsWebAddress(std::string_view path) {
  return StartsWithNoCase(path, "http") && path.find(':') != std::string_view::npos;
}

// A linked file the build copies into "img": no address and no page of the store.
bool IsCopiedLinkFile(std::string_view link) {
  if (link.empty() || IsWebAddress(link) || link.find("//") != std::string_view::npos) return false;
  for (const char* page : {".htm", ".shtm", ".phtm"})
    if (FindNoCase(link, page) != kNotFound) return false;
  return true;
}

// Last-write time in 100 ns units since 1601; false when the file cannot be examined.
bool FileTicks(const std::string& path, std::int64_t& ticks) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  ticks = (static_cast<std::int64_t>(st.st_mtim.tv_sec) + 11644473600LL) * 10000000LL +
          st.st_mtim.tv_nsec / 100;
  return true;
}

std::int32_t LowBits(std::int64_t ticks) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks)));
}

// Socket errors that mean the host or network is unreachable are not shown.
bool IsQuietSocketError(int error) {
  switch (error) {
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ENOBUFS:
    case EISCONN:
    case ENOTCONN:
    case ESHUTDOWN:
    case ETOOMANYREFS:
    case ETIMEDOUT:
    case ECONNREFUSED:
    case ELOOP:
    case ENAMETOOLONG:
    case EHOSTDOWN:
    case EHOSTUNREACH:
      return true;
    default:
      return false;
  }
}

const char* ErrorText(int n) {
  switch (n) {
    case kFtpErrorListen:
      return "Error L101: Socket Error (listen)";
    case kFtpErrorSocket:
      return "Error L102: Unable to get Socket (socket)";
    case kFtpErrorBind:
      return "Error L103: Unable to bind socket (bind)";
    case kFtpErrorRegister:
      return "Error L104: Registering Socket Failed (WSAAsyncSelect)";
    case kFtpErrorAddress:
      return "Error L105: Unable to get socket info. (getsockname)";
    case kFtpErrorMemory:
      return "Error L106: Out of Memory";
    default:
      return nullptr;
  }
}

}  // namespace

std::string PublishLogLine(std::string_view line) {
  std::string text(line);
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 2);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  if (text.compare(0, 5, "PASS ") == 0) std::fill(text.begin() + 5, text.end(), '*');
  return text;
}

std::int32_t PublishFileStamp(const std::string& path) {
  std::int64_t ticks = 0;
  return FileTicks(path, ticks) ? LowBits(ticks) : 0;
}

std::string CompareText(const CompareCounts& counts) {
  return FormatText("Compare: %i files total, %i to transfer", counts.total, counts.toTransfer);
}

std::string RemoteName(const std::string& remoteDir, const std::string& relativePath) {
  std::string name = TrimTrailingBlanks(remoteDir);
  if (!name.empty()) name += '/';
  name += ToLowerAscii(relativePath);
  PathToUrlPath(name);
  return TrimTrailingBlanks(std::move(name));
}

PublishSession::PublishSession(StoreProject& project, EventLoop& loop, std::string webDir,
                               std::string installDir, std::vector<std::string> templateFiles)
    : project_(project),
      loop_(loop),
      webDir_(std::move(webDir)),
      installDir_(std::move(installDir)),
      templateFiles_(std::move(templateFiles)) {
  while (webDir_.size() > 1 && (webDir_.back() == '/' || webDir_.back() == '\\'))
    webDir_.pop_back();
}

PublishSession::~PublishSession() {
  hooks = PublishHooks{};
  Cancel();
}

// ---- the list ----

void PublishSession::AddFileEntry(StoreNode* node, const std::string& title,
                                  const std::string& path, UploadKind kind, std::int32_t lastStamp,
                                  const std::string& sourcePath) {
  UploadEntry entry;
  entry.node = node;
  entry.title = title;
  entry.path = path;
  entry.kind = kind;
  entry.lastStamp = lastStamp;
  entry.sourcePath = sourcePath;
  entries_.push_back(std::move(entry));
}

void PublishSession::AddNodeEntries(StoreNode& node) {
  const std::string title = DisplayName(node);
  if (!node.file.empty()) {
    UploadEntry page;
    page.node = &node;
    page.title = title;
    page.path = Slashed(TrimTrailingBlanks(node.file));
    page.kind = UploadKind::Page;
    page.size = node.builtSize;
    page.checksum = node.builtChecksum;
    page.digest = node.builtDigest;
    page.lastSize = node.publishedSize;
    page.lastChecksum = node.publishedChecksum;
    page.lastDigest = node.publishedDigest;
    entries_.push_back(std::move(page));
  }
  auto source = [this](const std::string& file) {
    std::string path = Slashed(file);
    if (!path.empty() && path[0] != '/') path = installDir_ + "/" + path;
    return ResolveExistingPath(path);
  };
  if (!node.image.empty() && !IsWebAddress(node.image)) {
    std::string path = "img/" + AfterLastSeparator(TrimTrailingBlanks(node.image));
    PathToUrlPath(path);
    AddFileEntry(&node, title, path, UploadKind::Image, node.imageStamp, source(node.image));
  }
  if (IsCopiedLinkFile(node.link)) {
    std::string path = "img/" + AfterLastSeparator(Slashed(TrimTrailingBlanks(node.link)));
    PathToUrlPath(path);
    AddFileEntry(&node, title, path, UploadKind::LinkFile, node.linkStamp, source(node.link));
  }
}

void PublishSession::BuildList() {
  entries_.clear();
  ForEachNode(project_, [this](StoreNode& node) {
    // Disabled nodes and links have no page; the nodes below them are still visited.
    if (node.Enabled() && node.kind != NodeKind::Link) AddNodeEntries(node);
  });

  auto addGroup = [this](const std::vector<std::string>& names, std::vector<UploadStamp>& stamps,
                         const char* title, UploadKind kind) {
    std::unordered_map<std::string, std::int32_t> last;
    for (const UploadStamp& s : stamps) last[ToLowerAscii(s.fileName)] = s.stamp;
    std::set<std::string> seen;
    std::vector<std::string> all = names;
    for (const UploadStamp& s : stamps) all.push_back(s.fileName);
    for (const std::string& name : all) {
      if (name.empty() || !seen.insert(ToLowerAscii(name)).second) continue;
      auto found = last.find(ToLowerAscii(name));
      AddFileEntry(nullptr, title, name, kind, found == last.end() ? 0 : found->second, "");
    }
  };
  std::vector<std::string> cart(std::begin(kCartFileNames), std::end(kCartFileNames));
  if (!StoreBaseAddress(project_.settings.storeAddress).empty())
    cart.insert(cart.end(), std::begin(kSearchEngineFileNames), std::end(kSearchEngineFileNames));
  addGroup(cart, project_.cartStamps, "Shopping Cart", UploadKind::CartFile);
  std::vector<std::string> style;
  for (const std::string& file : templateFiles_) {
    std::string name = ToLowerAscii(AfterLastSeparator(file));
    if (!name.empty()) style.push_back(name);
  }
  addGroup(style, project_.templateStamps, "Template", UploadKind::TemplateFile);
}

int PublishSession::FindEntry(std::string_view path) const {
  std::string wanted = Slashed(path);
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (EqualsNoCase(entries_[i].path, wanted)) return static_cast<int>(i);
  return -1;
}

std::string PublishSession::LocalPath(const UploadEntry& entry) const {
  return ResolveExistingPath(webDir_ + "/" + TrimTrailingBlanks(entry.path));
}

std::string PublishSession::DestinationText() const {
  const StoreSettings& s = project_.settings;
  return s.ftpUser + ":" + s.ftpServer + s.ftpDir;
}

// A copied picture or linked file keeps the stamp of its source while the copy is
// at least as new, so that rebuilding (which copies again) does not send it again.
void PublishSession::TakeCurrentValues(UploadEntry& entry) const {
  if (entry.kind == UploadKind::Page && entry.node) {
    entry.size = entry.node->builtSize;
    entry.checksum = entry.node->builtChecksum;
    entry.digest = entry.node->builtDigest;
  } else {
    entry.stamp = CurrentStamp(entry);
  }
}

std::int32_t PublishSession::CurrentStamp(UploadEntry& entry) const {
  std::int64_t copy = 0;
  if (!FileTicks(LocalPath(entry), copy)) return 0;
  std::int64_t source = 0;
  if (!entry.sourcePath.empty() && FileTicks(entry.sourcePath, source) && copy >= source)
    return LowBits(source);
  return LowBits(copy);
}

void PublishSession::StoreListStamp(std::vector<UploadStamp>& list, const std::string& name,
                                    std::int32_t stamp) {
  for (UploadStamp& s : list) {
    if (EqualsNoCase(s.fileName, name)) {
      s.stamp = stamp;
      return;
    }
  }
  list.push_back({name, stamp});
}

void PublishSession::SetLastValues(UploadEntry& entry, std::int32_t size, std::int32_t checksum,
                                   const std::string& digest, std::int32_t stamp) {
  entry.lastSize = size;
  entry.lastChecksum = checksum;
  entry.lastDigest = digest;
  entry.lastStamp = stamp;
  switch (entry.kind) {
    case UploadKind::Page:
      if (entry.node) {
        entry.node->publishedSize = size;
        entry.node->publishedChecksum = checksum;
        entry.node->publishedDigest = digest;
      }
      break;
    case UploadKind::Image:
      if (entry.node) entry.node->imageStamp = stamp;
      break;
    case UploadKind::LinkFile:
      if (entry.node) entry.node->linkStamp = stamp;
      break;
    case UploadKind::CartFile:
      StoreListStamp(project_.cartStamps, entry.path, stamp);
      break;
    case UploadKind::TemplateFile:
      StoreListStamp(project_.templateStamps, entry.path, stamp);
      break;
  }
  project_.changed = true;
}

// ---- compare ----

CompareCounts PublishSession::Compare() {
  const std::string destination = DestinationText();
  const bool elsewhere = !project_.settings.lastDestination.empty() &&
                         project_.settings.lastDestination != destination;
  CompareCounts counts;
  counts.total = static_cast<int>(entries_.size());
  for (UploadEntry& entry : entries_) {
    TakeCurrentValues(entry);
    if (!FileExists(LocalPath(entry))) {
      entry.status = kUploadMissing;
    } else if (elsewhere) {
      // Published to another server or folder before: everything goes again.
      SetLastValues(entry, 0, 0, "", 0);
      entry.status = kUploadTransfer;
    } else if (entry.kind == UploadKind::Page) {
      bool current = entry.lastSize != 0 && entry.lastSize == entry.size &&
                     entry.lastChecksum != 0 && entry.lastChecksum == entry.checksum &&
                     entry.lastDigest == entry.digest;
      entry.status = current ? kUploadCurrent : kUploadTransfer;
    } else {
      entry.status = entry.stamp != entry.lastStamp ? kUploadTransfer : kUploadCurrent;
    }
    if (entry.status == kUploadTransfer) ++counts.toTransfer;
  }
  if (project_.settings.lastDestination != destination) {
    project_.settings.lastDestination = destination;
    project_.changed = true;
  }
  std::string text = CompareText(counts);
  ShowStatus(text);
  Log(text);
  if (hooks.refresh) hooks.refresh();
  return counts;
}

// ---- connection ----

Status PublishSession::Connect() {
  const StoreSettings& s = project_.settings;
  if (control_) return Status::Ok();
  if (s.ftpServer.empty())
    return Status::Error(ErrorKind::InvalidArgument, "No FTP server is entered for this project.");
  if (!engineStarted_) {
    if (!FtpStartup(loop_, timeoutMs,
                    [this](int code, FtpConnection* c, std::int64_t number,
                           const std::string& text) { OnNote(code, c, number, text); })) {
      return Status::Error(ErrorKind::Network, "The FTP engine is already in use.");
    }
    engineStarted_ = true;
  }
  server_ = s.ftpServer;
  Log("Connecting to " + server_);
  int port = std::atoi(s.ftpPort.c_str());
  if (port < 0 || port > 65535) port = 0;
  loggedIn_ = false;
  failedBeforeConnect_ = failed_;
  control_ = FtpConnect(s.ftpUser, s.ftpPassword, s.ftpAccount, s.ftpServer, port,
                        [this](FtpConnection&, int result) {
                          loggedIn_ = result == 1;
                          if (loggedIn_) {
                            Sound("FtpConnect");
                          } else {
                            Log("Login failed");
                          }
                          if (hooks.loginDone) hooks.loginDone(loggedIn_);
                          if (loggedIn_ && sendMarkedAfterLogin_) {
                            sendMarkedAfterLogin_ = false;
                            std::vector<int> rows;
                            for (std::size_t i = 0; i < entries_.size(); ++i)
                              if (entries_[i].marked) rows.push_back(static_cast<int>(i));
                            MakeRemoteDirectories(rows);
                            SendRows(rows);
                          }
                        });
  if (!control_)
    return Status::Error(ErrorKind::InvalidArgument, "The FTP settings cannot be used.");
  control_->passive = s.passiveFtp;
  return Status::Ok();
}

void PublishSession::Disconnect() {
  if (!control_ && helpers_.empty()) return;
  Log("Disconnecting " + server_);
  // As the uploads FtpQuit drops, the rows not yet given out fail now.
  FailWaitingRows();
  for (FtpConnection* helper : std::vector<FtpConnection*>(helpers_)) FtpQuit(helper);
  if (control_) FtpQuit(control_);
}

void PublishSession::Cancel() {
  if (engineStarted_) {
    engineStarted_ = false;
    FtpShutdown();  // data connection first, then the control connection
  }
  control_ = nullptr;
  helpers_.clear();
  FailWaitingRows();
  sharing_ = false;
  loggedIn_ = false;
  sendMarkedAfterLogin_ = false;
}

bool PublishSession::busy() const {
  if (control_ != nullptr && !control_->queue.empty()) return true;
  if (!sharing_) return false;
  if (!waiting_.empty()) return true;
  for (const FtpConnection* helper : helpers_)
    if (!helper->queue.empty()) return true;
  return false;
}

// ---- uploading ----

void PublishSession::MakeRemoteDirectories(const std::vector<int>& rows,
                                           std::function<void(FtpConnection&)> made) {
  if (!control_) return;
  std::string dir = TrimTrailingBlanks(project_.settings.ftpDir);
  PathToUrlPath(dir);
  std::vector<std::string> folders;
  if (!dir.empty()) {
    std::string made = dir;
    if (made.size() > 1 && made.back() == '/') made.pop_back();
    folders.push_back(made);
  }
  folders.push_back(RemoteName(project_.settings.ftpDir, "img"));
  // Folders of pages kept below the web directory ("shop/a.htm"), parents first.
  std::set<std::string> more;
  for (int row : rows) {
    const std::string& path = entries_[static_cast<std::size_t>(row)].path;
    for (std::size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
      more.insert(ToLowerAscii(path.substr(0, cut)));
  }
  for (const std::string& folder : more)
    if (folder != "img" && !folder.empty())
      folders.push_back(RemoteName(project_.settings.ftpDir, folder));
  for (std::size_t i = 0; i < folders.size(); ++i) {
    // A refusal (the folder exists) is reported and the queue goes on.
    FtpCompletion completion;
    if (made && i + 1 == folders.size())
      completion = [made](FtpConnection& c, FtpCommand&, int) {
        made(c);
        return 0;
      };
    FtpMakeDir(control_, folders[i], std::move(completion));
  }
}

std::vector<int> PublishSession::LeadRows(const std::vector<int>& rows) {
  std::vector<int> leads;
  std::unordered_map<std::string, int> queuedPaths;
  for (int row : rows) {
    UploadEntry& entry = entries_[static_cast<std::size_t>(row)];
    TakeCurrentValues(entry);
    // A file listed twice (a picture shown by two nodes) goes once; the other row follows it.
    auto [leader, added] = queuedPaths.emplace(ToLowerAscii(entry.path), row);
    if (added)
      leads.push_back(row);
    else
      followers_[leader->second].push_back(row);
  }
  return leads;
}

bool PublishSession::QueueStore(FtpConnection* connection, int row) {
  UploadEntry& entry = entries_[static_cast<std::size_t>(row)];
  std::string local = LocalPath(entry);
  bool queued = FtpStore(
      connection, local, RemoteName(project_.settings.ftpDir, entry.path), true,
      [this](FtpConnection& c, FtpCommand& cmd, int result) {
        return FileCompleted(c, cmd, result);
      },
      static_cast<std::uint32_t>(row));
  if (!queued) {
    entry.status = kUploadMissing;
    Log("Unable to read local file '" + local + "'");
    if (hooks.rowChanged) hooks.rowChanged(entry);
  }
  return queued;
}

void PublishSession::SendRows(const std::vector<int>& rows) {
  if (!control_) return;
  for (int row : LeadRows(rows)) QueueStore(control_, row);
}

bool PublishSession::FeedNext(FtpConnection& connection) {
  while (!waiting_.empty()) {
    int row = waiting_.front();
    waiting_.pop_front();
    if (QueueStore(&connection, row)) return true;
  }
  return false;
}

void PublishSession::ConnectHelpers() {
  const StoreSettings& s = project_.settings;
  int port = std::atoi(s.ftpPort.c_str());
  if (port < 0 || port > 65535) port = 0;
  std::size_t wanted =
      std::min<std::size_t>(static_cast<std::size_t>(connections - 1), waiting_.size());
  while (helpers_.size() < wanted) {
    FtpConnection* helper = FtpConnect(s.ftpUser, s.ftpPassword, s.ftpAccount, s.ftpServer, port,
                                       [this](FtpConnection& c, int result) {
                                         // Logged in: take rows until none is left. A helper that
                                         // fails leaves the rows to the others.
                                         if (result == 1 && !FeedNext(c)) FtpQuit(&c);
                                       });
    if (!helper) break;
    helper->passive = s.passiveFtp;
    helpers_.push_back(helper);
  }
}

void PublishSession::FailWaitingRows() {
  while (!waiting_.empty()) {
    int row = waiting_.front();
    waiting_.pop_front();
    RowFinished(static_cast<std::size_t>(row), false, "");
  }
}

void PublishSession::RowFinished(std::size_t row, bool ok, const std::string& reply) {
  UploadEntry& entry = entries_[row];
  entry.marked = false;
  if (ok) {
    SetLastValues(entry, entry.size, entry.checksum, entry.digest, entry.stamp);
    entry.status = kUploadDone;
    ++sent_;
  } else {
    // Sent again by the next upload: the project keeps the old last-upload values.
    entry.status = kUploadTransfer;
    ++failed_;
    Log("Unable to upload '" + entry.path + "'");
    if (droppedLeft_ > 0 && --droppedLeft_ == 0) LogUnsent();
  }
  if (hooks.rowChanged) hooks.rowChanged(entry);
  if (auto found = followers_.find(static_cast<int>(row)); found != followers_.end()) {
    std::vector<int> rows = std::move(found->second);
    followers_.erase(found);
    for (int other : rows) {
      UploadEntry& follower = entries_[static_cast<std::size_t>(other)];
      follower.marked = false;
      if (ok) {
        SetLastValues(follower, follower.size, follower.checksum, follower.digest, follower.stamp);
        follower.status = kUploadDone;
      } else {
        follower.status = kUploadTransfer;
      }
      if (hooks.rowChanged) hooks.rowChanged(follower);
    }
  }
  if (hooks.fileDone) hooks.fileDone(entry, ok, reply);
}

int PublishSession::FileCompleted(FtpConnection& connection, FtpCommand& command, int result) {
  std::size_t row = command.userValue;
  if (row >= entries_.size()) return 0;
  RowFinished(row, result == 1, command.replyLine);
  if (sharing_) {
    // The connection takes the next waiting row; with none left it says goodbye.
    if (!connection.closing && !FeedNext(connection) && connection.queue.size() <= 1)
      FtpQuit(&connection);
  } else if (result == 1 && connection.queue.size() <= 1) {
    FtpQuit(&connection);
  }
  if (result == 1) Sound("FtpUpload");
  return 0;
}

void PublishSession::Upload() {
  if (!control_ || !loggedIn_ || busy()) {
    Log(kNotConnected);
    return;
  }
  std::vector<int> rows;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].status == kUploadTransfer) rows.push_back(static_cast<int>(i));
  if (rows.empty()) {
    Log(kAllUpToDate);
    return;
  }
  if (connections <= 1) {
    MakeRemoteDirectories(rows);
    SendRows(rows);
    return;
  }
  // Shared between connections: the files go once the folders they go into are made.
  std::vector<int> leads = LeadRows(rows);
  waiting_.assign(leads.begin(), leads.end());
  sharing_ = true;
  MakeRemoteDirectories(rows, [this](FtpConnection& c) {
    if (c.closing) return;
    FeedNext(c);
    ConnectHelpers();  // as many as the rows left can keep busy
  });
}

void PublishSession::PublishNow(const std::vector<int>& rows) {
  std::vector<int> valid;
  for (int row : rows) {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) continue;
    entries_[static_cast<std::size_t>(row)].marked = true;
    valid.push_back(row);
  }
  if (valid.empty()) return;
  if (control_ && loggedIn_) {
    MakeRemoteDirectories(valid);
    SendRows(valid);
    return;
  }
  if (control_) {  // still logging in: the marked rows go after the login
    sendMarkedAfterLogin_ = true;
    return;
  }
  sendMarkedAfterLogin_ = true;
  if (Status status = Connect(); !status.ok()) {
    sendMarkedAfterLogin_ = false;
    Log(status.message());
  }
}

void PublishSession::TransferDuringUpload(const std::vector<int>& rows) {
  for (int row : rows) {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) continue;
    UploadEntry& entry = entries_[static_cast<std::size_t>(row)];
    SetLastValues(entry, -1, -1, "", -1);
    entry.status = kUploadTransfer;
    if (hooks.rowChanged) hooks.rowChanged(entry);
  }
}

void PublishSession::IgnoreDuringUpload(const std::vector<int>& rows) {
  for (int row : rows) {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) continue;
    UploadEntry& entry = entries_[static_cast<std::size_t>(row)];
    TakeCurrentValues(entry);
    SetLastValues(entry, entry.size, entry.checksum, entry.digest, entry.stamp);
    entry.status = kUploadCurrent;
    if (hooks.rowChanged) hooks.rowChanged(entry);
  }
}

// ---- notifications ----

void PublishSession::LogUnsent() {
  const int n = unsentAtClose_;
  unsentAtClose_ = 0;
  if (n <= 0) return;
  Sound("FtpError");
  Log(FormatText("Connection to %s closed: %i %s not sent; Upload again to send %s",
                 server_.c_str(), n, n == 1 ? "file" : "files", n == 1 ? "it" : "them"));
}

void PublishSession::Log(std::string_view line) {
  std::string text = PublishLogLine(line);
  logText_ += text;
  logText_ += "\r\n";
  if (hooks.log) hooks.log(text);
}

void PublishSession::ShowStatus(const std::string& text) {
  if (hooks.statusText) hooks.statusText(text);
}

void PublishSession::Sound(std::string_view event) {
  if (hooks.sound) hooks.sound(event);
}

void PublishSession::ShowFileStatus(const std::string& fallback, const std::string& suffix) {
  std::string name;
  if (currentRow_ >= 0 && static_cast<std::size_t>(currentRow_) < entries_.size())
    name = AfterLastSeparator(LocalPath(entries_[static_cast<std::size_t>(currentRow_)]));
  ShowStatus(" " + (name.empty() ? fallback : name) + suffix);
}

void PublishSession::OnNote(int code, FtpConnection* connection, std::int64_t number,
                            const std::string& text) {
  const int base = code % 65536;
  switch (base) {
    case kFtpNoteTick:
      if (hooks.tick) hooks.tick();
      break;
    case kFtpNoteBytes:
    case kFtpNoteSent: {
      std::uint64_t bytes = 0;
      if (connection)
        bytes = connection->owner  ? connection->bytesTransferred
                : connection->data ? connection->data->bytesTransferred
                                   : 0;
      ShowFileStatus(base == kFtpNoteBytes ? "Downloading" : "Uploading",
                     " (" + std::to_string(bytes) + ")");
      break;
    }
    case kFtpNoteMessage:
      ShowStatus(text);
      break;
    case kFtpNoteQueueEmpty:
      ShowStatus("");
      if (hooks.refresh) hooks.refresh();
      break;
    case kFtpNoteError: {
      Sound("FtpError");
      int n = code / 65536;
      std::string shown;
      if (const char* fixed = ErrorText(n)) {
        shown = fixed;
      } else if (n == kFtpErrorRefused) {
        shown = text;
      } else if (n == kFtpErrorLocalFile) {
        shown = "Unable to create file '" + text + "'";
        if (hooks.message) hooks.message(shown);
      } else {
        shown = text;
      }
      Log(shown);
      ShowStatus(PublishLogLine(shown));
      break;
    }
    case kFtpNoteLog:
      Log(text);
      ShowStatus(PublishLogLine(text));
      break;
    case kFtpNoteTransfer:
      if (connection && !connection->queue.empty())
        currentRow_ = static_cast<int>(connection->queue.front().userValue);
      if (hooks.refresh) hooks.refresh();
      break;
    case kFtpNoteSocketError:
      if (!IsQuietSocketError(static_cast<int>(number))) {
        std::string shown = FormatText("Winsock Error %i", static_cast<int>(number));
        Log(shown);
        ShowStatus(shown);
      }
      break;
    case kFtpNoteClosing:
      ShowFileStatus("Uploading", " (Complete)");
      ShowStatus("");
      if (!connection) break;
      if (connection == control_) {
        control_ = nullptr;
        loggedIn_ = false;
        currentRow_ = -1;
      } else if (auto helper = std::find(helpers_.begin(), helpers_.end(), connection);
                 helper != helpers_.end()) {
        helpers_.erase(helper);
      } else {
        break;
      }
      // While another connection of a shared upload is open, it goes on with the rows.
      if (control_ || !helpers_.empty()) break;
      {
        // The session is gone: the next Connect starts a new one. The uploads still
        // queued fail right after this note; the last of them logs the summary.
        FailWaitingRows();
        sharing_ = false;
        droppedLeft_ = 0;
        for (const FtpCommand& queued : connection->queue) droppedLeft_ += queued.kind == kFtpStor;
        unsentAtClose_ = failed_ - failedBeforeConnect_ + droppedLeft_;
        failedBeforeConnect_ = failed_ + droppedLeft_;
        if (droppedLeft_ == 0) LogUnsent();
        if (hooks.sessionClosed) hooks.sessionClosed();
      }
      break;
    default:
      break;
  }
}

}  // namespace tolmi
