// Filling a page template from one node and the store-wide settings: "$NAME"
// variables, "%FILE=...%" includes, <PRODUCTk> blocks, the body, image, link and
// field rules, the cart calls and the search and user blocks.
#pragma once

#include <string>
#include <string_view>

#include "builder/BuildSession.h"

namespace tolmi {

// The reserved variable names, each followed by a comma.
extern const char* const kReservedVariableNames;
// The script appended for a form with options; "$FNC" and "$ADD2" are filled later.
extern const char* const kOptionScript;

// Fills text in place (two passes). False only when no style scheme can be made
// current; the text is then half filled.
bool FillTemplate(BuildSession& session, std::string& text, StoreNode& item, const StoreNode& page,
                  int sequence);

// The store-wide variables: currencies, user variables, "$POSTCODE", "$USER", versions.
void ApplyGlobalVariables(std::string& text, const StoreProject& project,
                          std::string_view orderUser);
void ApplyGlobalVariables(BuildSession& session, std::string& text);

void ExpandIncludes(BuildSession& session, std::string& text, const StoreNode& item);
void ExpandProductBlocks(BuildSession& session, std::string& text, StoreNode& item,
                         const StoreNode& page);

// Replaces every variable by value; with an empty value drops each occurrence with
// the tag around it. Returns whether the variable occurred.
bool ReplaceOrDropTag(std::string& text, std::string_view variable, std::string_view value,
                      bool publishedPath, bool lowerCase);

// The k-th item below a node (k from 1), stepping into categories, shelves and lists
// and past disabled nodes; null when there is none.
StoreNode* FindItem(const StoreNode& node, long long k);

// "img/<name>" for a local picture or file; web addresses and "" unchanged.
std::string PublishedImagePath(std::string_view path, bool lowerCase);

// Logs every user variable whose name is (part of) a reserved name; returns how many.
int CheckUserVariableNames(BuildSession& session);

// Replaces the first occurrence, then again from the start, at most `limit` times.
int ReplaceUpTo(std::string& text, std::string_view name, std::string_view value, int limit);

// The major version text used for "$VERSION" and the index header.
std::string MajorVersionText();
std::string MinorVersionText();

}  // namespace tolmi
