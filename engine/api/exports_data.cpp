// Exports that create, inspect, convert, change and free script values by
// data id. Values are shared, never copied, between ids, variables and
// containers: an id obtained for an element or a member names that very
// value, so changes through the id are seen by the script and back.
#include <cstdint>
#include <limits>
#include <string>

#include "engine/api/export_support.h"
#include "engine/values/conversions.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

bool hasName(const char *name) { return name && *name; }

// The value behind a non-zero id of the context, or null.
ObjectRef valueOfId(ZelkScriptLibContext &context, zelkscript_dataid id) { return context.findValue(id); }

zelkscript_dataid registerNew(zelkscript_contextid contextid, const ObjectRef &value) {
    return withContext(contextid, zelkscript_dataid{0},
                       [&](ZelkScriptLibContext &context) { return context.registerValue(value); });
}

// Index arguments are 32-bit; a negative one names no element.
constexpr int64_t indexOf(int32_t index) { return static_cast<int64_t>(index); }

} // namespace

// ---------------------------------------------------------------------------
// Creating values
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createstring(zelkscript_contextid contextid,
                                                                       const char *value) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeStringObject(textOrEmpty(value))); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createbool(zelkscript_contextid contextid,
                                                                     zelkscript_bool value) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeBoolObject(value != 0)); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createlong(zelkscript_contextid contextid, int32_t value) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeLongObject(value)); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createdouble(zelkscript_contextid contextid,
                                                                       double value) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeDoubleObject(value)); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createvector(zelkscript_contextid contextid) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeVectorObject()); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createstructure(zelkscript_contextid contextid) {
    if (!contextFromId(contextid)) return 0;
    return guardExport(zelkscript_dataid{0}, [&] { return registerNew(contextid, makeStructureObject()); });
}

extern "C" ZELKSCRIPT_API zelkscript_dataid zelkscript_data_duplicate(zelkscript_contextid contextid,
                                                                    zelkscript_dataid dataid) {
    return withContext(contextid, zelkscript_dataid{0}, [&](ZelkScriptLibContext &context) -> zelkscript_dataid {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        ObjectRef copy;
        std::string ignored;
        if (!value->clone(copy, ignored)) return 0;
        return context.registerValue(copy);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_setreference_value(zelkscript_contextid contextid,
                                                                            zelkscript_dataid targetid,
                                                                            zelkscript_dataid valueid) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef target = valueOfId(context, targetid);
        if (!target || target->isconst()) return 0;
        std::string ignored;
        return target->assignvalue(valueOfId(context, valueid), ignored);
    });
}

// ---------------------------------------------------------------------------
// Releasing ids
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_API void zelkscript_data_free(zelkscript_contextid contextid, zelkscript_dataid dataid) {
    if (dataid == 0) return;
    withContextVoid(contextid, [&](ZelkScriptLibContext &context) { context.releaseDataId(dataid); });
}

extern "C" ZELKSCRIPT_API void zelkscript_data_free_alluseddata(zelkscript_contextid contextid) {
    withContextVoid(contextid, [&](ZelkScriptLibContext &context) { context.releaseAllDataIds(); });
}

