// The windows of the project commands, as free functions the main window's
// command handlers call: Open Store, Save, Save As, Restore from Backup, Merge,
// Preferences, Help and About, with the load and save progress windows around
// the core's work. Every rule, text and message comes from the core (the
// lifecycle, the Preferences record, the help file); these functions only show
// windows, collect the merchant's answer and call the core.
//
// Modal windows run with exec(); messages go through the given Prompter and file
// windows through the given FileChooser, so tests drive all of it with fakes.
#pragma once

#include <string>

#include "app/AppSession.h"
#include "ui/FileChooser.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "util/Browser.h"
#include "util/Platform.h"
#include "util/Result.h"

class QWidget;

namespace tolmi::ui {

// What every project window needs. All references must outlive the call.
struct WindowContext {
  QWidget* parent = nullptr;
  AppSession& session;
  Prompter& prompter;  // the same prompter the session's core calls use
  FileChooser& chooser;
  BrowserLauncher& launcher;
  SoundPlayer* sounds = nullptr;  // the merchant's sounds; none: the program's own player
};

// Opens the project at path (start-up, a recent entry) inside the "Loading store
// project" window. The result is AppSession::Open's.
Status LoadProjectCommand(const WindowContext& ctx, const std::string& path);

// File, Open Store: the unsaved-changes question (saving inside the progress
// window), the "Open Project" file window in "Projects" ("Store Project
// (*.stp)"), then the load. Cancelled when no file was chosen.
Status OpenStoreCommand(const WindowContext& ctx);

// File, Save: AppSession::Save with the "Saving store project" window.
Status SaveCommand(const WindowContext& ctx);

// File, Save As: the "Save Project As" window, then SaveProjectAs with the save
// progress window; the new path goes first in the recent list. Cancelled when
// the window was cancelled.
Status SaveAsCommand(const WindowContext& ctx);

// File, Restore from Backup: the list of the project's backups, then
// RestoreBackup (which asks the revert question). Cancelled without a project
// or when the window was cancelled.
Status RestoreBackupCommand(const WindowContext& ctx);

// File, Merge: the "Import from Project" file window, then MergeProject below
// selected (null: no node is current). Cancelled when no file was chosen.
Status MergeCommand(const WindowContext& ctx, StoreNode* selected);

// Options, Preferences on the given page ("Order Server Settings" for the start
// action and the order-server check). OK writes through ApplyPreferences and
// updates the session's proxy settings. True when the preferences were written
// (the project may then be marked changed).
bool PreferencesCommand(const WindowContext& ctx,
                        PreferencesPage startPage = PreferencesPage::StoreOptions);

// Help, Help: the help window with the home's "help.htm" (raised when already
// open). A missing page shows the core's message titled "Error". While the window
// is open the configuration's "help" is 1.
void HelpCommand(const WindowContext& ctx);
// Whether the help window of parent is open (for the "help" key at exit).
bool HelpWindowOpen(const QWidget* parent);

// Help, About: the About box with the version text ("2.09.003").
void AboutCommand(const WindowContext& ctx);

}  // namespace tolmi::ui
