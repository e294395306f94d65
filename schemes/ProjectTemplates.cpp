#include "schemes/ProjectTemplates.h"

#include "util/Files.h"
#include "util/Paths.h"

namespace tolmi {

namespace {

std::string WithPath(const char* format, const std::string& path) {
  std::string text = format;
  text.replace(text.find("%s"), 2, path);
  return text;
}

std::string& HeldText(ProjectSession& session, OrderTemplateKind kind) {
  return kind == OrderTemplateKind::Order ? session.orderTemplate : session.confirmTemplate;
}

bool& ChangedFlag(ProjectSession& session, OrderTemplateKind kind) {
  return kind == OrderTemplateKind::Order ? session.orderTemplateChanged
                                          : session.confirmTemplateChanged;
}

}  // namespace

const char* OrderTemplateFile(OrderTemplateKind kind) {
  return kind == OrderTemplateKind::Order ? "order.htm" : "confirm.htm";
}

const char* OrderTemplateDefault(OrderTemplateKind kind) {
  return kind == OrderTemplateKind::Order ? "template/order.dat" : "template/confirm.dat";
}

std::string ProjectTemplateFolder(const std::string& projectDir) {
  return ResolveExistingPath((projectDir.empty() ? std::string(".") : projectDir) + "/Template");
}

bool IsTemplateFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

Result<std::string> ReadProjectTemplate(const std::string& projectDir, const std::string& name) {
  if (!IsTemplateFileName(name))
    return Status::Error(ErrorKind::InvalidArgument, "Invalid template name '" + name + "'");
  const std::string path = ResolveExistingPath(ProjectTemplateFolder(projectDir) + "/" + name);
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Status::Error(ErrorKind::NotFound, WithPath(kTemplateUnreadable, path));
  return std::move(*text);
}

Status WriteProjectTemplate(const std::string& projectDir, const std::string& name,
                            std::string_view text, Prompter& prompter) {
  if (!IsTemplateFileName(name))
    return Status::Error(ErrorKind::InvalidArgument, "Invalid template name '" + name + "'");
  const std::string path = ResolveExistingPath(ProjectTemplateFolder(projectDir) + "/" + name);
  if (Status written = WriteFileAtomic(path, text); !written) {
    const std::string message = WithPath(kTemplateWriteError, path);
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::Io, message);
  }
  return Status::Ok();
}

Result<std::string> ReadTemplateFile(const std::string& path) {
  // The size first, so that a huge file is never read whole.
  if (IsDirectory(path) || !FileExists(path))
    return Status::Error(ErrorKind::NotFound, WithPath(kTemplateUnreadable, path));
  if (FileSize(path) > kMaxTemplateBytes)
    return Status::Error(ErrorKind::InvalidArgument, WithPath(kTemplateTooLarge, path));
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Status::Error(ErrorKind::NotFound, WithPath(kTemplateUnreadable, path));
  // The file may have grown between the two looks.
  if (text->size() > kMaxTemplateBytes)
    return Status::Error(ErrorKind::InvalidArgument, WithPath(kTemplateTooLarge, path));
  if (text->find('\0') != std::string::npos)
    return Status::Error(ErrorKind::InvalidArgument, WithPath(kTemplateBinary, path));
  return std::move(*text);
}

const std::string& OrderTemplateText(const ProjectSession& session, OrderTemplateKind kind) {
  return kind == OrderTemplateKind::Order ? session.orderTemplate : session.confirmTemplate;
}

bool SetOrderTemplateText(ProjectSession& session, OrderTemplateKind kind, std::string text) {
  std::string& held = HeldText(session, kind);
  if (held == text) return false;
  held = std::move(text);
  ChangedFlag(session, kind) = true;
  session.project.changed = true;
  return true;
}

Status ResetOrderTemplate(ProjectSession& session, OrderTemplateKind kind,
                          const std::string& installDir, Prompter& prompter) {
  if (prompter.Ask(kResetTemplateQuestion, "Confirmation", PromptButtons::OkCancel) !=
      PromptAnswer::Ok)
    return Status::Error(ErrorKind::Cancelled, "");
  const std::string path = ResolveExistingPath(JoinPath(installDir, OrderTemplateDefault(kind)));
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    const std::string message = std::string("ERROR M101: Copying 'template\\") +
                                (kind == OrderTemplateKind::Order ? "order.dat" : "confirm.dat") +
                                "' template";
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::NotFound, message);
  }
  SetOrderTemplateText(session, kind, std::move(*text));
  // The file on disk may hold the merchant's edits even when the held text matches.
  ChangedFlag(session, kind) = true;
  session.project.changed = true;
  return Status::Ok();
}

}  // namespace tolmi
