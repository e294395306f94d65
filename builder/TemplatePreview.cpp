#include "builder/TemplatePreview.h"

#include "builder/BuildDriver.h"
#include "builder/OrderForm.h"
#include "util/Browser.h"
#include "util/Paths.h"

namespace tolmi {

std::string ViewOrderTemplate(BuildSession& session, OrderTemplateKind kind) {
  session.buildDir = PreviewDirectory(session);
  CreateDirectoryPath(session.buildDir);
  const std::string path = session.OutputPath(OrderTemplateFile(kind));
  const bool written = kind == OrderTemplateKind::Order ? WriteOrderPage(session, path)
                                                        : WriteConfirmationPage(session, path);
  if (!written) return "";
  if (session.launcher &&
      !OpenInBrowser(*session.launcher, session.options.browserPath, path, kBrowserExistingWindow))
    ShowBrowserError(session.prompter);
  return path;
}

}  // namespace tolmi
