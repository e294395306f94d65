#include "app/Globals.h"

#include "util/Dates.h"
#include "util/Version.h"

namespace tolmi {

void SetStartValues(AppGlobals& globals) {
  globals.config = AppConfig{};
  globals.config.view = 255;
  globals.config.other = 1;
  globals.config.lowerCaseLinks = 1;
  globals.config.orderNumber = 1000;
  globals.config.orderSave = 1;
  globals.config.dateFormat = LocaleDateOrder();
  globals.proxyPort = 80;
  globals.firewallPort = 21;
  globals.session = ProjectSession{};
  for (size_t i = 0; i < kDefaultDeliveryMethodNames.size(); ++i)
    globals.session.project.deliveryMethodNames[i] = kDefaultDeliveryMethodNames[i];
  const VersionParts version = AppVersion();
  globals.versionNumber = VersionNumber(version);
  globals.versionText = VersionText(version);
  globals.buildNumber = version.build;
}

void AddDefaultVariables(AppGlobals& globals) {
  std::vector<StoreVariable>& variables = globals.session.project.variables;
  if (variables.empty()) SetVariable(variables, kCopyrightVariable, kCopyrightValue);
}

LifecycleEnv MakeLifecycleEnv(AppGlobals& globals, Prompter& prompter, const Clock& clock) {
  LifecycleEnv env;
  env.installDir = globals.home;
  env.prompter = &prompter;
  env.clock = &clock;
  env.versionNumber = globals.versionNumber;
  env.serialCounter = &globals.serialCounter;
  env.fileContext.domains = &globals.domains;
  env.fileContext.installedCards = &globals.cards;
  env.fileContext.styles = &globals.styles;
  return env;
}

}  // namespace tolmi
