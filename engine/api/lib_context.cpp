// The host interface's context: folder permissions, the data-id table and
// the helpers every export shares.
#include "engine/api/lib_context.h"

#include <cstring>
#include <memory>
#include <set>
#include <typeinfo>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/api/data_ids.h"
#include "engine/api/host_extension.h"
#include "engine/api/live_data.h"
#include "engine/interpreter/permissions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

ZelkScriptLibContext::ZelkScriptLibContext() {
    // Extensions answer in registration order. The window extension, when
    // one exists, is registered before the host functions so that its names
    // win; this build has none.
    auto extension = std::make_unique<ZelkScriptLibExtension>(*this);
    libExtension_ = extension.get();
    registerExtension(std::move(extension));
}

ZelkScriptLibContext::~ZelkScriptLibContext() {
    magic_ = 0;
    libExtension_ = nullptr;
    // Values registered for the host and values held by variables may form
    // cycles among containers (reference assignment); nothing can reach them
    // once the context is gone, so the cycles are broken before the table
    // and the scopes let go of them.
    std::vector<ObjectRef> roots;
    roots.reserve(valuesById_.size());
    for (const auto &entry : valuesById_) roots.push_back(entry.second);
    for (auto &scope : scopes_)
        for (const std::string &name : scope->variables.sortedNames())
            if (ObjectRef *slot = scope->variables.find(name, hashName(name))) roots.push_back(*slot);
    breakContainerCycles(roots);
    roots.clear();
    idsByValue_.clear();
    valuesById_.clear();
    folderPermissions_.clear();
}

