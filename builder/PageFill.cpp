#include "builder/PageFill.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <unordered_set>

#include "builder/OutputFile.h"
#include "builder/Pages.h"
#include "util/PumpMessages.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

// Messages a worker's fill asks for, shown later on the calling thread.
class RecordingPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    std::string title;
    PromptIcon icon;
  };
  void Show(const std::string& text, const std::string& title, PromptIcon icon) override {
    shown.push_back({text, title, icon});
  }
  // A page's fill asks no question; a worker cannot wait for an answer.
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons) override {
    return PromptAnswer::No;
  }
  std::vector<Shown> shown;
};

// The names in the build folder when the walk began, read once so that the page
// fill need not open a file that is not there (the usual case of a fresh build).
struct WalkFolder {
  explicit WalkFolder(BuildSession& session) {
    const std::string probe = session.OutputPath("x");
    std::size_t slash = probe.rfind('/');
    if (slash == std::string::npos) return;
    folder = probe.substr(0, slash);
    // Listed afresh: the index file, for one, was made after the kept listing.
    session.outputFolders.erase(folder.empty() ? std::string("/") : folder);
    for (const auto& [lower, name] : session.OutputFolderEntries(probe)) names.insert(lower);
    listed = true;
  }
  // False only for a file straight in the build folder whose name (ASCII case
  // ignored) was not there.
  bool MayHold(const std::string& path) const {
    if (!listed || path.size() <= folder.size() + 1 || path[folder.size()] != '/' ||
        path.compare(0, folder.size(), folder) != 0 ||
        path.find('/', folder.size() + 1) != std::string::npos)
      return true;
    return names.count(ToLowerAscii(std::string_view(path).substr(folder.size() + 1))) > 0;
  }
  bool listed = false;
  std::string folder;
  std::unordered_set<std::string> names;
};

// One page as a worker left it for the calling thread.
struct PageOutcome {
  FilledPage page;
  std::vector<std::string> lines;
  int errors = 0;
  int warnings = 0;
  std::string indexLines;
  std::vector<RecordingPrompter::Shown> shown;
  int visits = 0;
  std::vector<std::pair<StoreNode*, std::string>> imageEdits;
  ExistingOutput existing;  // the page's file as the fill found it
};

// A session of its own for one thread, reading what the walk's session set up.
struct FillWorker {
  FillWorker(BuildSession& main, Scheme* scheme, std::time_t time, const WalkFolder& folder)
      : session(main.project, main.schemes, prompter), folder(folder) {
    session.options = main.options;
    session.buildDir = main.buildDir;
    session.templateFolder = main.templateFolder;
    session.selectedOnly = main.selectedOnly;
    session.walking = true;
    session.walkScheme = scheme;
    session.walkTime = time;
    session.bufferIndex = true;
    session.deferNodeEdits = true;
    session.copies = main.copies;
    session.log.shown = true;
  }

  void Fill(StoreNode& node, PageOutcome& out) {
    session.log.Clear();
    session.indexLines.clear();
    session.imageEdits.clear();
    prompter.shown.clear();
    const int visits = session.visitMark;
    FillPage(session, node, out.page);
    out.lines = std::move(session.log.lines);
    session.log.lines.clear();
    out.errors = session.log.errors;
    out.warnings = session.log.warnings;
    out.indexLines = std::move(session.indexLines);
    out.shown = std::move(prompter.shown);
    out.visits = session.visitMark - visits;
    out.imageEdits = std::move(session.imageEdits);
    out.existing = {};
    // The file is only read here: every change to the output folder is the calling
    // thread's, so the threads never contend for the folder.
    if (!out.page.path.empty() && folder.MayHold(out.page.path))
      out.existing = CompareOutput(out.page.path, out.page.text);
  }

  RecordingPrompter prompter;
  BuildSession session;
  const WalkFolder& folder;
};

// The calling thread's part of the pages, in walk order.
class Committer {
 public:
  explicit Committer(BuildSession& session) : session_(session) {}

  void Commit(StoreNode& node, PageOutcome& out) {
    if (!out.page.started) {
      for (const std::string& line : out.lines) session_.log.AddLine(line);
    } else {
      if (session_.progressStep) session_.progressStep();
      session_.ShowLabel(node.file);
      PageTemplateName(node);  // the node's TEMP set as the single build sets it
      for (const std::string& line : out.lines) session_.log.AddLine(line);
    }
    session_.log.errors += out.errors;
    session_.log.warnings += out.warnings;
    if (session_.indexFile && !out.indexLines.empty())
      std::fwrite(out.indexLines.data(), 1, out.indexLines.size(), session_.indexFile);
    for (const RecordingPrompter::Shown& shown : out.shown)
      session_.prompter.Show(shown.text, shown.title, shown.icon);
    session_.visitMark += out.visits;
    for (auto& edit : out.imageEdits) session_.imageEdits.push_back(std::move(edit));
    MakePageFolder(session_, out.page);
    if (out.page.path.empty()) return;
    if (!Write(out)) {
      session_.prompter.Show("ERROR R107: Unable to open HTML output file.", "Error",
                             PromptIcon::Error);
      return;
    }
    RecordBuiltPage(session_, node, out.page);
  }

