// The walk's pages filled on every core and committed in walk order. Worker threads
// fill pages ahead, in runs of consecutive pages (each worker on a session of its own
// that records its log lines, index lines and messages), and read each page's
// existing file to compare it; the calling thread then takes the pages one by one in
// walk order: it reports the progress step, the label and the log lines, writes the
// index line, writes the page when its bytes changed, records it in its node and
// pumps the window's events. Every change to the output folder but the picture copies
// is made on the calling thread, so the output, the log and every callback are those
// of the single-threaded build, and a stop between two pages leaves no later page
// written.
#pragma once

#include <future>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "builder/BuildSession.h"

namespace tolmi {

// Pictures and linked files copied during one build: each copy is made once, and every
// page that shows the item reports the same outcome.
struct BuildCopies {
  enum class Kind { Copied, NoSource, Failed };
  struct Outcome {
    Kind kind = Kind::Copied;
    std::error_code error;
    std::string destination;
  };
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_future<Outcome>> done;
};

// The number of page-filling threads for a jobs setting (0: one per core) and a walk
// of `pages` pages; 1 means the pages are filled on the calling thread.
int PageFillThreads(int jobs, std::size_t pages);

// Makes the pages of the nodes in walk order, with the walk's duplicate-name check,
// stopping before a page once session.stop is set. The nodes' picture paths are
// normalised after the last page.
void MakeWalkPages(BuildSession& session, const std::vector<StoreNode*>& nodes);

}  // namespace tolmi
