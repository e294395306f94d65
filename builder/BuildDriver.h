// The build: its steps in order, the children-first walk over the tree, copying
// of pictures and linked files, the frame-loader pages, the scheme files and the
// cart script, and the preview of one node.
#pragma once

#include <string>

#include "builder/BuildSession.h"

namespace tolmi {

inline constexpr const char* kInvalidDirectoryMessage =
    "Invalid Directory Name.  Must not include forward slash characters or commas.";

// What a build ended with.
enum class BuildOutcome { Completed, Refused, Stopped };

// Runs a whole build into session.buildDir (All, or Selected Items when
// session.selectedOnly), ending with the completion line; opens the result in the
// browser when session.launcher is set.
BuildOutcome RunBuild(BuildSession& session);

// The walk: the node (and with allSiblings its following siblings), children first.
void BuildWalk(BuildSession& session, StoreNode* node, bool allSiblings);

// Copies the picture and linked file of an item shown on pageNode's page.
void CopyNodeFiles(BuildSession& session, StoreNode& item, const StoreNode& pageNode);

// Writes a frame-loader page for a page file under the output name.
bool WriteFrameLoader(BuildSession& session, const std::string& pageFile,
                      const std::string& outputName);

// Copies the current scheme's files and "template/tolmi.js" into the build directory.
void CopySchemeFiles(BuildSession& session);

// The preview folder of the project: "Temp/" and the project folder's name below
// the installation directory.
std::string PreviewDirectory(const BuildSession& session);

// The preview of the selected node into the preview directory (made and used as
// the build directory when none is set). Returns the path opened, or "" when none.
// Lines reach session.log as in a build: a session of its own reports nowhere, the
// session of an open Build Store window reports in its log.
std::string PreviewNode(BuildSession& session, StoreNode& node);

// "Tolmi PRO v<major>.<minor> - Ready".
std::string ReadyLine();

}  // namespace tolmi