 private:
  Status Write(const PageOutcome& out) {
    const std::string& path = out.page.path;
    // A path an earlier page of this walk wrote was compared before that page's
    // bytes were there: it is compared again now.
    if (!written_.insert(std::hash<std::string>{}(ToLowerAscii(path))).second)
      return session_.WriteOutputFile(path, out.page.text);
    if (out.existing.same) return Status::Ok();
    Result<std::string> temp = WriteOutputTemp(path, out.page.text, out.existing.mode);
    if (!temp) return session_.WriteOutputFile(path, out.page.text);  // says why not
    if (out.existing.exists) return ReplaceWithTemp(*temp, path);
    // A new name: an existing file whose name differs only in case is replaced instead.
    return session_.PlaceOutputFile(path, out.page.text, *temp);
  }

  BuildSession& session_;
  std::unordered_set<std::size_t> written_;  // hashes of the lower-case paths written
};

// The walk's duplicate-name check for a page about to be made.
void CheckFileName(BuildSession& session, const StoreNode& node) {
  if (node.file.empty() || node.kind == NodeKind::Link) return;
  if (session.fileNames.count(node.file)) {
    session.log.Error("error: " + node.file + ": duplicate file name in project");
  } else {
    const StoreNode* parent = ParentNode(node);
    if (!(parent && (parent->kind == NodeKind::Shelf || parent->kind == NodeKind::List)))
      session.fileNames.insert(node.file);
  }
}

}  // namespace

int PageFillThreads(int jobs, std::size_t pages) {
  int threads = jobs > 0 ? jobs : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, 64);
  if (pages < 2) return 1;
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), pages));
}

void MakeWalkPages(BuildSession& session, const std::vector<StoreNode*>& nodes) {
  Scheme* scheme = session.CurrentScheme();
  const std::time_t time = session.walkTime ? *session.walkTime
                           : session.now    ? session.now()
                                            : std::time(nullptr);
  const bool ownCopies = !session.copies;
  if (ownCopies) session.copies = std::make_shared<BuildCopies>();
  const WalkFolder folder(session);
  Committer committer(session);
  const int threads = PageFillThreads(session.options.jobs, nodes.size());
  if (threads == 1) {
    FillWorker worker(session, scheme, time, folder);
    PageOutcome out;
    for (StoreNode* node : nodes) {
      if (session.stop) break;
      CheckFileName(session, *node);
      worker.Fill(*node, out);
      committer.Commit(*node, out);
      PumpMessages();
    }
  } else {
    // The pages go to the workers in runs of consecutive pages, so a thread wakes
    // once per run and not once per page; workers fill at most `window` runs ahead
    // of the one being committed, which bounds the memory and the pages filled in
    // vain after a stop.
    const std::size_t run = std::clamp<std::size_t>(
        nodes.size() / (static_cast<std::size_t>(threads) * 8), 1, 16);
    const std::size_t runs = (nodes.size() + run - 1) / run;
    const std::size_t window = static_cast<std::size_t>(threads) * 3;
    struct Slot {
      std::vector<PageOutcome> outs;
      bool ready = false;
    };
    std::vector<Slot> slots(window);
    for (Slot& slot : slots) slot.outs.resize(run);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::condition_variable roomChanged;
    std::size_t next = 0;       // the next run a worker takes
    std::size_t committed = 0;  // runs the calling thread is done with
    bool quit = false;
    // Who sleeps, so that a wake-up is sent only to a thread waiting for it.
    std::size_t callerWaitsFor = runs;
    int workersWaiting = 0;
    std::vector<std::unique_ptr<FillWorker>> workers;
    for (int t = 0; t < threads; ++t)
      workers.push_back(std::make_unique<FillWorker>(session, scheme, time, folder));
    {
      std::vector<std::jthread> running;
      for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, worker = workers[static_cast<std::size_t>(t)].get()] {
          for (;;) {
            std::size_t r;
            {
              std::unique_lock lock(mutex);
              if (!(quit || next >= runs || next < committed + window)) {
                ++workersWaiting;
                roomChanged.wait(lock,
                                 [&] { return quit || next >= runs || next < committed + window; });
                --workersWaiting;
              }
              if (quit || next >= runs) return;
              r = next++;
            }
            Slot& slot = slots[r % window];
            const std::size_t end = std::min(nodes.size(), (r + 1) * run);
            for (std::size_t i = r * run; i < end; ++i) worker->Fill(*nodes[i], slot.outs[i - r * run]);
            std::lock_guard lock(mutex);
            slot.ready = true;
            if (callerWaitsFor == r) readyChanged.notify_one();
          }
        });
      }
      for (std::size_t r = 0; r < runs && !session.stop; ++r) {
        Slot& slot = slots[r % window];
        {
          std::unique_lock lock(mutex);
          if (!slot.ready) {
            callerWaitsFor = r;
            readyChanged.wait(lock, [&] { return slot.ready; });
            callerWaitsFor = runs;
          }
        }
        const std::size_t end = std::min(nodes.size(), (r + 1) * run);
        for (std::size_t i = r * run; i < end; ++i) {
          if (session.stop) break;
          CheckFileName(session, *nodes[i]);
          committer.Commit(*nodes[i], slot.outs[i - r * run]);
          PumpMessages();
        }
        std::lock_guard lock(mutex);
        slot.ready = false;
        committed = r + 1;
        if (workersWaiting > 0) roomChanged.notify_one();
      }
      {
        std::lock_guard lock(mutex);
        quit = true;
        roomChanged.notify_all();
      }
    }  // the workers are joined here
  }
  // Every page read the tree as it was; the picture paths are tidied now.
  for (auto& [node, image] : session.imageEdits) node->image = std::move(image);
  session.imageEdits.clear();
  if (ownCopies) session.copies.reset();
}

}  // namespace tolmi