// ---------------------------------------------------------------------------
// Inspecting and converting
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_API char zelkscript_data_gettype(zelkscript_contextid contextid, zelkscript_dataid dataid) {
    return withContext(contextid, char{0}, [&](ZelkScriptLibContext &context) -> char {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return ZELKSCRIPT_DATATYPE_NONE;
        switch (value->gettype()) {
        case ValueTypeUndefined: return ZELKSCRIPT_DATATYPE_NONE;
        case ValueTypeString: return ZELKSCRIPT_DATATYPE_STRING;
        case ValueTypeVector: return ZELKSCRIPT_DATATYPE_VECTOR;
        case ValueTypeStructure: return ZELKSCRIPT_DATATYPE_STRUCTURE;
        default: return ZELKSCRIPT_DATATYPE_OTHER;
        }
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_tostring(zelkscript_contextid contextid,
                                                                  zelkscript_dataid dataid, char *value,
                                                                  int32_t valuemaxsize) {
    if (!value || valuemaxsize <= 0) return 0;
    copyToCallerBuffer("", value, valuemaxsize);
    if (dataid == 0) {
        copyToCallerBuffer("null", value, valuemaxsize);
        return 1;
    }
    // An unknown id (or an unusable context) leaves the buffer empty.
    withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef found = valueOfId(context, dataid);
        if (found) copyToCallerBuffer(found->gettext(), value, valuemaxsize);
        return 1;
    });
    return 1;
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_tobool(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid, zelkscript_bool *value) {
    if (!value) return 0;
    *value = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        bool result = false;
        std::string ignored;
        if (!convertToBoolean(valueOfId(context, dataid).get(), result, ignored)) return 0;
        *value = result ? 1 : 0;
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_tolong(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid, int32_t *value) {
    if (!value) return 0;
    *value = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        int64_t result = 0;
        std::string ignored;
        if (!convertToInteger(valueOfId(context, dataid).get(), result, ignored)) return 0;
        // The symmetric range: -2147483648 is refused here, though the text
        // reader accepts it.
        if (result < -std::numeric_limits<int32_t>::max() || result > std::numeric_limits<int32_t>::max()) return 0;
        *value = static_cast<int32_t>(result);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_todouble(zelkscript_contextid contextid,
                                                                  zelkscript_dataid dataid, double *value) {
    if (!value) return 0;
    *value = 0.0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        double result = 0.0;
        std::string ignored;
        if (!convertToDouble(valueOfId(context, dataid).get(), result, ignored)) return 0;
        *value = result;
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_debug(zelkscript_contextid contextid,
                                                               zelkscript_dataid dataid, char *value,
                                                               int32_t valuemaxsize) {
    if (!value || valuemaxsize <= 0) return 0;
    copyToCallerBuffer("", value, valuemaxsize);
    if (dataid == 0) {
        copyToCallerBuffer("null", value, valuemaxsize);
        return 1;
    }
    const zelkscript_bool found =
        withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
            ObjectRef object = valueOfId(context, dataid);
            if (!object) return 0;
            copyToCallerBuffer(object->dump(), value, valuemaxsize);
            return 1;
        });
    if (!found) copyToCallerBuffer("error: invalid data id", value, valuemaxsize);
    return found;
}

// ---------------------------------------------------------------------------
// Vectors
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_API int32_t zelkscript_data_vector_getsize(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid) {
    return withContext(contextid, int32_t{0}, [&](ZelkScriptLibContext &context) -> int32_t {
        ObjectRef value = valueOfId(context, dataid);
        int64_t size = 0;
        std::string ignored;
        if (!value || !value->vectorsize(size, ignored)) return 0;
        return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(size)));
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_getelement(zelkscript_contextid contextid,
                                                                           zelkscript_dataid dataid, int32_t index,
                                                                           zelkscript_dataid *elementdataid) {
    if (!elementdataid) return 0;
    *elementdataid = 0;
    if (index < 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        ObjectRef element;
        std::string ignored;
        if (!value->getvectorelement(indexOf(index), element, ignored)) return 0;
        *elementdataid = context.registerValue(element);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_setelement(zelkscript_contextid contextid,
                                                                           zelkscript_dataid dataid, int32_t index,
                                                                           zelkscript_dataid valueid) {
    // A negative index would be read as four billion and grow the vector.
    if (index < 0) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        ObjectRef element;
        std::string error;
        if (!value->accessvectorelement(indexOf(index), element, error) || !element) return 0;
        if (valueid == 0) return element->setstring(std::string_view(), error);
        return element->assignvalue(valueOfId(context, valueid), error);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_pushelement(zelkscript_contextid contextid,
                                                                            zelkscript_dataid dataid,
                                                                            zelkscript_dataid valueid) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        std::string ignored;
        return value->pushvectorelement(valueOfId(context, valueid), false, ignored);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_popelement(zelkscript_contextid contextid,
                                                                           zelkscript_dataid dataid,
                                                                           zelkscript_dataid *elementdataid) {
    if (!elementdataid) return 0;
    *elementdataid = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value || value->gettype() != ValueTypeVector) return 0;
        int64_t size = 0;
        std::string ignored;
        // Popping an empty vector is a failure here, not a null element.
        if (!value->vectorsize(size, ignored) || size <= 0) return 0;
        ObjectRef element;
        if (!value->popvectorelement(element, ignored)) return 0;
        *elementdataid = context.registerValue(element);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_clearelements(zelkscript_contextid contextid,
                                                                              zelkscript_dataid dataid) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        value->clear();
        return 1;
    });
}

// ---------------------------------------------------------------------------
// Structures
// ---------------------------------------------------------------------------

extern "C" ZELKSCRIPT_API int32_t zelkscript_data_structure_getmembercount(zelkscript_contextid contextid,
                                                                          zelkscript_dataid dataid) {
    return withContext(contextid, int32_t{0}, [&](ZelkScriptLibContext &context) -> int32_t {
        ObjectRef value = valueOfId(context, dataid);
        NameList names;
        std::string ignored;
        if (!value || !value->getstructurefields(names, ignored)) return 0;
        return static_cast<int32_t>(names.size());
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_getmembername(zelkscript_contextid contextid,
                                                                                 zelkscript_dataid dataid,
                                                                                 int32_t memberindex,
                                                                                 char *membername,
                                                                                 int32_t membernamemaxsize) {
    if (!membername || membernamemaxsize <= 0) return 0;
    copyToCallerBuffer("", membername, membernamemaxsize);
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        NameList names;
        std::string ignored;
        if (!value || !value->getstructurefields(names, ignored)) return 0;
        // Compared unsigned: a negative index is out of range.
        const uint32_t position = static_cast<uint32_t>(memberindex);
        if (position >= names.size()) return 0;
        copyToCallerBuffer(names[position], membername, membernamemaxsize);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_getmember(zelkscript_contextid contextid,
                                                                             zelkscript_dataid dataid,
                                                                             const char *membername,
                                                                             zelkscript_dataid *memberdataid) {
    if (!memberdataid) return 0;
    *memberdataid = 0;
    if (dataid == 0 || !hasName(membername)) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        ObjectRef member;
        std::string ignored;
        if (!value->getstructuremember(membername, member, ignored)) return 0;
        // A plain structure answers an unknown name with no member.
        if (!member) return 0;
        *memberdataid = context.registerValue(member);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_setmember(zelkscript_contextid contextid,
                                                                             zelkscript_dataid dataid,
                                                                             const char *membername,
                                                                             zelkscript_dataid valueid) {
    if (dataid == 0 || !hasName(membername)) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        std::string ignored;
        return value->insertstructuremember(membername, valueOfId(context, valueid), ignored);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_removemember(zelkscript_contextid contextid,
                                                                                zelkscript_dataid dataid,
                                                                                const char *membername) {
    if (dataid == 0 || !hasName(membername)) return 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value = valueOfId(context, dataid);
        if (!value) return 0;
        ObjectRef member;
        std::string error;
        if (!value->getstructuremember(membername, member, error) || !member) return 0;
        // Ids naming the member, or anything inside it, go with it.
        context.releaseDataIdsWithin(member, [](int32_t) { return true; });
        return value->removestructuremember(membername, error);
    });
}
