// Previews for the template and style pages: the order-form or confirmation
// template alone (the View of their pages), and a node's page made with a style
// that is not chosen yet; both are written into the project's preview folder and
// opened in the browser.
#pragma once

#include <string>

#include "builder/BuildSession.h"
#include "schemes/ProjectTemplates.h"

namespace tolmi {

// Makes the preview folder (PreviewDirectory) the session's build directory,
// writes the order page to "order.htm" or the confirmation page to "confirm.htm"
// in it (WriteOrderPage, WriteConfirmationPage, with the session's held templates)
// and opens it through session.launcher (the browser error shown when it cannot
// be opened). Returns the path written, or "" when nothing was written (no style
// scheme, or the R106 message).
std::string ViewOrderTemplate(BuildSession& session, OrderTemplateKind kind);

// The preview of node (PreviewNode) with the style at `at` of session.schemes in
// place of the project's: its templates (StylePreviewTemplateFolder), variables,
// pictures and files. The project comes out as it went in (every node's built size,
// checksum, digest and MOD, and the change mark), and so does the current scheme.
// Returns the path opened, or "" when none (see PreviewNode; an index not in the
// list opens nothing).
std::string PreviewStyle(BuildSession& session, const SchemeIndex& at, StoreNode& node);

}  // namespace tolmi
