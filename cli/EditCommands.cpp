// tolmi-cli commands that shape a store's tree: add a node, import products.
// Each opens the project through the lifecycle (as the desktop program does, with
// the style schemes loaded), edits it and saves it with a backup. Anything that
// fails stops before the save, so the project file is never half-written.
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <ostream>

#include "app/CommandRules.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "project/ProductImport.h"
#include "project/TreeEditing.h"
#include "schemes/Schemes.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

// One command run: the installation, its schemes and the opened project.
class EditRun : public CommandRun {
 public:
  using CommandRun::CommandRun;

  bool Open(const std::string& nameOrPath) {
    const std::string path = ProjectPath(nameOrPath);
    if (!FileExists(path)) return Fail("no project '" + path + "'");
    return CommandRun::Open(path);
  }

  // Selects the node of FILE, or leaves the selection empty when file is empty.
  bool SelectUnder(const std::string& file) {
    StoreProject& p = project();
    p.selected = nullptr;
    if (file.empty()) return true;
    p.selected = FindNodeByFile(RootNode(p), file);
    if (p.selected == nullptr) return Fail("no node has the file '" + file + "'");
    return true;
  }

  bool Save() { return Finish(SaveProject(session(), env()), "saving the project"); }

  std::uint32_t& serialCounter() { return globals().serialCounter; }
  std::ostream& err() { return ctx().err; }
};

struct KindName {
  const char* name;
  NodeKind kind;
  int menuCommand;  // the menu entry that makes this kind
};

constexpr std::array<KindName, 6> kKinds = {{
    {"category", NodeKind::Category, kCmdNewCategory},
    {"product", NodeKind::Product, kCmdNewProduct},
    {"shelf", NodeKind::Shelf, kCmdNewShelf},
    {"list", NodeKind::List, kCmdNewList},
    {"page", NodeKind::Page, kCmdNewPage},
    {"link", NodeKind::Link, kCmdNewLink},
}};

const KindName* FindKind(const std::string& name) {
  for (const KindName& k : kKinds) {
    if (EqualsNoCase(name, k.name)) return &k;
  }
  return nullptr;
}

// Whether the menu offers the command with the current node selected and the tree
// focused (no new category, shelf, list, page or link by a shelf or list or a
// product inside one).
bool MenuOffers(const ProjectSession& session, const TreeEditor& editor, int command) {
  WindowState window;
  window.focus = UiFocus::Tree;
  return EnabledMenuCommands(CommandStateFor(session, editor, window)).count(command) != 0;
}

struct AddOptions {
  std::string project, kind, title, under;
};

void SetupAdd(CLI::App& app, Context& ctx) {
  auto o = std::make_shared<AddOptions>();
  CLI::App* cmd = app.add_subcommand(
      "add", "Add a category, product, shelf, list, page or link; prints its file name");
  cmd->add_option("PROJECT", o->project, "Project name or .stp file")->required();
  cmd->add_option("KIND", o->kind, "category, product, shelf, list, page or link")->required();
  cmd->add_option("--title", o->title, "Title of the new node");
  cmd->add_option("--under", o->under,
                  "FILE of the node to place it by (a category takes it as its last child)");
  cmd->callback([&ctx, o] {
    EditRun run(ctx);
    const KindName* kind = FindKind(o->kind);
    if (kind == nullptr) {
      run.Fail("unknown kind '" + o->kind + "' (category, product, shelf, list, page, link)");
      return;
    }
    if (!run.Start() || !run.Open(o->project) || !run.SelectUnder(o->under)) return;
    if (kind->kind == NodeKind::Product && run.project().selected == nullptr) {
      run.Fail("a product needs --under FILE: the node to place it by");
      return;
    }
    TreeEditor editor(run.project(), run.serialCounter());
    if (run.project().selected != nullptr &&
        !MenuOffers(run.session(), editor, kind->menuCommand)) {
      run.Fail(std::string("a new ") + kind->name + " cannot be placed by the node of '" +
               o->under + "' (a shelf or list, or a product inside one, takes only products)");
      return;
    }
    StoreNode* node = editor.NewNode(kind->kind);
    if (node == nullptr) {
      run.Fail("the node could not be added");
      return;
    }
    if (!o->title.empty()) editor.Rename(*node, o->title);
    if (!run.Save()) return;
    run.out() << (node->file.empty() ? std::string("(no file)") : node->file) << "\n";
  });
}

