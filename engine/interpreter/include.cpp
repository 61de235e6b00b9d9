// Include files and library lookup.
#include "engine/interpreter/include.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/frontend/parser.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/permissions.h"
#include "engine/interpreter/runtime.h"

namespace zelkscript {

namespace {

bool isRegularFile(const std::string &path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string joinFolder(const std::string &folder, const std::string &name) {
    if (folder.empty() || (!name.empty() && name[0] == '/')) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool isCached(const ZelkScriptContextBase &context, const std::string &resolved) {
    return std::find(context.includeCache.begin(), context.includeCache.end(), resolved) != context.includeCache.end();
}

} // namespace

bool findIncludeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                     std::string &resolved, std::string &error) {
    resolved.clear();
    if (name.empty()) {
        error = "cannot include file with empty name";
        return false;
    }
    std::vector<std::string> candidates;
    candidates.push_back(joinFolder(baseFolder, name));
    for (const std::string &folder : context.includePaths) candidates.push_back(joinFolder(folder, name));
    candidates.push_back(name);
    for (const std::string &candidate : candidates) {
        if (candidate.empty() || !isRegularFile(candidate)) continue;
        if (!context.mayAccessFile(candidate, 'i')) continue;
        std::string canonical;
        if (!resolvePathForAccess(candidate, canonical)) continue;
        resolved = canonical;
        error.clear();
        return true;
    }
    error = "include file not found in include path: " + name;
    return false;
}

bool readIncludeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                     std::string &resolved, std::string &text, bool &alreadyIncluded, std::string &error) {
    alreadyIncluded = false;
    text.clear();
    if (!findIncludeFile(context, name, baseFolder, resolved, error)) return false;
    if (isCached(context, resolved)) {
        alreadyIncluded = true;
        error.clear();
        return true;
    }
    if (!context.mayAccessFile(resolved, 'r')) {
        error = "no permission to read include file: " + resolved;
        return false;
    }
    std::string ignored;
    if (!readScriptFile(resolved, text, ignored)) {
        error = "error reading include file: " + resolved;
        return false;
    }
    // Recorded only once the read succeeded, and before it runs, so that a
    // refused include is tried again and include cycles stop.
    context.includeCache.push_back(resolved);
    error.clear();
    return true;
}

void includeFile(ZelkScriptContextBase &context, const std::string &name, const std::string &baseFolder,
                 ObjectRef &result) {
    result.reset();
    std::string resolved, text, error;
    bool alreadyIncluded = false;
    const ZelkScriptPosition where = context.currentStatement ? context.currentStatement->getPosition()
                                                              : ZelkScriptPosition(0, 0, 0, std::string());
    if (!readIncludeFile(context, name, baseFolder, resolved, text, alreadyIncluded, error))
        context.raiseAt(where, error);
    if (alreadyIncluded) return;
    NodeRef root;
    try {
        root = parseScript(ZelkScriptSource(resolved, std::move(text)));
    } catch (...) {
        // A file that does not parse is not included: a later include must
        // try again and report the error again rather than answer yes.
        auto &cache = context.includeCache;
        cache.erase(std::remove(cache.begin(), cache.end(), resolved), cache.end());
        throw;
    }
    runSyntaxTree(root, &context, result);
}

bool useLibrary(ZelkScriptContextBase &context, const std::string &name, std::string &resolved,
                std::string &error) {
    resolved.clear();
    std::string found;
    if (!name.empty() && name[0] == '/' && isRegularFile(name)) {
        found = name;
    } else {
        std::string file = name.find('.') == std::string::npos ? name + ".so" : name;
        std::vector<std::string> folders = context.libraryPaths;
        folders.push_back(std::string());
        for (const std::string &included : context.includeCache) folders.push_back(folderOfPath(included));
        char exe[4096];
        ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (length > 0) folders.push_back(folderOfPath(std::string(exe, static_cast<size_t>(length))));
        if (const char *path = std::getenv("PATH")) {
            std::string all(path);
            size_t start = 0;
            while (start <= all.size()) {
                size_t end = all.find(':', start);
                if (end == std::string::npos) end = all.size();
                if (end > start) folders.push_back(all.substr(start, end - start));
                start = end + 1;
            }
        }
        for (const std::string &folder : folders) {
            std::string candidate = joinFolder(folder, file);
            if (isRegularFile(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    if (found.empty()) {
        error = "library not found: " + name;
        return false;
    }
    std::string canonical;
    resolved = resolvePathForAccess(found, canonical) ? canonical : found;
    if (context.findExtension(resolved)) {
        error.clear();
        return true;
    }
    error = "library is not loaded: " + name;
    return false;
}

} // namespace zelkscript
