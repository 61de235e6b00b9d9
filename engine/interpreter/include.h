// Include files and libraries: finding, checking, reading and caching the
// files a script brings in, so that each file runs at most once per context.
#pragma once

#include <string>

#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptContextBase;
struct ZelkScriptPosition;

// Tries the name against the base folder, each include path, then as given;
// the first existing regular file that the context may inspect ("i") wins.
bool findIncludeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                     std::string &resolved, std::string &error);

// Finds, checks ("r") and reads an include file. alreadyIncluded is set
// (and no text read) when the context included the file before.
bool readIncludeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                     std::string &resolved, std::string &text, bool &alreadyIncluded, std::string &error);

// The include system function: reads, parses and runs the file in the
// context unless it ran before. Raises script errors.
void includeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                 ObjectRef &result);

// Locates a library file; true when an extension of that path is registered.
bool useLibrary(ZelkScriptContextBase &context, const std::string &name, std::string &resolved,
                std::string &error);

} // namespace zelkscript
