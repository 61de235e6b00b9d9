// Exports that create live values (strings, structures and vectors whose
// contents stay in the host) and read back what was recorded about them.
#include <string>

#include "engine/api/export_support.h"
#include "engine/api/host_extension.h"
#include "engine/api/live_data.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_livedata_create(zelkscript_contextid contextid,
                                                                     zelkscript_userdataref userdataref,
                                                                     char datatype, const char *type_name,
                                                                     char *errmsg, int32_t errmsgmaxsize) {
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    const char *failure = nullptr;
    if (contextid == 0) failure = "error: missing contextid";
    else if (userdataref == 0) failure = "error: missing userdataref";
    else if (!contextFromId(contextid)) failure = "error: context is not initialised";
    else if (datatype != 'S' && datatype != '{' && datatype != '[') failure = "error: invalid data type";
    if (failure) {
        copyToCallerBuffer(failure, errmsg, errmsgmaxsize);
        return 0;
    }
    return withContext(contextid, zelkscript_dataid{0}, [&](ZelkScriptLibContext &context) -> zelkscript_dataid {
        const int32_t id = context.registerValue(makeLiveDataValue(context, userdataref, datatype));
        if (id == 0) {
            copyToCallerBuffer("error: no data id left", errmsg, errmsgmaxsize);
            return 0;
        }
        context.libExtension().recordLiveData(id, datatype, textOrEmpty(type_name));
        return id;
    });
}

extern "C" ZELKSCRIPT_API char zelkscript_livedata_getdatatype(zelkscript_contextid contextid,
                                                              zelkscript_dataid dataid) {
    if (dataid == 0) return 0;
    return withContext(contextid, char{0}, [&](ZelkScriptLibContext &context) {
        return context.libExtension().liveDataType(dataid);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_livedata_gettypename(zelkscript_contextid contextid,
                                                                         zelkscript_dataid dataid, char *type_name,
                                                                         int32_t type_namemaxsize) {
    if (!type_name || type_namemaxsize <= 0) return 0;
    copyToCallerBuffer("", type_name, type_namemaxsize);
    ZelkScriptLibContext *context = contextFromId(contextid);
    if (!context || dataid == 0) {
        copyToCallerBuffer("null", type_name, type_namemaxsize);
        return 1;
    }
    withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &usable) -> zelkscript_bool {
        std::string name;
        if (usable.libExtension().liveDataTypeName(dataid, name)) copyToCallerBuffer(name, type_name, type_namemaxsize);
        return 1;
    });
    return 1;
}

extern "C" ZELKSCRIPT_API zelkscript_userdataref zelkscript_livedata_getuserdataref(zelkscript_contextid contextid,
                                                                                   zelkscript_dataid dataid) {
    if (dataid == 0) return 0;
    return withContext(contextid, zelkscript_userdataref{0}, [&](ZelkScriptLibContext &context) {
        const LiveDataBinding *binding = findLiveDataBinding(context.findValue(dataid).get());
        return binding ? static_cast<zelkscript_userdataref>(binding->userdataref()) : zelkscript_userdataref{0};
    });
}
