// Members of a caught error, made on demand from the stored exception.
#include "engine/interpreter/exception_structure.h"

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

const char *const kMemberNames[] = {"filename", "what", "linenr", "columnnr", "pos", "info", "isfatalerror"};

} // namespace

ObjectRef makeExceptionStructure(const ZelkScriptErrorException &error) {
    return makeRef<ZelkScriptObject>(HandlerRef(new ZelkScriptExceptionStructure(error)));
}

bool ZelkScriptExceptionStructure::clone(ObjectRef &result, std::string &) {
    result = makeExceptionStructure(error_);
    return true;
}

bool ZelkScriptExceptionStructure::copyvalue(ObjectRef &result, std::string &error) {
    return copyStructureValue(*this, result, error);
}

bool ZelkScriptExceptionStructure::getstructuremember(std::string_view name, ObjectRef &member, std::string &error) {
    member.reset();
    const bool positioned = error_.getLine() != 0 && error_.getColumn() != 0;
    if (name == "filename") {
        member = makeStringObject(error_.getFileName());
    } else if (name == "what") {
        member = makeStringObject(error_.getMessage());
    } else if (name == "linenr") {
        if (error_.getLine() != 0) member = makeLongObject(error_.getLine());
    } else if (name == "columnnr") {
        if (error_.getColumn() != 0) member = makeLongObject(error_.getColumn());
    } else if (name == "pos") {
        if (positioned) member = makeStringObject(error_.getPositionText());
    } else if (name == "info") {
        member = makeStringObject(error_.getInfo());
    } else if (name == "isfatalerror") {
        member = makeBoolObject(error_.isFatal());
    } else {
        error = "exception has no structure member " + std::string(name);
        return false;
    }
    error.clear();
    return true;
}

bool ZelkScriptExceptionStructure::accessstructuremember(std::string_view name, ObjectRef &member,
                                                         std::string &error) {
    if (!getstructuremember(name, member, error)) return false;
    // A member that has no value (no line, no position) still needs a place
    // for a script to read from.
    if (!member) member = makeUndefinedObject();
    return true;
}

bool ZelkScriptExceptionStructure::getstructurefields(NameList &names, std::string &error) {
    names.assign(std::begin(kMemberNames), std::end(kMemberNames));
    error.clear();
    return true;
}

bool ZelkScriptExceptionStructure::insertstructuremember(std::string_view name, const ObjectRef &member,
                                                         std::string &error) {
    return insertExternalStructureMember(*this, name, member, error);
}

bool ZelkScriptExceptionStructure::removestructuremember(std::string_view, std::string &error) {
    error = "not allowed to remove structure members";
    return false;
}

bool ZelkScriptExceptionStructure::clear(std::string &error) { return clearExternalStructure(*this, error); }

} // namespace zelkscript
