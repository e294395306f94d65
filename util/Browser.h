// Opening pages and addresses in the merchant's web browser: the configured
// browser path, else $BROWSER, else xdg-open, started without waiting for it.
// Started through a BrowserLauncher so tests can see what would be run.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tolmi {

class Prompter;

// The message shown when a preview cannot be opened (quotes and two spaces included).
constexpr char kBrowserErrorText[] =
    "\"Unable to open the specified Browser. Please check the  Preferences.\"";
constexpr char kBrowserErrorTitle[] = "Browser Error";

// Window modes of the "HTML Browser" preferences page. Both start the browser
// here: there is no running-browser conversation to reuse a window through.
enum : int { kBrowserExistingWindow = 0, kBrowserNewWindow = 1 };

class BrowserLauncher {
 public:
  virtual ~BrowserLauncher() = default;
  // Starts program (a path or a name on PATH) with one argument, without
  // waiting for it. True when it started.
  virtual bool Launch(const std::string& program, const std::string& argument) = 0;
  // True when program can be run (an executable path, or a name found on PATH).
  virtual bool Exists(const std::string& program) const = 0;
};

// The real launcher: posix_spawnp, children reaped on later calls.
class SpawnBrowserLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string& program, const std::string& argument) override;
  bool Exists(const std::string& program) const override;
};

using BrowserEnvironment = std::function<std::optional<std::string>(const std::string& name)>;

// Fills the candidates (candidate1: xdg-open when present, candidate2: the
// first command of $BROWSER) and, when browserPath is empty, sets it to the
// first usable of $BROWSER, xdg-open; "xdg-open" when none is found.
void FindBrowser(std::string& browserPath, std::string& candidate2, std::string& candidate1,
                 const BrowserLauncher& launcher, const BrowserEnvironment& env = nullptr);

// Opens target (a name without ":" is taken relative to the current directory)
// in the browser; an empty browserPath means the one FindBrowser finds.
// Returns 1 on success, 0 when the browser could not be started.
int OpenInBrowser(BrowserLauncher& launcher, const std::string& browserPath,
                  const std::string& target, int windowMode,
                  const BrowserEnvironment& env = nullptr);

// Shows the "Browser Error" message.
void ShowBrowserError(Prompter& prompter);

}  // namespace tolmi
