// The host side of the API tests: binding by name and the exported
// callbacks, which the library finds in this program's symbol table.
#include "api_test_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <utility>

ZelkscriptApi api;
HostFunctions hostFunctions;
LiveModel liveModel;

bool bindLibrary(const char *path, std::string &error) {
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = std::string(path) + " not found: " + dlerror();
        return false;
    }
#define ZELKSCRIPT_API_BIND(name)                                                \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(library, #name));      \
    if (!api.name) {                                                             \
        error = std::string(#name) + " not found in " + path;                    \
        return false;                                                            \
    }
    ZELKSCRIPT_API_EXPORTS(ZELKSCRIPT_API_BIND)
#undef ZELKSCRIPT_API_BIND
    return true;
}

namespace {

void writeText(char *buffer, int32_t size, const std::string &text) {
    if (!buffer || size <= 0) return;
    std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
}

// --- Live model bookkeeping: what each userdataref names. ---
enum class RefKind { Song, Event, Events, Member };
struct MemberRef {
    uintptr_t owner;
    RefKind ownerKind;
    std::string name;
};
std::map<uintptr_t, RefKind> refKinds;
std::deque<MemberRef> memberRefs;

uintptr_t refOf(const void *object, RefKind kind) {
    const uintptr_t ref = reinterpret_cast<uintptr_t>(object);
    refKinds[ref] = kind;
    return ref;
}

uintptr_t memberRefOf(uintptr_t owner, RefKind ownerKind, const std::string &name) {
    for (MemberRef &member : memberRefs)
        if (member.owner == owner && member.name == name) return refOf(&member, RefKind::Member);
    memberRefs.push_back(MemberRef{owner, ownerKind, name});
    return refOf(&memberRefs.back(), RefKind::Member);
}

bool kindOf(uintptr_t ref, RefKind &kind, char *errmsg, int32_t size) {
    const auto found = refKinds.find(ref);
    if (found == refKinds.end()) {
        writeText(errmsg, size, "error: userdataref unknown");
        return false;
    }
    kind = found->second;
    return true;
}

std::vector<std::string> memberNamesOf(RefKind kind, uintptr_t ref) {
    if (kind == RefKind::Song && liveModel.songHasSelf) return {"songname", "format", "events", "self"};
    if (kind == RefKind::Song) return {"songname", "format", "events"};
    const auto *event = reinterpret_cast<const SongEvent *>(ref);
    if (event->kind == "program") return {"eventtype", "program"};
    if (event->kind == "note") return {"eventtype", "note", "velocity"};
    return {"eventtype", "text", "texttype"};
}

bool readMember(const MemberRef &member, std::string &text, char *errmsg, int32_t size) {
    if (member.ownerKind == RefKind::Song) {
        const auto *song = reinterpret_cast<const Song *>(member.owner);
        if (member.name == "songname") text = song->name;
        else text = std::to_string(song->format);
        return true;
    }
    const auto *event = reinterpret_cast<const SongEvent *>(member.owner);
    if (member.name == "eventtype") text = event->kind;
    else if (member.name == "program") text = std::to_string(event->program);
    else if (member.name == "note") text = std::to_string(event->note);
    else if (member.name == "velocity") text = std::to_string(event->velocity);
    else if (member.name == "text") text = event->text;
    else if (member.name == "texttype") text = std::to_string(event->texttype);
    else {
        writeText(errmsg, size, "error: member unknown");
        return false;
    }
    return true;
}

} // namespace

void resetLiveModel() {
    liveModel = LiveModel();
    liveModel.song.events = {SongEvent{"program", 13, 0, 0, 0, ""}, SongEvent{"note", 0, 63, 127, 0, ""},
                             SongEvent{"text", 0, 0, 0, 5, "Clouds over the village"}};
    refKinds.clear();
    memberRefs.clear();
}

zelkscript_dataid createLiveSong(zelkscript_contextid context) {
    char errmsg[256];
    return api.zelkscript_livedata_create(context, refOf(&liveModel.song, RefKind::Song), '{', "SONG", errmsg,
                                          sizeof errmsg);
}

