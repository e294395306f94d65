// Publishing: copies the built web store to the merchant's web host by FTP,
// sending only what changed since the last upload.
//
// A PublishSession holds the upload list (node pages, their pictures and linked
// files, the shared cart files and the style's extra files), compares it with
// the values of the last upload kept in the project, makes the remote folders,
// stores the files with the FTP engine and writes the new last-upload values
// back into the project as each file arrives. The publish dialog draws it; the
// CLI drives it. One session at a time (the FTP engine is one per process); all
// calls and hooks run on the EventLoop's thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "project/StoreProject.h"
#include "util/Result.h"

namespace tolmi {

class EventLoop;
struct FtpConnection;
struct FtpCommand;

// What an upload-list row stands for (the numbers are the system's).
enum class UploadKind : int {
  Page = 0,
  Image = 6,
  LinkFile = 7,
  CartFile = 8,
  TemplateFile = 9,
};

// The state of a row.
enum : int {
  kUploadMissing = -1,  // the local file is missing; not sent
  kUploadCurrent = 0,   // up to date
  kUploadTransfer = 1,  // to transfer
  kUploadDone = 2,      // uploaded since the list was made
};

// One row of the upload list ("Page", "Filename", "Path").
struct UploadEntry {
  StoreNode* node = nullptr;  // none for shared files
  std::string title;          // column "Page"
  std::string path;           // below the web directory, "/" separators (column "Filename")
  UploadKind kind = UploadKind::Page;
  // Current values: a page's built size, checksum and digest ("s=", "c=", "dg=");
  // a file's stamp (0 until taken).
  std::int32_t size = 0;
  std::int32_t checksum = 0;
  std::string digest;
  std::int32_t stamp = 0;
  // The values at the last upload ("ls=", "lc=", "ldg="; "lsd1=", "lsd2=", "usd=", "utd=").
  std::int32_t lastSize = 0;
  std::int32_t lastChecksum = 0;
  std::string lastDigest;
  std::int32_t lastStamp = 0;
  std::string sourcePath;  // pictures and linked files: the node's own file, when found
  int status = kUploadCurrent;
  bool marked = false;  // chosen by Publish Now
};

// The names of the shared cart files, in list order.
inline constexpr const char* kCartFileNames[] = {"tolmi.js", "register.html", "trolley.html",
                                                 "tolmi.idx", "tolmi.tpl"};
// Files for search engines, in the list after the cart files when the store has an address
// (the build writes them only then); their stamps are kept with the cart files'.
inline constexpr const char* kSearchEngineFileNames[] = {"robots.txt", "sitemap.xml"};

inline constexpr const char* kNotConnected = "Not Connected";
inline constexpr const char* kAllUpToDate = "All installed components are up-to-date";
inline constexpr int kDefaultFtpTimeoutMs = 80000;

// The dialog's view of a session: every hook is optional.
struct PublishHooks {
  std::function<void(const std::string& line)> log;          // a line added to the log
  std::function<void(const std::string& text)> statusText;   // the status bar
  std::function<void(const std::string& text)> message;      // a message box ("Error")
  std::function<void()> refresh;                             // redraw the list
  std::function<void()> tick;                                // advance the progress animation
  std::function<void(const UploadEntry& entry)> rowChanged;  // one row changed
  // A file's upload ended: ok when the server took it; reply is the line that ended it.
  std::function<void(const UploadEntry& entry, bool ok, const std::string& reply)> fileDone;
  // "FtpConnect", "FtpUpload", "FtpError"; plays the merchant's sound (none in CLI and tests).
  std::function<void(std::string_view event)> sound;
  std::function<void(bool loggedIn)> loginDone;  // the login succeeded or failed
  std::function<void()> sessionClosed;           // the control connection is gone
};

// The compare result.
struct CompareCounts {
  int total = 0;
  int toTransfer = 0;
};

// A line as the log keeps it: trailing blanks and every "\r\n" removed, and after
// a leading "PASS " every character replaced by "*".
std::string PublishLogLine(std::string_view line);

// The file stamp publishing compares: the low 32 bits of the last-write time in
// 100 ns units since 1601 (as the system's own stamps), 0 when the file is missing.
std::int32_t PublishFileStamp(const std::string& path);

// "Compare: %i files total, %i to transfer".
std::string CompareText(const CompareCounts& counts);

// The remote name of a relative path: the remote directory as typed, "/" (when it
// is not empty), then the path lower-cased; "\" becomes "/", runs of "/" are one,
// a drive prefix is dropped and trailing blanks are removed.
std::string RemoteName(const std::string& remoteDir, const std::string& relativePath);

class PublishSession {
 public:
  // project must outlive the session. webDir: the built store (REBUILD, else the
  // project folder's "Web"). installDir: where relative picture paths of nodes and
  // the style's files are found. templateFiles: the chosen style's extra files.
  PublishSession(StoreProject& project, EventLoop& loop, std::string webDir, std::string installDir,
                 std::vector<std::string> templateFiles = {});
  ~PublishSession();  // closes every connection (and the engine when this session started it)
  PublishSession(const PublishSession&) = delete;
  PublishSession& operator=(const PublishSession&) = delete;

  PublishHooks hooks;
  int timeoutMs = kDefaultFtpTimeoutMs;
  // The FTP sessions Upload sends over. 1 (the dialog's way): every row is queued on
  // the control connection. More: once the remote folders are made, Upload logs in
  // the others itself; the rows wait in one shared list and each connection takes
  // the next when it is free, so every file goes once. The session ends (and
  // sessionClosed is called) when the last of them has closed.
  int connections = 1;

