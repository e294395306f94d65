// The fixed texts the desktop windows show: progress windows, window titles,
// prompts, headings and file-dialog filters. The windows take them from here and
// their tests assert against the same constants.
//
// Texts that belong to a rule live beside it: the main window title is
// MainWindowTitle (app/CommandLine.h), the Preferences title kPreferencesTitle
// (app/Preferences.h), the order-server question kNoOrderServerQuestion
// (app/CommandRules.h), the import progress line ImportProgressText
// (project/ProductImport.h) and the browser error kBrowserErrorTitle (util/Browser.h).
#pragma once

namespace tolmi {

// Progress windows (each shows a running record count under the text).
inline constexpr const char* kLoadingProjectText = "Loading store project. Please wait........";
inline constexpr const char* kSavingProjectText = "Saving store project. Please wait........";
inline constexpr const char* kSavingOrdersText = "Saving orders. Please wait........";
inline constexpr const char* kImportingTitle = "Importing...";
// How often a progress window is refreshed while a project or the orders are read or written.
inline constexpr int kProgressRecordStep = 12;

// File, Open Store.
inline constexpr const char* kOpenProjectTitle = "Open Project";
inline constexpr const char* kProjectFileFilter = "Store Project (*.stp)";
// File, Save As.
inline constexpr const char* kSaveAsTitle = "Save Project As";
inline constexpr const char* kSaveAsPrompt = "Enter a New Project File Name:";
inline constexpr const char* kBrowseButton = "&Browse >";
// File, Restore from Backup.
inline constexpr const char* kRestoreBackupTitle = "Restore project from Backup";
inline constexpr const char* kBackupTimeHeading = "Backup Date/Time";
// File, Merge.
inline constexpr const char* kMergeTitle = "Import from Project";
// File, Import.
inline constexpr const char* kOpenDataFileTitle = "Open Data File";
inline constexpr const char* kDataFileFilter = "File (*.*)";

// Options menu windows.
inline constexpr const char* kBuildStoreTitle = "Build Store";
inline constexpr const char* kSelectBuildDirectoryTitle = "Select Build Directory";
inline constexpr const char* kAcceptedCardsTitle = "Accepted Credit Cards";
inline constexpr const char* kTaxOptionsTitle = "Tax Options";
// The Preferences page that opens when no order server is set.
inline constexpr const char* kOrderServerSettingsPage = "Order Server Settings";

}  // namespace tolmi