// ---------------------------------------------------------------------------
// Function callbacks
// ---------------------------------------------------------------------------

extern "C" zelkscript_bool zelkscript_callback_callfunction_strings(zelkscript_contextid contextid,
                                                                   const char *funcname, const char *const *params,
                                                                   int32_t paramcount, char *result,
                                                                   int32_t resultmaxsize, char *errmsg,
                                                                   int32_t errmsgmaxsize) {
    HostCall call;
    call.context = contextid;
    call.name = funcname ? funcname : "";
    for (int32_t i = 0; i < paramcount; ++i) call.texts.push_back(params[i]);
    call.paramsEndWithNull = params[paramcount] == nullptr;
    hostFunctions.calls.push_back(call);
    const auto found = hostFunctions.texts.find(call.name);
    if (found == hostFunctions.texts.end()) return 0;
    // A copy: the function may install other functions while it runs.
    TextFunction function = found->second;
    return function(call, result, resultmaxsize, errmsg, errmsgmaxsize) ? 1 : 0;
}

extern "C" zelkscript_bool zelkscript_callback_callfunction_dataids(zelkscript_contextid contextid,
                                                                   const char *funcname,
                                                                   const zelkscript_dataid *paramdataids,
                                                                   int32_t paramcount, zelkscript_dataid *resultid,
                                                                   char *errmsg, int32_t errmsgmaxsize) {
    HostCall call;
    call.context = contextid;
    call.name = funcname ? funcname : "";
    for (int32_t i = 0; i < paramcount; ++i) call.ids.push_back(paramdataids[i]);
    hostFunctions.calls.push_back(call);
    const auto found = hostFunctions.dataIds.find(call.name);
    if (found == hostFunctions.dataIds.end()) return 0;
    DataIdFunction function = found->second;
    return function(call, resultid, errmsg, errmsgmaxsize) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Live-data callbacks
// ---------------------------------------------------------------------------

extern "C" zelkscript_bool zelkscript_callback_livedata_getstring(zelkscript_contextid, zelkscript_userdataref ref,
                                                                 char *value, int32_t valuemaxsize, char *errmsg,
                                                                 int32_t errmsgmaxsize) {
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, errmsgmaxsize)) return 0;
    if (kind != RefKind::Member) {
        writeText(errmsg, errmsgmaxsize, "error: not a string");
        return 0;
    }
    if (liveModel.fillWholeStringBuffer) {
        std::memset(value, 'x', static_cast<size_t>(valuemaxsize));
        return 1;
    }
    std::string text;
    if (!readMember(*reinterpret_cast<const MemberRef *>(ref), text, errmsg, errmsgmaxsize)) return 0;
    writeText(value, valuemaxsize, text);
    return 1;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_setstring(zelkscript_contextid, zelkscript_userdataref ref,
                                                                 const char *value, char *errmsg,
                                                                 int32_t maxerrmsgsize) {
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    const auto &member = *reinterpret_cast<const MemberRef *>(ref);
    if (member.ownerKind == RefKind::Song) {
        auto *song = reinterpret_cast<Song *>(member.owner);
        if (member.name == "format") {
            writeText(errmsg, maxerrmsgsize, "error: modifying song format is not allowed");
            return 0;
        }
        song->name = value;
        return 1;
    }
    auto *event = reinterpret_cast<SongEvent *>(member.owner);
    if (member.name == "text") {
        event->text = value;
        return 1;
    }
    if (member.name == "note") {
        const int note = std::atoi(value);
        if (note < 0 || note > 127) {
            writeText(errmsg, maxerrmsgsize, "error: invalid note number");
            return 0;
        }
        event->note = note;
        return 1;
    }
    writeText(errmsg, maxerrmsgsize, "error: modifying " + member.name + " is not allowed");
    return 0;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_structure_getmembercount(zelkscript_contextid,
                                                                                zelkscript_userdataref ref,
                                                                                int32_t *count, char *errmsg,
                                                                                int32_t maxerrmsgsize) {
    ++liveModel.memberCountCalls;
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    if (liveModel.forcedMemberCount != -1000) {
        *count = liveModel.forcedMemberCount;
        return 1;
    }
    *count = static_cast<int32_t>(memberNamesOf(kind, ref).size());
    return 1;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_structure_getmembername(zelkscript_contextid,
                                                                               zelkscript_userdataref ref,
                                                                               int32_t memberindex, char *membername,
                                                                               int32_t maxmembernamesize,
                                                                               char *errmsg, int32_t maxerrmsgsize) {
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    if (liveModel.emptyMemberName) return 1;
    const std::vector<std::string> names = memberNamesOf(kind, ref);
    if (memberindex < 0 || static_cast<size_t>(memberindex) >= names.size()) {
        writeText(errmsg, maxerrmsgsize, "error: membername at memberindex unknown");
        return 0;
    }
    writeText(membername, maxmembernamesize, names[static_cast<size_t>(memberindex)]);
    return 1;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_structure_getmember(zelkscript_contextid contextid,
                                                                           zelkscript_userdataref ref,
                                                                           const char *membername,
                                                                           zelkscript_dataid *memberdataidreference,
                                                                           char *errmsg, int32_t maxerrmsgsize) {
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    const std::string name = membername ? membername : "";
    const std::vector<std::string> names = memberNamesOf(kind, ref);
    bool known = false;
    for (const std::string &candidate : names) known = known || candidate == name;
    if (!known) {
        writeText(errmsg, maxerrmsgsize,
                  kind == RefKind::Song ? "error: SONG does not use this membername"
                                        : "error: EVENT does not use this membername");
        return 0;
    }
    char message[256];
    if (kind == RefKind::Song && name == "self") {
        *memberdataidreference = createLiveSong(contextid);
        return 1;
    }
    if (kind == RefKind::Song && name == "events") {
        *memberdataidreference = api.zelkscript_livedata_create(
            contextid, refOf(&liveModel.song.events, RefKind::Events), '[', "EVENTS", message, sizeof message);
        return 1;
    }
    *memberdataidreference = api.zelkscript_livedata_create(contextid, memberRefOf(ref, kind, name), 'S', "MEMBER",
                                                            message, sizeof message);
    return 1;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_structure_removemember(zelkscript_contextid,
                                                                              zelkscript_userdataref,
                                                                              const char *membername, char *errmsg,
                                                                              int32_t maxerrmsgsize) {
    writeText(errmsg, maxerrmsgsize, std::string("error: ") + (membername ? membername : "") + " cannot be removed");
    return 0;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_vector_getsize(zelkscript_contextid, zelkscript_userdataref ref,
                                                                      int32_t *vectorsize, char *errmsg,
                                                                      int32_t maxerrmsgsize) {
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    *vectorsize = liveModel.forcedVectorSize != -1000 ? liveModel.forcedVectorSize
                                                      : static_cast<int32_t>(liveModel.song.events.size());
    return 1;
}

extern "C" zelkscript_bool zelkscript_callback_livedata_vector_getelement(zelkscript_contextid contextid,
                                                                         zelkscript_userdataref ref, int32_t index,
                                                                         zelkscript_dataid *elementdataidreference,
                                                                         char *errmsg, int32_t maxerrmsgsize) {
    ++liveModel.elementCalls;
    liveModel.lastElementIndex = index;
    RefKind kind;
    if (!kindOf(ref, kind, errmsg, maxerrmsgsize)) return 0;
    if (index < 0 || static_cast<size_t>(index) >= liveModel.song.events.size()) {
        writeText(errmsg, maxerrmsgsize, "error: index is outside of vector range");
        return 0;
    }
    char message[256];
    *elementdataidreference =
        api.zelkscript_livedata_create(contextid, refOf(&liveModel.song.events[static_cast<size_t>(index)], RefKind::Event),
                                       '{', "EVENT", message, sizeof message);
    return 1;
}