struct ImportOptions {
  std::string project, dataFile, columns, delimiter, decimalPoint, under, records;
  bool update = false;
  bool header = false;
};

bool ParseNumber(const std::string& text, std::size_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return true;
}

// "3-7", "5" or empty (all): the record indices, numbered from 1 in file order.
// The end of a range is cut to the records there are; a start beyond them fails.
std::optional<std::string> ParseRecords(const std::string& text, std::size_t count,
                                        std::vector<std::size_t>& out) {
  std::size_t first = 1, last = count;
  if (!text.empty()) {
    const std::size_t dash = text.find('-');
    if (!ParseNumber(text.substr(0, dash), first) ||
        (dash != std::string::npos && !ParseNumber(text.substr(dash + 1), last)) || first == 0) {
      return "--records takes N or N-M, numbered from 1";
    }
    if (dash == std::string::npos) last = first;
    if (last < first) return "--records " + text + ": the range runs backwards";
    if (first > count) {
      return "--records " + text + ": the data file has " + std::to_string(count) + " record(s)";
    }
  }
  for (std::size_t i = first; i <= last && i <= count; ++i) out.push_back(i - 1);
  return std::nullopt;
}

// Assigns the comma-separated targets to the columns in order; an empty entry
// leaves its column without a target.
std::optional<std::string> AssignColumns(const std::string& text, ImportData& data) {
  std::vector<std::string> names(1);
  for (char c : text) {
    if (c == ',') {
      names.emplace_back();
    } else {
      names.back().push_back(c);
    }
  }
  for (std::size_t column = 0; column < names.size(); ++column) {
    std::string name = names[column];
    StrTrimWhite(name);
    if (name.empty()) continue;
    if (column >= kAssignableColumns) return "only the first 26 columns can be assigned";
    auto target = TargetFromName(name);
    if (!target) return "unknown column target '" + name + "'";
    data.columns[column] = *target;
  }
  return std::nullopt;
}

// --header: the first record names the columns; each name that is a target's header
// (or menu entry) assigns that column. Names of no target are reported and left out.
void AssignColumnsByHeader(const std::string& header, ImportData& data, std::ostream& err) {
  const std::vector<std::string> names = SplitRecord(header, data.settings);
  for (std::size_t column = 0; column < names.size() && column < kAssignableColumns; ++column) {
    std::string name = names[column];
    StrTrimWhite(name);
    if (auto target = TargetFromName(name)) {
      data.columns[column] = *target;
    } else if (!name.empty()) {
      err << "Column " << column + 1 << " (" << name << ") names no import target: left out\n";
    }
  }
}

