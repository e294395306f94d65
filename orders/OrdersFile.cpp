#include "orders/OrdersFile.h"

#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "orders/OrderNumbers.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Version.h"

namespace tolmi {

namespace {

// Appends a text that must stay on its line: a CR or LF inside it (a value no form should
// send) is written as a space, so that it can never start a line of its own.
void AppendText(std::string& out, std::string_view text) {
  std::size_t from = 0;
  for (;;) {
    std::size_t p = text.find_first_of("\r\n", from);
    out.append(text.substr(from, p == std::string_view::npos ? p : p - from));
    if (p == std::string_view::npos) return;
    out.push_back(' ');
    from = p + 1;
  }
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
  out.append(key);
  AppendText(out, value);
  out.push_back('\n');
}

void AppendNumber(std::string& out, const char* key, long long v) {
  out.append(key);
  out.append(std::to_string(v));
  out.push_back('\n');
}

// A whole number of 10^-places units in the file's fixed notation with six decimals
// (1250 cents as "12.500000"), exactly, with no binary fraction in between.
void AppendScaled(std::string& out, const char* key, std::int64_t v, int places) {
  out.append(key);
  out.append(FormatScaled(v, places));
  out.append(static_cast<std::size_t>(6 - places), '0');
  out.push_back('\n');
}

void WriteRecord(std::string& out, const OrderRecord& r) {
  out.append("NODE");
  out.append(std::to_string(static_cast<int>(r.kind)));
  out.push_back('=');
  AppendText(out, r.name);
  out.push_back('\n');
  AppendNumber(out, "OS=", r.status);
  AppendNumber(out, "OD=", r.orderDate);
  AppendLine(out, "OI=", r.orderId);
  // The price check's mark and notes: keys that readers without the check skip.
  if (r.priceMark != PriceMark::Unchecked) {
    AppendNumber(out, "PM=", static_cast<int>(r.priceMark));
    for (const std::string& note : r.priceNotes) AppendLine(out, "PN=", note);
  }
  for (const auto& f : r.fields) {
    out.push_back('*');
    AppendText(out, f.name);
    out.push_back('=');
    AppendText(out, f.value);
    out.push_back('\n');
  }
  for (const auto& it : r.items) {
    if (it.rowKind != RowKind::Product) continue;
    AppendLine(out, "IN=", it.name);
    if (it.code) AppendLine(out, "IC=", *it.code);
    AppendNumber(out, "IQ=", it.quantity);
    if (it.extraText1) AppendLine(out, "IU=", *it.extraText1);
    if (it.option1) AppendLine(out, "I1=", *it.option1);
    if (it.option2) AppendLine(out, "I2=", *it.option2);
    if (it.extraText2) AppendLine(out, "IY=", *it.extraText2);
    AppendScaled(out, "IT=", it.unitCents, kCentsPlaces);
    AppendScaled(out, "IX=", it.taxCents, kCentsPlaces);
    AppendScaled(out, "IR=", it.taxRateMilli, kRatePlaces);
    AppendScaled(out, "IW=", it.weightMilli, kWeightPlaces);
    AppendScaled(out, "IF=", it.freightCents, kCentsPlaces);
  }
}

// Hands the text written so far to a sink once it holds about this many bytes, so a save
// of a large tree never builds the whole file in memory.
constexpr std::size_t kWritePiece = 1 << 20;
using PieceSink = std::function<void(std::string& piece)>;
// Told the running count of written records after every twelfth one.
using WriteProgress = std::function<void(std::size_t records)>;

void WriteLevel(std::string& out, const std::vector<OrderRecord>& records,
                const PieceSink* sink = nullptr, const WriteProgress* progress = nullptr) {
  // Iterative so that deep nesting cannot exhaust the stack.
  struct Frame {
    const std::vector<OrderRecord>* list;
    std::size_t index;
  };
  std::vector<Frame> stack{{&records, 0}};
  std::size_t written = 0;
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.index >= f.list->size()) {
      stack.pop_back();
      if (!stack.empty()) out.append("#EOB\n");
      continue;
    }
    const OrderRecord& r = (*f.list)[f.index++];
    WriteRecord(out, r);
    if (progress && *progress && ++written % 12 == 0) (*progress)(written);
    if (sink && out.size() >= kWritePiece) {
      (*sink)(out);
      out.clear();
    }
    if (!r.children.empty()) {
      out.append("#BRANCH\n");
      stack.push_back({&r.children, 0});
    }
  }
}

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}

