// The project's own copies of the page templates (its "Template" folder): installing
// them when a style is chosen, replacing old ones when a project saved by an older
// program is opened, bringing old colour names and picture tags in a loaded
// template up to date, and substituting the style variables into built text.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "project/Lifecycle.h"
#include "project/StoreProject.h"
#include "schemes/Schemes.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// The eight templates of a scheme, in the order they are copied.
inline constexpr std::array<const char*, 8> kSchemeTemplates = {
    "category.htm", "product.htm", "shelf.htm",   "list.htm",
    "page.htm",     "order.htm",   "confirm.htm", "search.htm"};

inline constexpr const char* kChooseStyleQuestion =
    "In order to use this style, Tolmi PRO needs to assign new templates to all categories and "
    "items.  If you have modified any of the existing templates, your changes will be "
    "lost.\r\n\r\nDo you wish to proceed?";
inline constexpr const char* kUpgradeTitle = "Project Upgrade";
inline constexpr const char* kUpgradeThreeMessage =
    "Your project was saved with an older version of Tolmi PRO.\r\n\r\nFor compatibility, Tolmi "
    "needs to replace your Shelf, Order form, and Confirmation page templates.  If you have made "
    "changes to these templates, a copy of the changed versions will be saved as shelf.bak, "
    "order.bak and confirm.bak in your project's template directory.";
inline constexpr const char* kUpgradeTwoMessage =
    "Your project was saved with an older version of Tolmi PRO.\r\n\r\nFor compatibility, Tolmi "
    "needs to replace your Order form, and Confirmation page templates.  If you have made changes "
    "to these templates, a copy of the changed versions will be saved as order.bak and "
    "confirm.bak in your project's template directory.";

// Project versions below which templates are replaced on opening.
inline constexpr int kShelfUpgradeBelow = 101004;
inline constexpr int kTemplateUpgradeBelow = kTemplatesCurrentFrom;

// The folder holding a scheme's templates: "template/<folder>" ("template" for a
// scheme without folder) below the installation directory.
std::string SchemeTemplateDir(const std::string& installDir, const Scheme& scheme);

// Gives every node of the tree the template of its own kind: "product.htm",
// "shelf.htm", "list.htm", "page.htm", and "category.htm" for the rest.
void ResetNodeTemplates(StoreProject& project);

// Copies the scheme's eight templates into "<projectDir>/Template", each
// replacing the project's file; a template that cannot be copied is skipped and
// the project's file stays. Returns the number copied.
int CopySchemeTemplates(const std::string& installDir, const Scheme& scheme,
                        const std::string& projectDir);

// Resets the node templates and copies the scheme's templates (what choosing a
// style does once the merchant agreed, and what the Store Wizard does without
// asking). Returns the number of templates copied.
int ApplyStyleTemplates(StoreProject& project, const std::string& installDir, const Scheme& scheme,
                        const std::string& projectDir);

// Choosing a style for the open project: asks kChooseStyleQuestion ("Confirmation",
// Yes/No/Cancel); only Yes goes on. Then applies the style templates, makes the
// scheme current, records it as the project's style and marks the project
// changed. Cancelled when not answered Yes; NotFound for an index not in the list.
Result<int> ChooseStyle(StoreProject& project, SchemeList& list, const SchemeIndex& at,
                        const std::string& projectDir, Prompter& prompter);

// For a project read from an older program (the lifecycle runs it at the project's
// first save): a version of 103001 or more needs nothing (nullopt). Otherwise shows
// the upgrade message ("Project Upgrade"), backs up and replaces "shelf.htm" (below
// 101004 only), "order.htm" and "confirm.htm" of the project's "Template" folder from
// "template/shelf.htm", "template/order.dat" and "template/confirm.dat", marks the
// project changed and returns the message. A template equal to the installed one is
// left alone; an existing ".bak" that holds something else is never overwritten (the
// backup takes the next free name, "order(1).bak"); a template whose backup cannot be
// written is not replaced.
std::optional<std::string> UpgradeProjectTemplates(StoreProject& project,
                                                   const std::string& projectDir,
                                                   const std::string& installDir,
                                                   Prompter& prompter);

// The old colour and button names of a page template in their current form.
void ConvertPageTemplate(std::string& text);
// The old colour names of the project's order and confirmation templates.
void ConvertOrderTemplate(std::string& text);
// The old colour and heading names of the order-form frame ("template/register.dat").
void ConvertOrderFormFrame(std::string& text);

// For a page template without a "<!--Version" mark: names of the scheme's files
// written with ".gif" for ".png" are changed to the real names, and the old
// spacer picture tags are removed. Templates with the mark are left alone.
void RemoveOldBulletPictures(std::string& text, const Scheme* scheme);

// Reads a page template and brings it up to date (ConvertPageTemplate, then
// RemoveOldBulletPictures); nullopt when the file cannot be read.
std::optional<std::string> LoadPageTemplate(const std::string& path, const Scheme* scheme);

// Replaces every variable of the scheme (by name, case-sensitive, in list order)
// by its value; with the 3D cart on, "%S_CELLBORDER%" becomes "1" and
// "%S_BORDER%" "6". Then removes every remaining "%S_HEADING2%" and
// "%S_HEADING3%". Returns the number of replacements of the variables.
int ApplyStyleVariables(std::string& text, const Scheme& scheme, bool has3dCart);

// The project lifecycle's template-installation hook for a new project or Save
// As: copies into the project the templates of its style (when the list has it)
// or else of the current scheme. NotFound (without message) when there is none.
Status InstallProjectStyleTemplates(SchemeList& list, const StoreProject& project,
                                    const std::string& projectDir);

// Fills the lifecycle's template hooks: installStyleTemplates (a new project and
// Save As get the templates of the project's style) and upgradeTemplates (an
// older project's templates are replaced at its first save, with env.prompter
// showing the message). The list and the project must outlive env.
void SetStyleTemplateHooks(LifecycleEnv& env, SchemeList& list, const StoreProject& project);

}  // namespace tolmi
