#include "builder/OrderForm.h"

#include "builder/FillTemplate.h"
#include "builder/Freight.h"
#include "builder/Pages.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

std::string SupportPath(const BuildSession& session, std::string_view name) {
  if (session.buildDir.empty())
    return SlashPath(session.project.settings.projectDir + "/web/" + std::string(name));
  return session.OutputPath(name);
}

bool WriteToPath(BuildSession& session, const std::string& path, std::string_view text) {
  std::string normal = SlashPath(path);
  if (FileHoldsBytes(normal, text)) return true;  // unchanged: keep its stamp
  std::remove(normal.c_str());
  if (!WriteFileAtomicUnsynced(normal, text)) {
    session.prompter.Show("ERROR R106: Unable to open HTML output file", "Error",
                          PromptIcon::Error);
    return false;
  }
  return true;
}

std::string OrderTemplateText(BuildSession& session) {
  if (session.orderTemplate.empty())
    session.orderTemplate = ReadWholeFile(session.InstallPath("template/order.dat")).value_or("");
  return session.orderTemplate;
}

}  // namespace

bool WriteSupportPage(BuildSession& session, std::string_view name, std::string_view text) {
  return WriteToPath(session, SupportPath(session, name), text);
}

bool WriteCartPage(BuildSession& session) {
  if (!session.cartTemplate) {
    session.cartTemplate = ReadWholeFile(session.InstallPath("template/trolley.dat"));
    if (!session.cartTemplate) return false;
  }
  session.ShowLabel("trolley.html");
  session.StoreSupportChecksum("trolley.html", *session.cartTemplate, false);
  return WriteSupportPage(session, "trolley.html", *session.cartTemplate);
}

void InsertAcceptedCards(BuildSession& session, std::string& text) {
  if (text.find("$ACCEPTED_CARDS") == std::string::npos) return;
  std::string select = "<SELECT NAME=\"CardType\">\n";
  for (const AcceptedCard& card : session.project.cards)
    select += "<OPTION VALUE=\"" + card.name + "\">" + card.name + "\n";
  select += "</SELECT>";
  if (session.project.cards.empty())
    session.log.Warning("warning: accepted credit cards list not defined");
  ReplaceFirst(text, "$ACCEPTED_CARDS", select);
}

bool WriteOrderForm(BuildSession& session) {
  std::optional<std::string> frame = ReadWholeFile(session.InstallPath("template/register.dat"));
  if (!frame) return false;
  session.ShowLabel("register.html");
  const StoreSettings& settings = session.project.settings;
  Scheme* scheme = session.schemes.current ? session.schemes.At(*session.schemes.current) : nullptr;
  auto style = [&](std::string& text) {
    if (scheme) ApplyStyleVariables(text, *scheme, settings.has3dCart);
  };
  ConvertOrderFormFrame(*frame);
  style(*frame);
  if (frame->find("$TOLMI_SERVER") != std::string::npos) {
    if (session.options.orderServer.empty())
      session.log.Error("error: register.html: Tolmi Server not defined in preferences!");
    ReplaceAll(*frame, "$TOLMI_SERVER", session.options.orderServer);
  }
  ReplaceFirst(*frame, "$FREIGHT", FreightText(session.project));
  std::string form = RemoveComments(OrderTemplateText(session));
  ReplaceFirst(form, "$MESSAGE", settings.orderMessage);
  InsertAcceptedCards(session, form);
  ReplaceAll(form, "\"", "%22");
  style(form);
  ReplaceFirst(*frame, "$FORM", form);
  std::string confirm = session.confirmTemplate;
  ReplaceFirst(confirm, "$CONFIRM", settings.confirmMessage);
  ReplaceAll(confirm, "\"", "%22");
  style(confirm);
  confirm = RemoveComments(confirm);
  ReplaceAll(confirm, "\r\n", "");
  ReplaceFirst(*frame, "$CONFIRM", confirm);
  ReplaceAll(*frame, "$MODE", settings.cartOnScreen ? "0" : "1");
  ApplyGlobalVariables(session, *frame);
  session.StoreSupportChecksum("register.html", *frame, false);
  return WriteSupportPage(session, "register.html", *frame);
}

bool WriteOrderPage(BuildSession& session, const std::string& path) {
  std::string text = OrderTemplateText(session);
  ReplaceFirst(text, "$MESSAGE", session.project.settings.orderMessage);
  InsertAcceptedCards(session, text);
  Scheme* scheme = session.CurrentScheme();
  if (!scheme) return false;
  ApplyGlobalVariables(session, text);
  ApplyStyleVariables(text, *scheme, session.project.settings.has3dCart);
  return WriteToPath(session, path, text);
}

bool WriteConfirmationPage(BuildSession& session, const std::string& path) {
  std::string text = session.confirmTemplate;
  ReplaceFirst(text, "$CONFIRM", session.project.settings.confirmMessage);
  Scheme* scheme = session.CurrentScheme();
  if (!scheme) return false;
  ApplyGlobalVariables(session, text);
  ApplyStyleVariables(text, *scheme, session.project.settings.has3dCart);
  return WriteToPath(session, path, text);
}

}  // namespace tolmi
