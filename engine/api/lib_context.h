// The context that the host interface creates for each host-visible context:
// the interpreter context plus what only hosts set or hold (folder
// permissions, the host-function extension, the data-id table, where the last
// run failed). The host names the context by its address, so everything the
// exports need about it lives here; nothing is kept in a table of contexts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/interpreter/context.h"

namespace zelkscript {

class ZelkScriptLibExtension;

class ZelkScriptLibContext : public ZelkScriptContextBase {
public:
    ZelkScriptLibContext();
    ~ZelkScriptLibContext() override;

    // Folder table when the host granted anything, the base rule otherwise.
    bool mayAccessFile(const std::string &path, char mode) override;
    bool mayExecuteCommand(const std::string &command, std::string &error) override;

    // Usable: created by zelkscript_createcontext, neither freed nor waiting
    // to be freed.
    bool isUsable() const noexcept { return magic_ == kMagic && !freeRequested; }
    // Still alive (perhaps waiting to be freed): what an interrupt may touch.
    bool isAlive() const noexcept { return magic_ == kMagic; }

    ZelkScriptLibExtension &libExtension() noexcept { return *libExtension_; }

    // --- Folder permissions. ---
    // Adds letters to a folder's grant. The folder is resolved now, as the
    // checked paths will be; "*" is the grant for every uncovered folder.
    void addFolderPermission(std::string_view folder, std::string_view letters);
    const std::map<std::string, std::string, std::less<>> &folderPermissions() const { return folderPermissions_; }

    // --- Data ids. ---
    // The id of the value: its existing id, or a new one. 0 for a null
    // value or when the process has run out of ids.
    int32_t registerValue(const ObjectRef &value);
    // The registered value, or null for 0 and unknown ids.
    ObjectRef findValue(int32_t id) const;
    bool holdsDataId(int32_t id) const { return id != 0 && valuesById_.count(id) != 0; }
    size_t dataIdCount() const noexcept { return valuesById_.size(); }
    // The highest id this context ever registered.
    int32_t highestRegisteredId() const noexcept { return highestRegisteredId_; }
    // Drops one id (not the ids inside its value).
    void forgetDataId(int32_t id);
    // Drops the id and every id naming a value inside it, at any depth.
    void releaseDataId(int32_t id);
    // Drops the ids of the value and of every value inside it for which
    // `release` answers true. Cycles and shared values are walked once.
    void releaseDataIdsWithin(const ObjectRef &root, const std::function<bool(int32_t)> &release);
    void releaseAllDataIds();

    // --- Where the last run failed, for zelkscript_context_getlasterror. ---
    struct RunFailure {
        bool failed = false;
        std::string fileName;
        int32_t line = 0;
        int32_t column = 0;
    };
    RunFailure lastRunFailure;

    // Where evaluations collect what scripts print, reused from run to run:
    // making a string stream costs more than a small script. A nested
    // evaluation (from a callback) finds it in use and makes its own.
    std::ostringstream outputCapture;
    bool outputCaptureInUse = false;

    // Exports (and the callbacks they reach) in progress on this context. A
    // context freed while any is in progress is only marked, and the last
    // one out destroys it.
    int useDepth = 0;
    bool freeRequested = false;

private:
    static constexpr uint64_t kMagic = 0x7a656c6b63747821ull;
    uint64_t magic_ = kMagic;
    ZelkScriptLibExtension *libExtension_ = nullptr;  // owned by the extension list
    std::map<std::string, std::string, std::less<>> folderPermissions_;
    std::unordered_map<int32_t, ObjectRef> valuesById_;
    // The reverse index: registering a value that already has an id is a
    // lookup, not a scan of the table.
    std::unordered_map<const ZelkScriptObject *, int32_t> idsByValue_;
    int32_t highestRegisteredId_ = 0;
};

// The context behind a host's context id, or null when the id is null or
// does not name a usable context.
ZelkScriptLibContext *contextFromId(uintptr_t id);

inline uintptr_t contextIdOf(const ZelkScriptLibContext &context) { return reinterpret_cast<uintptr_t>(&context); }

// Copies text into a caller buffer: at most size - 1 bytes and a NUL;
// nothing for a null buffer or a size of 0 or less. True when all fitted.
bool copyToCallerBuffer(std::string_view text, char *buffer, int32_t size);

} // namespace zelkscript
