// The View of the order-form and confirmation template pages: the template alone,
// filled as for the order form, written into the project's preview folder and
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

}  // namespace tolmi