  // Makes the upload list anew (every status 0, values taken from the project).
  void BuildList();
  std::vector<UploadEntry>& entries() { return entries_; }
  const std::vector<UploadEntry>& entries() const { return entries_; }
  // The row of a relative path (ASCII case ignored), or -1.
  int FindEntry(std::string_view path) const;
  // The local file of an entry: web directory "/" relative path.
  std::string LocalPath(const UploadEntry& entry) const;

  // "P_USER:P_SERV" joined with P_DIR: the destination of this publish.
  std::string DestinationText() const;

  // Starts the engine (when needed) and logs in with the project's FTP settings.
  // Fails (nothing started) without a server, when another user runs the engine,
  // or when the settings hold a line break.
  Status Connect();
  // Ends the session politely ("Disconnecting <server>"), every connection of a shared
  // upload with it.
  void Disconnect();
  // Closes every connection (data connection first) at once.
  void Cancel();
  bool connected() const { return control_ != nullptr; }
  bool loggedIn() const { return loggedIn_; }
  // True while the control connection has commands queued (or, in a shared upload,
  // while any connection has or rows wait).
  bool busy() const;

  // Compares the list with the last upload; see CompareText. Records the destination in COMP.
  CompareCounts Compare();
  // Makes the remote folders and sends every row to transfer ("Not Connected" when
  // not logged in or busy, kAllUpToDate when nothing is to transfer).
  void Upload();
  // Marks the rows and sends them at once, or after the login of a new connection.
  void PublishNow(const std::vector<int>& rows);
  // The rows are sent whatever the compare says: status 1, last-upload values -1.
  void TransferDuringUpload(const std::vector<int>& rows);
  // The rows count as uploaded: last-upload values = current ones, status 0.
  void IgnoreDuringUpload(const std::vector<int>& rows);

  // Files stored and failed since the session was made.
  int sentCount() const { return sent_; }
  int failedCount() const { return failed_; }
  // The log buffer: every logged line followed by "\r\n".
  const std::string& logText() const { return logText_; }
  // Adds a line to the log (see PublishLogLine).
  void Log(std::string_view line);

 private:
  void AddNodeEntries(StoreNode& node);
  void AddFileEntry(StoreNode* node, const std::string& title, const std::string& path,
                    UploadKind kind, std::int32_t lastStamp, const std::string& sourcePath);
  std::int32_t CurrentStamp(UploadEntry& entry) const;
  // The entry's values as the local file has them now: a page's built size, checksum and
  // digest, a file's stamp.
  void TakeCurrentValues(UploadEntry& entry) const;
  void SetLastValues(UploadEntry& entry, std::int32_t size, std::int32_t checksum,
                     const std::string& digest, std::int32_t stamp);
  void StoreListStamp(std::vector<UploadStamp>& list, const std::string& name, std::int32_t stamp);
  // Queues the MKDs; made (when set) is the last one's completion.
  void MakeRemoteDirectories(const std::vector<int>& rows,
                             std::function<void(FtpConnection&)> made = nullptr);
  // The rows whose file is sent: a row naming the file of an earlier one follows it.
  std::vector<int> LeadRows(const std::vector<int>& rows);
  // Queues the row's file on connection; false (the row marked missing) when it cannot be read.
  bool QueueStore(FtpConnection* connection, int row);
  void SendRows(const std::vector<int>& rows);
  // A shared upload: the next waiting row goes to connection; false when none is left.
  bool FeedNext(FtpConnection& connection);
  void ConnectHelpers();
  // The rows still waiting when the last connection closed fail as dropped uploads do.
  void FailWaitingRows();
  // A row's upload ended: last-upload values, status, counts, followers and hooks.
  void RowFinished(std::size_t row, bool ok, const std::string& reply);
  int FileCompleted(FtpConnection& connection, FtpCommand& command, int result);
  void OnNote(int code, FtpConnection* connection, std::int64_t number, const std::string& text);
  void ShowFileStatus(const std::string& fallback, const std::string& suffix);
  void ShowStatus(const std::string& text);
  void Sound(std::string_view event);
  // Logs how many files the connection that closed left unsent (nothing when none).
  void LogUnsent();

  StoreProject& project_;
  EventLoop& loop_;
  std::string webDir_;
  std::string installDir_;
  std::vector<std::string> templateFiles_;
  std::vector<UploadEntry> entries_;
  FtpConnection* control_ = nullptr;
  bool engineStarted_ = false;
  bool loggedIn_ = false;
  bool sendMarkedAfterLogin_ = false;
  std::unordered_map<int, std::vector<int>> followers_;  // rows sent with another row's file
  std::vector<FtpConnection*> helpers_;  // a shared upload's connections besides control_
  std::deque<int> waiting_;              // a shared upload's rows not yet given out
  bool sharing_ = false;                 // an Upload over several connections is running
  int currentRow_ = -1;
  int sent_ = 0;
  int failed_ = 0;
  int failedBeforeConnect_ = 0;  // failed_ when the current connection was opened
  int droppedLeft_ = 0;          // uploads of a closed connection still to fail
  int unsentAtClose_ = 0;        // the files a closed connection left unsent
  std::string logText_;
  std::string server_;
};

}  // namespace tolmi