// One level being read: where its records go and the state of its current record.
struct Level {
  std::vector<OrderRecord>* dest;
  bool hasRecord = false;
  bool placed = false;
  long long seq = 0;
  bool hasItem = false;
};

}  // namespace

namespace {
void WriteOrdersPieces(std::string& out, const std::vector<OrderRecord>& records, long long now,
                       int versionNumber, const PieceSink* sink,
                       const WriteProgress* progress = nullptr) {
  out.append("#BEGIN\n");
  AppendNumber(out, "TIME=", now);
  AppendNumber(out, "VERSION=", versionNumber);
  AppendLine(out, "OWNER=", kProductName);
  WriteLevel(out, records, sink, progress);
  out.append("#EOF\n");
}
}  // namespace

std::string WriteOrdersText(const std::vector<OrderRecord>& records, long long now,
                            int versionNumber) {
  std::string out;
  WriteOrdersPieces(out, records, now, versionNumber, nullptr);
  return out;
}

OrdersReading ReadOrdersText(std::string_view bytes) {
  OrdersReading reading;
  // Lines of any length: a giant value read in pieces would let its remainder pass for a
  // line of its own ("NODE1=", "OS=", "#EOB").
  LineReader reader{std::string(bytes), std::string::npos};
  std::vector<Level> levels;
  levels.push_back(Level{&reading.records});
  long long seq = 0;
  long long latestSeq = -1;
  std::vector<std::size_t> latestPath;  // where the latest placed order sits
  bool stopped = false;

  auto current = [&](Level& l) -> OrderRecord& { return l.dest->back(); };
  // The current record stops being current: drop it if it was never placed.
  auto finish = [&](Level& l) {
    if (!l.hasRecord) return;
    OrderRecord& r = current(l);
    if (r.kind == RecordKind::Order && l.seq == latestSeq) {
      if (l.placed) {
        latestPath.clear();
        for (const Level& each : levels) latestPath.push_back(each.dest->size() - 1);
        reading.latestOrder.reset();
      } else {
        latestPath.clear();
        reading.latestOrder = r;
      }
    }
    if (!l.placed) l.dest->pop_back();
    l.hasRecord = false;
    l.placed = false;
    l.hasItem = false;
  };

  std::string line;
  while (reader.Next(line)) {
    if (stopped) {
      if (line == "#EOF") reading.sawEof = true;
      continue;
    }
    Level& level = levels.back();
    if (!line.empty() && line[0] == '#') {
      if (line == "#EOB") {
        finish(level);
        if (levels.size() == 1) {
          stopped = true;
        } else {
          levels.pop_back();
        }
      } else if (line == "#BRANCH") {
        if (level.hasRecord && static_cast<int>(levels.size()) < kMaxOrdersDepth) {
          std::vector<OrderRecord>* dest = &current(level).children;
          levels.push_back(Level{dest});
        }
      } else if (line == "#EOF") {
        reading.sawEof = true;
      } else if (line == "#BEGIN") {
        reading.sawBegin = true;
      }
      continue;
    }
    if (StartsWith(line, "TIME=")) {
      reading.sawTime = true;
      continue;
    }
    if (StartsWith(line, "NODE")) {
      finish(level);
      OrderRecord r;
      std::string_view rest = std::string_view(line).substr(4);
      int kind = ParseInt32(rest);
      r.kind = static_cast<RecordKind>(static_cast<std::uint8_t>(kind));
      auto eq = rest.find('=');
      if (eq != std::string_view::npos) r.name = std::string(rest.substr(eq + 1));
      level.dest->push_back(std::move(r));
      level.hasRecord = true;
      level.placed = false;
      level.seq = ++seq;
      if (kind == 1) latestSeq = level.seq;
      continue;
    }
    if (!level.hasRecord) continue;
    OrderRecord& r = current(level);
    std::string_view v = line;
    if (StartsWith(v, "OS=")) {
      r.status = static_cast<std::uint16_t>(ParseInt32(v.substr(3)));
      level.placed = true;
    } else if (StartsWith(v, "OD=")) {
      r.orderDate = ParseInt32(v.substr(3));
    } else if (StartsWith(v, "OI=")) {
      r.orderId = std::string(v.substr(3));
    } else if (StartsWith(v, "PM=")) {
      const int mark = ParseInt32(v.substr(3));
      r.priceMark = mark >= 0 && mark <= 3 ? static_cast<PriceMark>(mark) : PriceMark::Unchecked;
    } else if (StartsWith(v, "PN=")) {
      if (r.priceNotes.size() < 1000) r.priceNotes.emplace_back(v.substr(3));
    } else if (v[0] == '*') {
      auto eq = v.find('=');
      if (eq != std::string_view::npos) AppendField(r, v.substr(1, eq - 1), v.substr(eq + 1));
    } else if (StartsWith(v, "IN=")) {
      OrderItem item;
      item.name = std::string(v.substr(3));
      r.items.push_back(std::move(item));
      level.hasItem = true;
    } else if (level.hasItem && v.size() >= 3 && v[0] == 'I' && v[2] == '=') {
      OrderItem& it = r.items.back();
      std::string_view value = v.substr(3);
      switch (v[1]) {
        case 'C':
          it.code = std::string(value);
          break;
        case 'U':
          it.extraText1 = std::string(value);
          break;
        case 'Y':
          it.extraText2 = std::string(value);
          break;
        case '1':
          it.option1 = std::string(value);
          break;
        case '2':
          it.option2 = std::string(value);
          break;
        case 'Q':
          it.quantity = ParseInt32(value);
          break;
        case 'T':
          it.unitCents = ParseAmount(value);
          break;
        case 'X':
          it.taxCents = ParseAmount(value);
          break;
        case 'R':
          it.taxRateMilli = ParseDecimal(value, kRatePlaces);
          break;
        case 'W':
          it.weightMilli = ParseDecimal(value, kWeightPlaces);
          break;
        case 'F':
          it.freightCents = ParseAmount(value);
          break;
        default:
          break;
      }
    }
  }
  while (!levels.empty()) {
    finish(levels.back());
    levels.pop_back();
  }
  if (!latestPath.empty()) {
    const std::vector<OrderRecord>* list = &reading.records;
    const OrderRecord* found = nullptr;
    for (std::size_t index : latestPath) {
      if (!list || index >= list->size()) {
        found = nullptr;
        break;
      }
      found = &(*list)[index];
      list = &found->children;
    }
    if (found) reading.latestOrder = CopyRecord(*found);
  }
  return reading;
}

