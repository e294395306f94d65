#include "ui/StorePages.h"

#include <cstring>

#include "ui/freight/FreightPage.h"
#include "ui/styles/StylePage.h"
#include "ui/templates/OrderTemplatePage.h"
#include "ui/templates/TemplatePage.h"
#include "ui/templates/VariablesPage.h"

namespace tolmi::ui {

StorePage* MakeStorePage(const char* name, const WindowContext& ctx, QWidget* parent) {
  const auto is = [name](const char* page) { return std::strcmp(name, page) == 0; };
  if (is("Template")) return new TemplatePage(ctx.session, ctx.prompter, ctx.chooser, parent);
  if (is("Order Form"))
    return new OrderTemplatePage(OrderTemplateKind::Order, ctx.session, ctx.prompter, ctx.chooser,
                                 ctx.launcher, parent);
  if (is("Confirmation"))
    return new OrderTemplatePage(OrderTemplateKind::Confirmation, ctx.session, ctx.prompter,
                                 ctx.chooser, ctx.launcher, parent);
  if (is("Layout"))
    return new StylePage(ctx.session, ctx.prompter, ctx.chooser, ctx.launcher, parent);
  if (is("Variables")) return new VariablesPage(ctx.session, ctx.prompter, parent);
  if (is("Freight")) return new FreightPage(ctx, parent);
  return nullptr;
}

}  // namespace tolmi::ui
