// One store build: the project, the style schemes, the configuration values the
// builder reads, the build log and the state kept while the pages are made
// (build directory, claimed file names, store index, visit marks, support files).
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "builder/BuildLog.h"
#include "project/StoreProject.h"
#include "schemes/Schemes.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

class BrowserLauncher;

// Configuration and installation values the builder reads.
struct BuildOptions {
  std::string installDir = ".";  // relative names ("html/special.htm") are below it
  std::string orderServer;       // `server`
  std::string orderUser;         // `o_un`
  bool lowerCase = true;         // `case`: lower-case copied file names and links
  bool otherStores = false;      // `other`: the shopping-directory row of the index
  std::string browserPath;       // empty: the launcher finds one
  // Our own choices for the search block and the shopping directory.
  std::string searchId = "tolmi-store";
  std::string defaultServerHost = "http://127.0.0.1:8080/";
  // The shopping directory's address; none is run by default, so the index has no row
  // leading to nowhere until one is set.
  std::string storeDirectoryAddress;
  std::optional<std::string> frameText;  // "template/frame.dat", read at start-up
  std::optional<std::string> indexText;  // "template/index.dat", read at start-up
  // Threads that fill the walk's pages: 0 for every core, 1 for the single-threaded
  // build. The output and the log are the same either way.
  int jobs = 0;
};

// A store file that is not a node page, with the checksum of its last built text.
struct SupportFile {
  std::string name;
  std::string group;
  std::int32_t checksum = 0;
};

inline constexpr const char* kShoppingCartGroup = "Shopping Cart";

struct BuildCopies;

struct BuildSession {
  BuildSession(StoreProject& project, SchemeList& schemes, Prompter& prompter)
      : project(project), schemes(schemes), prompter(prompter) {}
  ~BuildSession();
  BuildSession(const BuildSession&) = delete;
  BuildSession& operator=(const BuildSession&) = delete;

  StoreProject& project;
  SchemeList& schemes;
  Prompter& prompter;
  BuildOptions options;
  BuildLog log;

  std::string buildDir;                   // the web directory; output paths are below it
  bool selectedOnly = false;              // "Selected Items" instead of "All"
  std::vector<StoreNode*> selectedItems;  // nodes chosen in the item list
  bool stop = false;                      // set by Cancel; tested before each node
  std::unordered_set<std::string> fileNames;
  std::FILE* indexFile = nullptr;  // "tolmi.idx" while a build has it open
  int visitMark = 0;
  std::unordered_map<const StoreNode*, int> listedMark;
  std::vector<SupportFile> supportFiles;
  int blockDepth = 0;  // nesting of product blocks being filled

  // Order and confirmation templates of the project (empty when missing).
  std::string orderTemplate;
  std::string confirmTemplate;
  std::optional<std::string> cartTemplate;  // "template/trolley.dat", read when first needed

  // Dialog hooks: the progress bar steps, the label shows the file being written.
  std::function<void()> progressStep;
  std::function<void(const std::string&)> fileLabel;
  std::function<std::time_t()> now;  // the clock of "$UPDATED"; null means the system time
  BrowserLauncher* launcher = nullptr;

  // The current scheme, made current when needed; null (after the message) without one.
  Scheme* CurrentScheme();
  // A path below the build directory for a store name ("Shop\a.htm" gives "<dir>/Shop/a.htm").
  std::string OutputPath(std::string_view name) const;
  // A path below the installation directory for a relative name.
  std::string InstallPath(std::string_view name) const;
  // The project's template folder path of a template name (below templateFolder
  // when that is set).
  std::string ProjectTemplatePath(std::string_view name) const;
  // Set while a page is previewed with a style not yet chosen: that style's own
  // template folder stands in for the project's.
  std::string templateFolder;
  // Stores the checksum of a written support file (adding the entry when asked).
  void StoreSupportChecksum(std::string_view name, std::string_view text, bool addWhenMissing);
  void ShowLabel(const std::string& name) {
    if (fileLabel) fileLabel(name);
  }
  // Writes a built file whole (temporary file and rename, never half a page) without
  // flushing it to disk: build output can always be made again. Like every save, it
  // replaces an existing file whose name differs only in case; the folder is listed
  // once per build for that, not once per file.
  Status WriteOutputFile(const std::string& path, std::string_view text);
  // The last step of WriteOutputFile for a path that did not exist: renames the
  // temporary file holding text over path, or over the file whose name differs from
  // it only in case (left alone when it already holds text).
  Status PlaceOutputFile(const std::string& path, std::string_view text, const std::string& temp);
  // The kept listing of the folder holding path (listed when first asked for in a
  // build): lower-case entry name to the entry.
  std::unordered_map<std::string, std::string>& OutputFolderEntries(const std::string& path);

  // While RunBuild walks the tree: page templates read once (template name to text).
  bool walking = false;
  std::unordered_map<std::string, std::optional<std::string>> pageTemplates;

  // Per output folder: lower-case entry name to the entry (the smallest of equals).
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> outputFolders;

  // State of the walk's page fill (see PageFill.h). A session that fills pages for a
  // walk keeps the scheme made current before the walk, the walk's one "$UPDATED"
  // time, its index lines in indexLines, and leaves the node edits to the walk: the
  // node's template name and its normalised picture path (imageEdits, applied once
  // the walk is over so that every page reads the tree as it was).
  Scheme* walkScheme = nullptr;
  std::optional<std::time_t> walkTime;
  bool bufferIndex = false;
  std::string indexLines;
  bool deferNodeEdits = false;
  std::vector<std::pair<StoreNode*, std::string>> imageEdits;
  std::shared_ptr<BuildCopies> copies;             // pictures copied once per build
  std::unordered_set<std::string> knownFolders;    // output folders seen to exist
};

// Every "\" becomes "/" and runs of "/" become one (a leading "//" stays).
std::string SlashPath(std::string_view path);
// The part after the last "\" or "/".
std::string FileNamePart(std::string_view path);
// A node's FILE as a web link: every "\" turned into "/".
std::string WebFile(std::string_view file);

}  // namespace tolmi