Result<FileLock> LockOrders(const std::string& folder, std::chrono::milliseconds wait) {
  return FileLock::Acquire(JoinPath(folder, kOrdersLockName), "The orders file", wait);
}

std::string OrderKey(const OrderRecord& r) {
  std::string key = std::to_string(static_cast<int>(r.kind));
  key += '\x1f';
  key += r.name;
  key += '\x1f';
  key += r.orderId;
  key += '\x1f';
  key += std::to_string(r.orderDate);
  return key;
}

namespace {

// The file's identity: a save by any program replaces the file (a new inode).
bool Identify(const std::string& path, OrdersFileState& state) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  state.device = static_cast<std::uint64_t>(st.st_dev);
  state.inode = static_cast<std::uint64_t>(st.st_ino);
  state.size = static_cast<std::uint64_t>(st.st_size);
  state.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool SameFile(const OrdersFileState& a, const OrdersFileState& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modifiedNs == b.modifiedNs;
}

std::vector<std::string> SortedOrderKeys(const std::vector<OrderRecord>& records) {
  std::vector<std::string> keys;
  ForEachRecord(records, [&](const OrderRecord& r) {
    if (r.kind == RecordKind::Order) keys.push_back(OrderKey(r));
  });
  std::sort(keys.begin(), keys.end());
  return keys;
}

void RememberFile(const std::string& path, OrdersTree& tree, bool readable) {
  tree.file = OrdersFileState{};
  if (!readable || !Identify(path, tree.file)) return;
  tree.file.known = true;
  tree.file.orderKeys = SortedOrderKeys(tree.records);
}

// Moves an incomplete orders file aside; returns the name it now has ("" when it stayed).
std::string SetAside(const std::string& folder, const std::string& path) {
  const std::string aside = MakeUniquePath(JoinPath(folder, kOrdersDamagedName));
  if (std::rename(path.c_str(), aside.c_str()) != 0) return std::string();
  std::size_t slash = aside.find_last_of('/');
  return slash == std::string::npos ? aside : aside.substr(slash + 1);
}

// Removes the temporary files of saves that were killed (".orders.ost.tmp-XXXXXX").
// The caller holds the orders lock, so no save is running.
void RemoveInterruptedSaves(const std::string& folder) {
  const std::string prefix = std::string(".") + kOrdersFileName + ".tmp-";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      std::error_code removed;
      std::filesystem::remove(it->path(), removed);
    }
  }
}

