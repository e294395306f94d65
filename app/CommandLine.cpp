#include "app/CommandLine.h"

#include "util/Version.h"

namespace tolmi {

CommandLine ParseCommandLine(std::string_view text) {
  CommandLine result;
  bool haveOption = false, haveArgument = false;
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n) {
    if (text[pos] == ' ' || text[pos] == '\t') {
      ++pos;
      continue;
    }
    size_t end;
    if (text[pos] == '-') {
      if (!haveOption) {
        result.option = pos + 1 < n ? text[pos + 1] : 0;
        haveOption = true;
      }
      if (pos + 2 < n && text[pos + 2] == '"') {
        end = text.find('"', pos + 3);
        end = end == std::string_view::npos ? n : end + 1;
      } else {
        end = text.find(' ', pos);
        if (end == std::string_view::npos) end = n;
      }
    } else if (text[pos] == '"') {
      size_t close = text.find('"', pos + 1);
      size_t stop = close == std::string_view::npos ? n : close;
      if (!haveArgument) {
        result.argument = std::string(text.substr(pos + 1, stop - pos - 1));
        haveArgument = true;
      }
      end = close == std::string_view::npos ? n : close + 1;
    } else {
      end = text.find_first_of(" \t", pos);
      if (end == std::string_view::npos) end = n;
      if (!haveArgument) {
        result.argument = std::string(text.substr(pos, end - pos));
        haveArgument = true;
      }
    }
    pos = end;
  }
  return result;
}

CommandLine ParseCommandLine(const std::vector<std::string>& words) {
  CommandLine result;
  bool haveOption = false, haveArgument = false;
  for (const std::string& w : words) {
    if (!w.empty() && w[0] == '-') {
      if (!haveOption) {
        result.option = w.size() > 1 ? w[1] : 0;
        haveOption = true;
      }
    } else if (!haveArgument) {
      result.argument = w;
      haveArgument = true;
    }
  }
  return result;
}

StartOption OptionOf(const CommandLine& line) {
  switch (line.option) {
    case 'D':
    case 'd':
      return StartOption::DeleteFolder;
    case 'P':
    case 'p':
      return StartOption::ExitAfterConfig;
    case 'N':
    case 'n':
      return StartOption::NewStore;
    case 'R':
    case 'r':
      return StartOption::BuildStore;
    default:
      return StartOption::None;
  }
}

std::string FolderToDelete(const std::string& argument) {
  size_t slash = argument.find_last_of("/\\");
  if (slash == std::string::npos) return {};
  std::string folder = argument.substr(0, slash);
  // Never the root ("/", "C:") nor a folder made only of separators and dots.
  if (folder.find_first_not_of("/\\.") == std::string::npos) return {};
  if (folder.size() == 2 && folder[1] == ':') return {};
  for (char& c : folder)
    if (c == '\\') c = '/';
  return folder;
}

std::string MainWindowTitle(const std::string& projectPath) {
  std::string name;
  if (!projectPath.empty()) {
    size_t slash = projectPath.find_last_of("/\\");
    name = slash == std::string::npos ? projectPath : projectPath.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
  }
  return std::string(kProductName) + " - " + name;
}

}  // namespace tolmi