// Scripts run by a host may run commands: the host decided to run them.
bool ZelkScriptLibContext::mayExecuteCommand(const std::string &, std::string &error) {
    error.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Folder permissions
// ---------------------------------------------------------------------------

namespace {

// The key a folder text is stored under: "*" as it is; a path absolute and
// resolved as the kernel resolves it, without a trailing separator. A text
// that cannot be resolved (empty) is kept as it is and never matches a path.
std::string permissionKeyOf(std::string_view folder) {
    if (folder == "*") return std::string(folder);
    std::string resolved;
    if (!resolvePathForAccess(folder, resolved)) return std::string(folder);
    while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
    return resolved;
}

bool lettersGrant(const std::string &letters, char mode) {
    return letters.find(mode) != std::string::npos;
}

} // namespace

void ZelkScriptLibContext::addFolderPermission(std::string_view folder, std::string_view letters) {
    folderPermissions_[permissionKeyOf(folder)].append(letters);
}

// The nearest granted folder at or above the path decides alone: a folder
// granted "ri" stays read-only even when "*" grants writing, so a host can
// fence in one folder inside a wider grant. "*" and then the base rule
// decide only for paths that no folder grant covers.
bool ZelkScriptLibContext::mayAccessFile(const std::string &path, char mode) {
    if (folderPermissions_.empty()) return ZelkScriptContextBase::mayAccessFile(path, mode);
    std::string resolved;
    if (!resolvePathForAccess(path, resolved)) return false;
    std::string_view candidate = resolved;
    for (;;) {
        const auto found = folderPermissions_.find(candidate);
        if (found != folderPermissions_.end()) return lettersGrant(found->second, mode);
        if (candidate.size() <= 1) break;
        const size_t slash = candidate.rfind('/');
        if (slash == std::string_view::npos) break;
        // Cutting at a separator only: /srv/data covers /srv/data/x, never
        // /srv/database.
        candidate = candidate.substr(0, slash == 0 ? 1 : slash);
    }
    const auto all = folderPermissions_.find(std::string_view("*"));
    if (all != folderPermissions_.end()) return lettersGrant(all->second, mode);
    return baseFileAccessAllowed(path, mode);
}

// ---------------------------------------------------------------------------
// Data ids
// ---------------------------------------------------------------------------

int32_t ZelkScriptLibContext::registerValue(const ObjectRef &value) {
    if (!value) return 0;
    const auto known = idsByValue_.find(value.get());
    if (known != idsByValue_.end()) return known->second;
    const int32_t id = issueDataId();
    if (id == 0) return 0;
    valuesById_.emplace(id, value);
    try {
        idsByValue_.emplace(value.get(), id);
    } catch (...) {
        valuesById_.erase(id);
        throw;
    }
    if (id > highestRegisteredId_) highestRegisteredId_ = id;
    return id;
}

ObjectRef ZelkScriptLibContext::findValue(int32_t id) const {
    if (id == 0) return ObjectRef();
    const auto found = valuesById_.find(id);
    return found == valuesById_.end() ? ObjectRef() : found->second;
}

void ZelkScriptLibContext::forgetDataId(int32_t id) {
    const auto found = valuesById_.find(id);
    if (found == valuesById_.end()) return;
    // The value may die with the entry: keep it until both maps are clean.
    ObjectRef value = std::move(found->second);
    valuesById_.erase(found);
    idsByValue_.erase(value.get());
}

void ZelkScriptLibContext::releaseDataId(int32_t id) {
    ObjectRef value = findValue(id);
    if (!value) return;
    // With no other id in the table nothing inside can have one: skip the
    // walk (and, for live data, the callbacks it would make).
    if (valuesById_.size() > 1) releaseDataIdsWithin(value, [](int32_t) { return true; });
    forgetDataId(id);
}

void ZelkScriptLibContext::releaseDataIdsWithin(const ObjectRef &root, const std::function<bool(int32_t)> &release) {
    std::vector<ObjectRef> pending{root};
    // Walked values stay alive until the walk ends, so a handler address seen
    // once cannot be reused by a new handler during the walk.
    std::vector<ObjectRef> walked;
    std::unordered_set<const ZelkScriptDataHandler *> walkedHandlers;
    std::set<std::pair<const std::type_info *, uintptr_t>> walkedLiveData;
    std::string error;
    while (!pending.empty()) {
        ObjectRef value = std::move(pending.back());
        pending.pop_back();
        if (!value) continue;
        const auto known = idsByValue_.find(value.get());
        if (known != idsByValue_.end() && release(known->second)) forgetDataId(known->second);
        ZelkScriptDataHandler *handler = value->handler();
        if (!handler || !walkedHandlers.insert(handler).second) continue;
        // A host answers each member or element with a new live value, so
        // handlers never repeat for live data: a host datum reachable from
        // itself would be walked for ever. Each one is walked once.
        if (const LiveDataBinding *binding = findLiveDataBinding(value.get())) {
            if (!walkedLiveData.emplace(&typeid(*binding), binding->userdataref()).second) continue;
        }
        walked.push_back(value);
        if (value->gettype() == ValueTypeVector) {
            if (handler->plainKind() == ZelkScriptDataHandler::PlainKind::Vector) {
                const ObjectList &elements = static_cast<ZelkScriptObjectVectorHandler *>(handler)->elements();
                pending.insert(pending.end(), elements.begin(), elements.end());
                continue;
            }
            int64_t size = 0;
            if (!handler->vectorsize(size, error)) continue;
            for (int64_t index = 0; index < size; ++index) {
                ObjectRef element;
                if (!handler->getvectorelement(index, element, error)) break;
                pending.push_back(std::move(element));
            }
        } else if (value->gettype() == ValueTypeStructure) {
            if (handler->plainKind() == ZelkScriptDataHandler::PlainKind::Structure) {
                for (const auto &member : static_cast<ZelkScriptObjectStructureHandler *>(handler)->members())
                    pending.push_back(member.second);
                continue;
            }
            NameList names;
            if (!handler->getstructurefields(names, error)) continue;
            for (const std::string &name : names) {
                ObjectRef member;
                if (handler->getstructuremember(name, member, error)) pending.push_back(std::move(member));
            }
        }
    }
}

void ZelkScriptLibContext::releaseAllDataIds() {
    // Swapped out first: releasing a value must not find a half-cleared table.
    std::unordered_map<int32_t, ObjectRef> values;
    values.swap(valuesById_);
    idsByValue_.clear();
    values.clear();
}

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

ZelkScriptLibContext *contextFromId(uintptr_t id) {
    if (id == 0) return nullptr;
    auto *context = reinterpret_cast<ZelkScriptLibContext *>(id);
    return context->isUsable() ? context : nullptr;
}

bool copyToCallerBuffer(std::string_view text, char *buffer, int32_t size) {
    if (!buffer || size <= 0) return false;
    const size_t capacity = static_cast<size_t>(size) - 1;
    const size_t count = text.size() < capacity ? text.size() : capacity;
    if (count) std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return text.size() < static_cast<size_t>(size);
}

} // namespace zelkscript