// The first number column (Cost, Tax, Weight, Freight) of a record whose value holds no
// digit at all: a header line read as data. Nullopt when the record reads as data.
std::optional<std::string> NumberColumnWithoutDigits(const std::string& record,
                                                     const ImportData& data) {
  const std::vector<std::string> fields = SplitRecord(record, data.settings);
  for (std::size_t column = 0; column < fields.size() && column < kAssignableColumns; ++column) {
    const ImportTarget t = data.columns[column];
    if (t != ImportTarget::Cost && t != ImportTarget::Tax && t != ImportTarget::Weight &&
        t != ImportTarget::Freight)
      continue;
    std::string value = fields[column];
    StrTrimWhite(value);
    if (!value.empty() && std::none_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::string(TargetHeader(t)) + " \"" + value + "\"";
  }
  return std::nullopt;
}

// The first record holding a NUL byte (numbered from 1), if any.
std::optional<std::size_t> RecordWithNul(const ImportData& data) {
  for (std::size_t i = 0; i < data.records.size(); ++i) {
    if (data.records[i].find('\0') != std::string::npos) return i + 1;
  }
  return std::nullopt;
}

void SetupImport(CLI::App& app, Context& ctx) {
  auto o = std::make_shared<ImportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "import", "Import products from a delimited data file (or --update existing ones)");
  cmd->add_option("PROJECT", o->project, "Project name or .stp file")->required();
  cmd->add_option("DATAFILE", o->dataFile, "The data file")->required();
  cmd->add_option("--columns", o->columns,
                  "Targets of the columns in order, e.g. \"Title,Cost,,Product Code\"");
  cmd->add_flag("--header", o->header,
                "The first line names the columns (by the targets' names; --columns, when "
                "given, wins) and is not imported");
  cmd->add_option("--delimiter", o->delimiter, "Field delimiter (detected when not given)");
  cmd->add_option("--decimal-point", o->decimalPoint, "Decimal point of numbers (default .)");
  cmd->add_flag("--update", o->update, "Update the products found by Product Code instead");
  cmd->add_option("--under", o->under, "FILE of the node to import below");
  cmd->add_option("--records", o->records,
                  "Records to use, numbered from 1 after any --header line, e.g. 1-20 (without "
                  "it, a first line whose number columns hold no digits is taken for a header "
                  "and skipped)");
  cmd->callback([&ctx, o] {
    EditRun run(ctx);
    if (!FileExists(o->dataFile) || IsDirectory(o->dataFile)) {
      run.Fail("cannot read the data file '" + o->dataFile + "'");
      return;
    }
    auto data = ReadDataFile(o->dataFile);
    if (!data) {
      run.Fail(data.status().message());
      return;
    }
    if (data->records.empty()) {
      run.Fail("the data file '" + o->dataFile + "' holds no records");
      return;
    }
    if (auto nul = RecordWithNul(*data)) {
      run.Fail("record " + std::to_string(*nul) +
               " of the data file holds a NUL byte: it is not a text file (save it as plain "
               "text)");
      return;
    }
    if (o->delimiter.size() > 1) {
      run.Fail("the delimiter must be one character");
      return;
    }
    if (!o->delimiter.empty()) data->settings.delimiter = o->delimiter[0];
    if (!o->decimalPoint.empty()) data->settings.decimalPoint = o->decimalPoint;
    if (o->columns.empty() && !o->header) {
      run.Fail("give --columns TARGETS, or --header when the first line names the columns");
      return;
    }
    if (o->header) {
      if (o->columns.empty()) AssignColumnsByHeader(data->records.front(), *data, run.err());
      data->records.erase(data->records.begin());
    }
    if (auto problem = AssignColumns(o->columns, *data)) {
      run.Fail(*problem);
      return;
    }
    if (!o->header && o->records.empty() && !data->records.empty()) {
      if (auto column = NumberColumnWithoutDigits(data->records.front(), *data)) {
        run.err() << "Record 1 reads like a header line (" << *column
                  << "): skipped. Give --header to name the columns by it, or --records to "
                     "import it.\n";
        data->records.erase(data->records.begin());
      }
    }
    std::vector<std::size_t> chosen;
    if (auto problem = ParseRecords(o->records, data->records.size(), chosen)) {
      run.Fail(*problem);
      return;
    }
    if (!run.Start() || !run.Open(o->project) || !run.SelectUnder(o->under)) return;
    if (!o->update && run.project().selected == nullptr) {
      run.Fail("give --under FILE: the node to import below");
      return;
    }
    if (const StoreNode* under = run.project().selected; !o->update && under != nullptr) {
      const bool holds = under->kind == NodeKind::Category || under->kind == NodeKind::Shelf ||
                         under->kind == NodeKind::List;
      if (!holds && ParentNode(*under) == nullptr) {
        // Products go beside a page, product or link, and a top-level one has no parent.
        run.Fail("products cannot be placed by the top-level node of '" + o->under +
                 "': give a category, shelf or list");
        return;
      }
    }
    std::ostream& err = run.err();
    auto progress = [&err](int done, int total) {
      err << ImportProgressText(done, total) << "\n";
      return true;
    };
    Result<int> count = o->update ? UpdateProducts(run.project(), *data, chosen, run.prompter())
                                  : ImportProducts(run.project(), run.serialCounter(), *data,
                                                   chosen, run.prompter(), progress);
    if (!count) {
      ctx.exitCode = 1;  // the message is shown already; nothing is saved
      return;
    }
    if (!run.Save()) return;
    run.out() << *count << "\n";
  });
}

const bool registeredAdd = RegisterCommand(&SetupAdd);
const bool registeredImport = RegisterCommand(&SetupImport);

}  // namespace
}  // namespace tolmi::cli
