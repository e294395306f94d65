// The project's templates as the template editors see them: the page templates of
// the project's "Template" folder (read and written as files, byte for byte), the
// order-form and confirmation templates held in the open project session (written
// with the project), loading a template's text from a file the merchant chooses,
// and resetting the order-form or confirmation template to the installed default.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "project/Lifecycle.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// The question "Default" asks (title "Confirmation", OK and Cancel).
inline constexpr const char* kResetTemplateQuestion =
    "This will reset the template to an Tolmi default. All changes will be lost.  Do you wish "
    "to proceed?";
// A file larger than this is refused as a template: no page template comes near it,
// and an editor holding a stray archive or disc image would stall the window.
inline constexpr std::size_t kMaxTemplateBytes = 1024 * 1024;
// Messages of ReadTemplateFile (each with the path).
inline constexpr const char* kTemplateUnreadable = "Unable to read the file '%s'.";
inline constexpr const char* kTemplateTooLarge =
    "The file '%s' is too large for a template (more than 1048576 bytes).";
inline constexpr const char* kTemplateBinary =
    "The file '%s' is not a template: it holds binary data.";

enum class OrderTemplateKind { Order, Confirmation };

// "order.htm" or "confirm.htm".
const char* OrderTemplateFile(OrderTemplateKind kind);
// The installed default: "template/order.dat" or "template/confirm.dat".
const char* OrderTemplateDefault(OrderTemplateKind kind);

// The project's template folder: "<projectDir>/Template" (an existing folder of
// another case, such as "template", is found).
std::string ProjectTemplateFolder(const std::string& projectDir);

// True for a plain file name that may name a project template: not empty, no
// folder separator, not "." or "..".
bool IsTemplateFileName(std::string_view name);

// The page template's bytes as they are on disk. InvalidArgument for a name that
// is no plain file name; NotFound (with kTemplateUnreadable) when it cannot be read.
Result<std::string> ReadProjectTemplate(const std::string& projectDir, const std::string& name);

// Writes the page template atomically, byte for byte. On failure shows
// kTemplateWriteError (titled "Error") with the path and returns Io; the old file stays.
Status WriteProjectTemplate(const std::string& projectDir, const std::string& name,
                            std::string_view text, Prompter& prompter);

// A file's text for a template editor's Load: NotFound when it cannot be read,
// InvalidArgument when it is larger than kMaxTemplateBytes or holds a NUL byte
// (binary data). The status message is the text to show; nothing is read then.
Result<std::string> ReadTemplateFile(const std::string& path);

// The order-form or confirmation template text held by the session.
const std::string& OrderTemplateText(const ProjectSession& session, OrderTemplateKind kind);

// Replaces the held text. When it differs, the template's changed flag and the
// project's change mark are set (the template is written with the project's next
// save). Returns whether it differed.
bool SetOrderTemplateText(ProjectSession& session, OrderTemplateKind kind, std::string text);

// "Default": asks kResetTemplateQuestion ("Confirmation", OK/Cancel); on OK reads
// the installed default below installDir into the session (SetOrderTemplateText,
// marked changed even when the text was the same). Cancelled without OK (nothing
// changes); when the default cannot be read shows "ERROR M101: Copying
// 'template\order.dat' template" (or confirm.dat) and returns NotFound, unchanged.
Status ResetOrderTemplate(ProjectSession& session, OrderTemplateKind kind,
                          const std::string& installDir, Prompter& prompter);

}  // namespace tolmi
