#include "builder/PageFill.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include "builder/OutputFile.h"
#include "builder/Pages.h"
#include "util/PumpMessages.h"

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

// One page as a worker left it for the calling thread.
struct PageOutcome {
  FilledPage page;
  std::vector<std::string> lines;
  int errors = 0;
  int warnings = 0;
  std::string indexLines;
  std::vector<RecordingPrompter::Shown> shown;
  int visits = 0;
  bool createdFolder = false;
  std::vector<std::pair<StoreNode*, std::string>> imageEdits;
  ExistingOutput existing;
  std::string temp;  // the page's bytes waiting beside its file
};

// A session of its own for one thread, reading what the walk's session set up.
struct FillWorker {
  FillWorker(BuildSession& main, Scheme* scheme, std::time_t time)
      : session(main.project, main.schemes, prompter) {
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
    session.createdFolder = false;
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
    out.createdFolder = session.createdFolder;
    out.imageEdits = std::move(session.imageEdits);
    out.existing = {};
    out.temp.clear();
    if (out.page.path.empty()) return;
    // The page's file is looked at and, when its bytes change, written beside it now;
    // only the rename waits for the page's turn.
    out.existing = CompareOutput(out.page.path, out.page.text);
    if (out.existing.same) return;
    Result<std::string> temp = WriteOutputTemp(out.page.path, out.page.text, out.existing.mode);
    if (temp) out.temp = std::move(*temp);
  }

  RecordingPrompter prompter;
  BuildSession session;
};

// Removes a page's waiting temporary file (a page the walk did not reach).
void Discard(PageOutcome& out) {
  if (!out.temp.empty()) ::unlink(out.temp.c_str());
  out.temp.clear();
}

// The calling thread's part of one page, in walk order.
void Commit(BuildSession& session, StoreNode& node, PageOutcome& out) {
  if (!out.page.started) {
    for (const std::string& line : out.lines) session.log.AddLine(line);
  } else {
    if (session.progressStep) session.progressStep();
    session.ShowLabel(node.file);
    PageTemplateName(node);  // the node's TEMP set as the single build sets it
    for (const std::string& line : out.lines) session.log.AddLine(line);
  }
  session.log.errors += out.errors;
  session.log.warnings += out.warnings;
  if (session.indexFile && !out.indexLines.empty())
    std::fwrite(out.indexLines.data(), 1, out.indexLines.size(), session.indexFile);
  for (const RecordingPrompter::Shown& shown : out.shown)
    session.prompter.Show(shown.text, shown.title, shown.icon);
  session.visitMark += out.visits;
  for (auto& edit : out.imageEdits) session.imageEdits.push_back(std::move(edit));
  if (out.createdFolder) session.outputFolders.clear();
  if (out.page.path.empty()) return;
  Status written = Status::Ok();
  if (out.existing.same) {
  } else if (out.temp.empty()) {
    written = session.WriteOutputFile(out.page.path, out.page.text);  // says why not
  } else if (out.existing.exists) {
    written = ReplaceWithTemp(out.temp, out.page.path);
  } else {
    // A new name: an existing file whose name differs only in case is replaced instead.
    written = session.PlaceOutputFile(out.page.path, out.page.text, out.temp);
  }
  out.temp.clear();
  if (!written) {
    session.prompter.Show("ERROR R107: Unable to open HTML output file.", "Error",
                          PromptIcon::Error);
    return;
  }
  RecordBuiltPage(session, node, out.page);
}

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
  const int threads = PageFillThreads(session.options.jobs, nodes.size());
  if (threads == 1) {
    FillWorker worker(session, scheme, time);
    PageOutcome out;
    for (StoreNode* node : nodes) {
      if (session.stop) break;
      CheckFileName(session, *node);
      worker.Fill(*node, out);
      Commit(session, *node, out);
      PumpMessages();
    }
  } else {
    // Workers fill at most `window` pages ahead of the page being committed, which
    // bounds the memory and the pages filled in vain after a stop.
    const std::size_t window = static_cast<std::size_t>(threads) * 4;
    struct Slot {
      PageOutcome out;
      bool ready = false;
    };
    std::vector<Slot> slots(window);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::condition_variable roomChanged;
    std::size_t next = 0;       // the next page a worker takes
    std::size_t committed = 0;  // pages the calling thread is done with
    bool quit = false;
    // Who sleeps, so that a wake-up is sent only to a waiting thread.
    bool callerWaiting = false;
    int workersWaiting = 0;
    std::vector<std::unique_ptr<FillWorker>> workers;
    for (int t = 0; t < threads; ++t)
      workers.push_back(std::make_unique<FillWorker>(session, scheme, time));
    {
      std::vector<std::jthread> running;
      for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, worker = workers[static_cast<std::size_t>(t)].get()] {
          for (;;) {
            std::size_t i;
            {
              std::unique_lock lock(mutex);
              ++workersWaiting;
              roomChanged.wait(
                  lock, [&] { return quit || next >= nodes.size() || next < committed + window; });
              --workersWaiting;
              if (quit || next >= nodes.size()) return;
              i = next++;
            }
            Slot& slot = slots[i % window];
            worker->Fill(*nodes[i], slot.out);
            std::lock_guard lock(mutex);
            slot.ready = true;
            if (callerWaiting) readyChanged.notify_one();
          }
        });
      }
      for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (session.stop) break;
        CheckFileName(session, *nodes[i]);
        Slot& slot = slots[i % window];
        {
          std::unique_lock lock(mutex);
          callerWaiting = true;
          readyChanged.wait(lock, [&] { return slot.ready; });
          callerWaiting = false;
        }
        Commit(session, *nodes[i], slot.out);
        {
          std::lock_guard lock(mutex);
          slot.ready = false;
          committed = i + 1;
          if (workersWaiting > 0) roomChanged.notify_all();
        }
        PumpMessages();
      }
      {
        std::lock_guard lock(mutex);
        quit = true;
        roomChanged.notify_all();
      }
    }  // the workers are joined here
    for (Slot& slot : slots)
      if (slot.ready) Discard(slot.out);
  }
  // Every page read the tree as it was; the picture paths are tidied now.
  for (auto& [node, image] : session.imageEdits) node->image = std::move(image);
  session.imageEdits.clear();
  if (ownCopies) session.copies.reset();
}

}  // namespace tolmi
