#include "builder/StoreIndex.h"

#include "builder/FillTemplate.h"
#include "builder/Pages.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

std::string IndexForm(std::string_view value) {
  if (StartsWithNoCase(value, "http")) return std::string(value);
  std::string v(value);
  for (char& c : v)
    if (c == '/') c = '\\';
  std::size_t slash = v.rfind('\\');
  if (slash != std::string::npos) v.erase(0, slash + 1);
  return ToLowerAscii(v);
}

std::string IndexLine(const StoreNode& node) {
  std::string line = "#" + std::to_string(static_cast<int>(node.kind)) + "|'" + node.title + "'|'" +
                     node.cost + "'|'" + IndexForm(node.file) + "'|'" + IndexForm(node.image) +
                     "'|'" + IndexForm(node.link) + "'|'" + node.desc + "'|'" + node.keywords + "'";
  ReplaceAll(line, "''", "");
  return line + "\n";
}

std::string IndexHeader(const StoreProject& project) {
  std::string header = "; Tolmi Index File\n; v" + MajorVersionText() +
                       "\nVERSION=" + MajorVersionText() + "." + MinorVersionText() +
                       "\nTITLE=" + project.settings.storeTitle + "\n";
  if (!project.settings.currency.empty()) header += "CURRENCY=" + project.settings.currency + "\n";
  for (const StoreVariable& variable : project.variables)
    if (variable.name == "$COUNTRY") {
      header += "COUNTRY=" + variable.value + "\n";
      break;
    }
  return header;
}

void WriteIndexLine(BuildSession& session, const StoreNode& node) {
  if (session.bufferIndex) {
    session.indexLines += IndexLine(node);
    return;
  }
  if (!session.indexFile) return;
  std::string line = IndexLine(node);
  std::fwrite(line.data(), 1, line.size(), session.indexFile);
}

bool WriteSearchTemplate(BuildSession& session) {
  StoreNode* subject = RootNode(session.project);
  if (!subject) return true;
  Scheme* scheme = session.CurrentScheme();
  std::optional<std::string> loaded =
      LoadPageTemplate(session.ProjectTemplatePath("search.htm"), scheme);
  std::string text = loaded.value_or(std::string());
  ++session.visitMark;
  NavigationIndex(session, text, *subject, *subject);
  if (scheme) ApplyStyleVariables(text, *scheme, session.project.settings.has3dCart);
  if (!FillTemplate(session, text, *subject, *subject, 1)) return false;
  if (subject->file.empty()) return true;
  std::string slashed = SlashPath(subject->file);
  if (std::size_t slash = slashed.rfind('/'); slash != std::string::npos) {
    std::string folder = session.OutputPath(slashed.substr(0, slash));
    // A new folder is a new entry in a folder whose listing may be kept.
    if (!IsDirectory(folder)) session.outputFolders.clear();
    CreateDirectoryPath(folder);
  }
  std::string path = session.OutputPath("tolmi.tpl");
  if (!session.WriteOutputFile(path, text)) {
    session.prompter.Show("ERROR R107: Unable to open HTML output file.", "Error",
                          PromptIcon::Error);
    return false;
  }
  session.StoreSupportChecksum("tolmi.tpl", ReadWholeFile(path).value_or(text), true);
  return true;
}

}  // namespace tolmi