std::vector<OrderRecord>& NewOrdersFolder(OrdersTree& tree) {
  for (auto& r : tree.records)
    if (r.kind == RecordKind::NewOrders) return r.children;
  return tree.records;
}

// Removes the orders whose keys are listed, wherever they lie.
void EraseOrders(std::vector<OrderRecord>& records, const std::set<std::string>& keys) {
  std::vector<std::vector<OrderRecord>*> lists{&records};
  while (!lists.empty()) {
    std::vector<OrderRecord>* list = lists.back();
    lists.pop_back();
    std::erase_if(*list, [&](const OrderRecord& r) {
      return r.kind == RecordKind::Order && keys.count(OrderKey(r)) > 0;
    });
    for (OrderRecord& r : *list)
      if (!r.children.empty()) lists.push_back(&r.children);
  }
}

// Orders of the tree not yet in the file as the tree last saw it whose numbers a saved
// order (of the tree, or among savedNumbers: those in the file now), or an earlier
// unsaved one, already has get the next free numbers: numbers never repeat, and the
// numbers already saved (perhaps printed on an invoice) stay.
void RenumberUnsavedOrders(OrdersTree& tree, const std::set<long long>& savedNumbers) {
  const std::vector<std::string>& seen = tree.file.orderKeys;
  std::set<long long> taken = savedNumbers;
  long long highest = savedNumbers.empty() ? 0 : *savedNumbers.rbegin();
  std::vector<OrderRecord*> unsaved;
  ForEachRecord(tree.records, [&](OrderRecord& r) {
    if (r.kind != RecordKind::Order) return;
    std::optional<long long> n = OrderNumberOf(r.name);
    if (!n) return;
    highest = std::max(highest, *n);
    if (tree.file.known && std::binary_search(seen.begin(), seen.end(), OrderKey(r)))
      taken.insert(*n);
    else
      unsaved.push_back(&r);
  });
  for (OrderRecord* r : unsaved) {
    long long n = *OrderNumberOf(r->name);
    if (taken.count(n) && highest < 999999999) n = ++highest;
    taken.insert(n);
    r->name = std::to_string(n);
  }
}

