#include "builder/TemplatePreview.h"

#include "builder/BuildDriver.h"
#include "builder/OrderForm.h"
#include "schemes/StyleChoice.h"
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

std::string PreviewStyle(BuildSession& session, const SchemeIndex& at, StoreNode& node) {
  if (!session.schemes.At(at)) return "";
  struct Built {
    StoreNode* node;
    std::int32_t size, checksum;
    std::string digest;
    std::uint8_t mod;
  };
  std::vector<Built> kept;
  ForEachNode(session.project, [&](StoreNode& n) {
    kept.push_back({&n, n.builtSize, n.builtChecksum, n.builtDigest, n.mod});
  });
  const bool changed = session.project.changed;
  const std::optional<SchemeIndex> current = session.schemes.current;
  const std::string folder = session.templateFolder;

  session.schemes.current = at;
  session.templateFolder = StylePreviewTemplateFolder(session.schemes, at);
  const std::string opened = PreviewNode(session, node);

  session.templateFolder = folder;
  session.schemes.current = current;
  session.project.changed = changed;
  for (Built& b : kept) {
    b.node->builtSize = b.size;
    b.node->builtChecksum = b.checksum;
    b.node->builtDigest = std::move(b.digest);
    b.node->mod = b.mod;
  }
  return opened;
}

}  // namespace tolmi
