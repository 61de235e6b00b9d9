// The host side of the API tests: the library's exports bound by name from
// a dlopen'ed libzelkscriptlib.so, as a real host binds them, and the state
// the exported callbacks serve (host functions that each test installs, and
// a small song model exposed as live data).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zelkscript/zelkscript.h"

// Every export of the library, as a function pointer of its declared type.
#define ZELKSCRIPT_API_EXPORTS(X)                   \
    X(zelkscript_version)                           \
    X(zelkscript_createcontext)                     \
    X(zelkscript_freecontext)                       \
    X(zelkscript_context_setconstant)               \
    X(zelkscript_context_settextvariable)           \
    X(zelkscript_context_setintvariable)            \
    X(zelkscript_context_setdoublevariable)         \
    X(zelkscript_context_gettextvariable)           \
    X(zelkscript_context_gettextvariable_bstr)      \
    X(zelkscript_context_getintvariable)            \
    X(zelkscript_context_getdoublevariable)         \
    X(zelkscript_context_setvariable)               \
    X(zelkscript_context_getvariable)               \
    X(zelkscript_context_getlasterror)              \
    X(zelkscript_context_getexitcode)               \
    X(zelkscript_option_setpermission_fileaccess_folder) \
    X(zelkscript_option_setpermission_fileaccess_all) \
    X(zelkscript_option_addincludepath)             \
    X(zelkscript_option_setmaxloopcount)            \
    X(zelkscript_option_setnodebudget)              \
    X(zelkscript_option_settimelimit)               \
    X(zelkscript_interrupt)                         \
    X(zelkscript_evaluate_strings)                  \
    X(zelkscript_execute_strings)                   \
    X(zelkscript_evaluate_dataids)                  \
    X(zelkscript_execute_dataids)                   \
    X(zelkscript_stringevaluate)                    \
    X(zelkscript_stringexecute)                     \
    X(zelkscript_data_createstring)                 \
    X(zelkscript_data_createbool)                   \
    X(zelkscript_data_createlong)                   \
    X(zelkscript_data_createdouble)                 \
    X(zelkscript_data_createvector)                 \
    X(zelkscript_data_createstructure)              \
    X(zelkscript_data_duplicate)                    \
    X(zelkscript_data_setreference_value)           \
    X(zelkscript_data_free)                         \
    X(zelkscript_data_free_alluseddata)             \
    X(zelkscript_data_gettype)                      \
    X(zelkscript_data_tostring)                     \
    X(zelkscript_data_tobool)                       \
    X(zelkscript_data_tolong)                       \
    X(zelkscript_data_todouble)                     \
    X(zelkscript_data_debug)                        \
    X(zelkscript_data_vector_getsize)               \
    X(zelkscript_data_vector_getelement)            \
    X(zelkscript_data_vector_setelement)            \
    X(zelkscript_data_vector_pushelement)           \
    X(zelkscript_data_vector_popelement)            \
    X(zelkscript_data_vector_clearelements)         \
    X(zelkscript_data_structure_getmembercount)     \
    X(zelkscript_data_structure_getmembername)      \
    X(zelkscript_data_structure_getmember)          \
    X(zelkscript_data_structure_setmember)          \
    X(zelkscript_data_structure_removemember)       \
    X(zelkscript_data_isnumber)                     \
    X(zelkscript_data_islong)                       \
    X(zelkscript_data_isdouble)                     \
    X(zelkscript_data_isbool)                       \
    X(zelkscript_data_getlong)                      \
    X(zelkscript_data_getdouble)                    \
    X(zelkscript_data_getbool)                      \
    X(zelkscript_data_bstr_getsize)                 \
    X(zelkscript_data_bstr_gettext)                 \
    X(zelkscript_bstr_free)                         \
    X(zelkscript_context_definefunction_strings)    \
    X(zelkscript_context_definefunction_dataids)    \
    X(zelkscript_livedata_create)                   \
    X(zelkscript_livedata_getdatatype)              \
    X(zelkscript_livedata_gettypename)              \
    X(zelkscript_livedata_getuserdataref)

struct ZelkscriptApi {
#define ZELKSCRIPT_API_POINTER(name) decltype(&::name) name = nullptr;
    ZELKSCRIPT_API_EXPORTS(ZELKSCRIPT_API_POINTER)
#undef ZELKSCRIPT_API_POINTER
};

// The bound exports; valid once bindLibrary succeeded.
extern ZelkscriptApi api;

// Loads the library and binds every export; false with the reason.
bool bindLibrary(const char *path, std::string &error);

// --- Host functions served by the two function callbacks. ---
struct HostCall {
    zelkscript_contextid context = 0;
    std::string name;
    std::vector<std::string> texts;     // text calls
    std::vector<zelkscript_dataid> ids;  // data-id calls
    bool paramsEndWithNull = false;     // text calls: params[paramcount] == null
};

// A text function: writes into result (with its size) or errmsg and answers.
using TextFunction = std::function<bool(const HostCall &call, char *result, int32_t resultSize, char *errmsg,
                                        int32_t errmsgSize)>;
// A data-id function: stores the result id and answers.
using DataIdFunction =
    std::function<bool(const HostCall &call, zelkscript_dataid *resultid, char *errmsg, int32_t errmsgSize)>;

struct HostFunctions {
    std::map<std::string, TextFunction> texts;
    std::map<std::string, DataIdFunction> dataIds;
    std::vector<HostCall> calls;  // every call the callbacks received
};
extern HostFunctions hostFunctions;

// --- The song model exposed as live data. ---
struct SongEvent {
    std::string kind;  // "program", "note" or "text"
    int program = 0, note = 0, velocity = 0, texttype = 0;
    std::string text;
};
struct Song {
    std::string name = "Rainy Day";
    int format = 1;
    std::vector<SongEvent> events;
};

// What the live-data callbacks serve. userdatarefs are addresses of these
// objects (Song, SongEvent, the events vector, or a member binding).
struct LiveModel {
    Song song;
    // Test knobs.
    int32_t forcedMemberCount = -1000;  // when not -1000, every structure reports it
    int32_t forcedVectorSize = -1000;   // when not -1000, the vector reports it
    bool emptyMemberName = false;
    bool fillWholeStringBuffer = false;  // getstring writes its whole buffer, no NUL
    bool songHasSelf = false;            // the song has a member "self": a new view of itself
    int elementCalls = 0;                // getelement calls seen
    int lastElementIndex = -1;
    int memberCountCalls = 0;
};
extern LiveModel liveModel;

// Resets the song to the example and the knobs to their defaults.
void resetLiveModel();
// A new live SONG id in the context for liveModel.song.
zelkscript_dataid createLiveSong(zelkscript_contextid context);