// Adds to the tree the orders of the file at path that the tree never saw (another
// program saved them), then gives the tree's unsaved orders whose numbers are taken
// the next free numbers.
void MergeSavedOrders(const std::string& path, OrdersTree& tree) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return;
  OrdersReading disk = ReadOrdersText(*bytes);
  const std::vector<std::string>& seen = tree.file.orderKeys;
  auto wasSeen = [&](const std::string& key) {
    return tree.file.known && std::binary_search(seen.begin(), seen.end(), key);
  };
  // A tree that never read the file may hold copies of what it holds.
  std::set<std::string> held;
  std::map<std::pair<std::string, std::int32_t>, std::string> unsavedById;
  ForEachRecord(tree.records, [&](const OrderRecord& r) {
    if (r.kind != RecordKind::Order) return;
    std::string key = OrderKey(r);
    if (!wasSeen(key) && !r.orderId.empty()) unsavedById[{r.orderId, r.orderDate}] = key;
    if (!tree.file.known) held.insert(std::move(key));
  });

  // The orders to add, grouped by the top-level folder that holds them on disk.
  struct Arrival {
    const OrderRecord* folder;  // null: the top level or no folder
    std::vector<OrderRecord> orders;
  };
  std::vector<Arrival> arrivals;
  std::set<std::string> dropped;  // our unsaved copies of orders the file already holds
  std::set<std::string> same;     // orders of the file this tree (which never read it) holds
  for (const OrderRecord& top : disk.records) {
    Arrival arrival{top.kind == RecordKind::Order ? nullptr : &top, {}};
    std::vector<const OrderRecord*> found;
    if (top.kind == RecordKind::Order) found.push_back(&top);
    ForEachRecord(top.children, [&](const OrderRecord& r) {
      if (r.kind == RecordKind::Order) found.push_back(&r);
    });
    for (const OrderRecord* r : found) {
      const std::string key = OrderKey(*r);
      if (!tree.file.known && held.count(key)) same.insert(key);
      if (wasSeen(key) || held.count(key)) continue;
      if (!r->orderId.empty()) {
        auto twin = unsavedById.find({r->orderId, r->orderDate});
        if (twin != unsavedById.end()) dropped.insert(twin->second);
      }
      // The whole record: a copy for the clipboard leaves out the order date, and an
      // order without it would no longer be known as the same order by the next save.
      OrderRecord copy = DuplicateRecord(*r);
      copy.children.clear();
      arrival.orders.push_back(std::move(copy));
      held.insert(key);
    }
    if (!arrival.orders.empty()) arrivals.push_back(std::move(arrival));
  }
  if (!dropped.empty()) EraseOrders(tree.records, dropped);
  std::set<long long> savedNumbers;
  // The tree's own copy of an order does not take its number from itself.
  ForEachRecord(disk.records, [&](const OrderRecord& r) {
    if (r.kind != RecordKind::Order || same.count(OrderKey(r))) return;
    if (std::optional<long long> n = OrderNumberOf(r.name)) savedNumbers.insert(*n);
  });
  RenumberUnsavedOrders(tree, savedNumbers);
  for (Arrival& arrival : arrivals) {
    std::vector<OrderRecord>* dest = nullptr;
    if (arrival.folder) {
      for (OrderRecord& r : tree.records)
        if (!dest && r.kind == arrival.folder->kind && r.name == arrival.folder->name)
          dest = &r.children;
    }
    if (!dest) dest = &NewOrdersFolder(tree);
    dest->insert(dest->begin(), std::make_move_iterator(arrival.orders.begin()),
                 std::make_move_iterator(arrival.orders.end()));
  }
}

}  // namespace

OrdersLoad LoadOrders(const std::string& folder, OrdersTree& tree) {
  OrdersLoad load;
  tree.records.clear();
  tree.fieldTemplate.reset();
  tree.file = OrdersFileState{};
  Result<FileLock> lock = LockOrders(folder);
  const std::string path = JoinPath(folder, kOrdersFileName);
  if (lock) RemoveInterruptedSaves(folder);
  auto bytes = ReadWholeFile(path);
  OrdersReading reading;
  if (bytes) reading = ReadOrdersText(*bytes);
  // An empty file holds nothing to keep: it reads like a missing one.
  const bool damaged = bytes && !bytes->empty() && !reading.Accepted();
  std::string aside;
  if (damaged && lock) aside = SetAside(folder, path);
  // A missing file is read from the backup too: a save that stopped right after moving the
  // file to the backup must not leave an empty tree whose next save drops the backup.
  if (!bytes || !reading.Accepted()) {
    if (auto backup = ReadWholeFile(JoinPath(folder, kOrdersBackupName))) {
      reading = ReadOrdersText(*backup);
      load.usedBackup = true;
    } else if (damaged) {
      // Half a file read as the whole would lose the rest at the next save.
      reading = OrdersReading{};
      load.status = Status::Error(
          ErrorKind::Corrupt,
          "The orders file 'orders.ost' is incomplete and there is no 'orders.bak' to read "
          "instead; " +
              (aside.empty() ? std::string("it was left as it is")
                             : "it was kept as '" + aside + "'") +
              " and not read.");
    }
  }
  if (!lock && load.status.ok()) load.status = lock.status();
  tree.records = std::move(reading.records);
  if (tree.records.empty()) {
    tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
    tree.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  }
  if (reading.latestOrder) tree.fieldTemplate = CopyRecord(*reading.latestOrder);
  // A tree from the backup or from nothing has not seen what orders.ost holds now.
  RememberFile(path, tree, bytes && !damaged && !load.usedBackup);
  return load;
}

namespace {

// Writes the file; on failure puts the backup back when the file had been moved there.
Status WriteOrders(const std::string& path, const std::string& backup, const OrdersTree& tree,
                   long long now, bool restoreBackup, const WriteProgress& progress) {
  // Customer data, card fields among them: the file and its backup are the owner's alone.
  AtomicWriteOptions options;
  options.ownerOnly = true;
  RestrictToOwner(backup);
  AtomicFile file(path, options);
  std::string out;
  const PieceSink sink = [&file](std::string& piece) { file.Write(piece); };
  WriteOrdersPieces(out, tree.records, now, VersionNumber(), &sink, &progress);
  file.Write(out);
  Status written = file.Commit();
  if (!written.ok()) {
    if (restoreBackup) std::rename(backup.c_str(), path.c_str());
    return Status::Error(ErrorKind::Io,
                         std::string(kOrdersWriteError) + " (" + written.message() + ")");
  }
  return Status::Ok();
}

Status SaveOrdersLocked(const std::string& folder, OrdersTree& tree, long long now,
                        const WriteProgress& progress) {
  const std::string path = JoinPath(folder, kOrdersFileName);
  const std::string backup = JoinPath(folder, kOrdersBackupName);
  OrdersFileState onDisk;
  if (Identify(path, onDisk) && !(tree.file.known && SameFile(tree.file, onDisk)))
    MergeSavedOrders(path, tree);
  else
    RenumberUnsavedOrders(tree, std::set<long long>());
  // Without an orders file the backup is the last good copy: keep it.
  if (!FileExists(path)) return WriteOrders(path, backup, tree, now, false, progress);
  std::remove(backup.c_str());
  // The backup becomes a second name of the file, so the file itself never goes missing;
  // where links are not possible the file is renamed to the backup.
  if (::link(path.c_str(), backup.c_str()) == 0)
    return WriteOrders(path, backup, tree, now, false, progress);
  bool moved = std::rename(path.c_str(), backup.c_str()) == 0;
  return WriteOrders(path, backup, tree, now, moved, progress);
}

}  // namespace

Status SaveOrders(const std::string& folder, OrdersTree& tree, long long now,
                  const std::function<void(std::size_t records)>& progress) {
  Result<FileLock> lock = LockOrders(folder);
  if (!lock)
    return Status::Error(ErrorKind::Io,
                         std::string(kOrdersWriteError) + " (" + lock.status().message() + ")");
  Status saved = SaveOrdersLocked(folder, tree, now, progress);
  if (saved.ok()) RememberFile(JoinPath(folder, kOrdersFileName), tree, true);
  return saved;
}

}  // namespace tolmi
