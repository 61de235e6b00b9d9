// Live-data handlers: every operation is one or more host callbacks.
#include "engine/api/live_data.h"

#include <algorithm>

#include "engine/api/host_callbacks.h"
#include "engine/api/lib_context.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

// Each callback with the message a host gets when it does not export it.
struct CallbackName {
    const char *symbol;
    const char *missingMessage;
};

constexpr CallbackName kGetString{
    "zelkscript_callback_livedata_getstring",
    "error: function zelkscript_callback_livedata_getstring(contextid, userdataref, value, valuemaxsize, errmsg, "
    "errmsgmaxsize) not found in main program"};
constexpr CallbackName kSetString{
    "zelkscript_callback_livedata_setstring",
    "error: function zelkscript_callback_livedata_setstring(contextid, userdataref, value, errmsg, maxerrmsgsize) "
    "not found in main program"};
constexpr CallbackName kGetMemberCount{
    "zelkscript_callback_livedata_structure_getmembercount",
    "error: function zelkscript_callback_livedata_structure_getmembercount(contextid, userdataref, count, errmsg, "
    "maxerrmsgsize) not found in main program"};
constexpr CallbackName kGetMemberName{
    "zelkscript_callback_livedata_structure_getmembername",
    "error: function zelkscript_callback_livedata_structure_getmembername(contextid, userdataref, memberindex, "
    "membername, maxmembernamesize, errmsg, maxerrmsgsize) not found in main program"};
constexpr CallbackName kGetMember{
    "zelkscript_callback_livedata_structure_getmember",
    "error: function zelkscript_callback_livedata_structure_getmember(contextid, userdataref, membername, "
    "memberdataidreference, errmsg, maxerrmsgsize) not found in main program"};
constexpr CallbackName kRemoveMember{
    "zelkscript_callback_livedata_structure_removemember",
    "error: function zelkscript_callback_livedata_structure_removemember(contextid, userdataref, membername, "
    "errmsg, maxerrmsgsize) not found in main program"};
constexpr CallbackName kGetSize{
    "zelkscript_callback_livedata_vector_getsize",
    "error: function zelkscript_callback_livedata_vector_getsize(contextid, userdataref, vectorsize, errmsg, "
    "maxerrmsgsize) not found in main program"};
constexpr CallbackName kGetElement{
    "zelkscript_callback_livedata_vector_getelement",
    "error: function zelkscript_callback_livedata_vector_getelement(contextid, userdataref, index, "
    "elementdataidreference, errmsg, maxerrmsgsize) not found in main program"};

// The callback, or null with its message in error.
template <class Function>
Function lookUp(const CallbackName &callback, std::string &error) {
    Function function = findHostCallbackAs<Function>(callback.symbol);
    if (!function) error = callback.missingMessage;
    return function;
}

using ErrorBuffer = ExchangeBuffer<kCallbackErrorSize>;

template <class Handler>
ObjectRef makeView(ZelkScriptLibContext &context, uintptr_t userdataref) {
    return ObjectRef(new ZelkScriptObject(HandlerRef(new Handler(context, userdataref))));
}

} // namespace

const LiveDataBinding *findLiveDataBinding(const ZelkScriptObject *value) {
    if (!value || !value->handler()) return nullptr;
    return dynamic_cast<const LiveDataBinding *>(value->handler());
}

ObjectRef makeLiveDataValue(ZelkScriptLibContext &context, uintptr_t userdataref, char dataType) {
    switch (dataType) {
    case 'S': return makeView<LiveDataString>(context, userdataref);
    case '{': return makeView<LiveDataStructure>(context, userdataref);
    case '[': return makeView<LiveDataVector>(context, userdataref);
    default: return ObjectRef();
    }
}

// ---------------------------------------------------------------------------
// Live strings
// ---------------------------------------------------------------------------

bool LiveDataString::clone(ObjectRef &result, std::string &error) {
    result = makeView<LiveDataString>(*context_, userdataref_);
    error.clear();
    return true;
}

bool LiveDataString::copyvalue(ObjectRef &result, std::string &error) { return copyStringValue(*this, result, error); }

bool LiveDataString::getstring(std::string &text, std::string &error) {
    text.clear();
    error.clear();
    const auto callback = lookUp<zelkscript_callback_livedata_getstring_fn>(kGetString, error);
    if (!callback) return false;
    ExchangeBuffer<kCallbackResultSize> value;
    ErrorBuffer message;
    const bool ok = callback(contextIdOf(*context_), userdataref_, value.bytes, value.size, message.bytes,
                             message.size) != 0;
    if (ok) text = value.text();
    error = message.text();
    return ok;
}

bool LiveDataString::setstring(std::string_view text, std::string &error) {
    error.clear();
    const auto callback = lookUp<zelkscript_callback_livedata_setstring_fn>(kSetString, error);
    if (!callback) return false;
    const std::string value(text);
    ErrorBuffer message;
    const bool ok = callback(contextIdOf(*context_), userdataref_, value.c_str(), message.bytes, message.size) != 0;
    error = message.text();
    return ok;
}

std::string LiveDataString::describe() { return "LiveDataString:" + ZelkScriptDataHandler::describe(); }

// ---------------------------------------------------------------------------
// Live structures
// ---------------------------------------------------------------------------

bool LiveDataStructure::clone(ObjectRef &result, std::string &error) {
    result = makeView<LiveDataStructure>(*context_, userdataref_);
    error.clear();
    return true;
}

bool LiveDataStructure::copyvalue(ObjectRef &result, std::string &error) {
    return copyStructureValue(*this, result, error);
}

bool LiveDataStructure::getstructurefields(NameList &names, std::string &error) {
    names.clear();
    error.clear();
    const auto getCount = lookUp<zelkscript_callback_livedata_structure_getmembercount_fn>(kGetMemberCount, error);
    if (!getCount) return false;
    const auto getName = lookUp<zelkscript_callback_livedata_structure_getmembername_fn>(kGetMemberName, error);
    if (!getName) return false;
    const uintptr_t contextid = contextIdOf(*context_);
    int32_t count = 0;
    ErrorBuffer message;
    if (!getCount(contextid, userdataref_, &count, message.bytes, message.size)) {
        error = message.text();
        return false;
    }
    // A negative count would be billions of calls if taken unsigned.
    for (int32_t index = 0; index < count; ++index) {
        ExchangeBuffer<kCallbackMemberNameSize> name;
        ErrorBuffer nameMessage;
        if (!getName(contextid, userdataref_, index, name.bytes, name.size, nameMessage.bytes, nameMessage.size)) {
            error = nameMessage.text();
            return false;
        }
        std::string text = name.text();
        if (text.empty()) {
            error = "error: empty member name found";
            return false;
        }
        names.push_back(std::move(text));
    }
    return true;
}

bool LiveDataStructure::getstructuremember(std::string_view name, ObjectRef &member, std::string &error) {
    member.reset();
    error.clear();
    if (name.empty()) {
        error = "error: empty structure field name found";
        return false;
    }
    // The host must be able to list its members; the name itself is its to
    // judge.
    NameList names;
    if (!getstructurefields(names, error)) return false;
    const auto getMember = lookUp<zelkscript_callback_livedata_structure_getmember_fn>(kGetMember, error);
    if (!getMember) return false;
    const std::string memberName(name);
    int32_t memberId = 0;
    ErrorBuffer message;
    const bool ok = getMember(contextIdOf(*context_), userdataref_, memberName.c_str(), &memberId, message.bytes,
                              message.size) != 0;
    error = message.text();
    if (ok) member = context_->findValue(memberId);
    return ok;
}

bool LiveDataStructure::accessstructuremember(std::string_view name, ObjectRef &member, std::string &error) {
    return getstructuremember(name, member, error);
}

bool LiveDataStructure::insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error) {
    return insertExternalStructureMember(*this, name, member, error);
}

bool LiveDataStructure::removestructuremember(std::string_view name, std::string &error) {
    error.clear();
    if (name.empty()) {
        error = "error: fieldname is empty";
        return false;
    }
    const auto removeMember = lookUp<zelkscript_callback_livedata_structure_removemember_fn>(kRemoveMember, error);
    if (!removeMember) return false;
    const std::string memberName(name);
    ErrorBuffer message;
    const bool ok =
        removeMember(contextIdOf(*context_), userdataref_, memberName.c_str(), message.bytes, message.size) != 0;
    error = message.text();
    return ok;
}

std::string LiveDataStructure::describe() { return "LiveDataStructure:" + describeStructureFields(*this); }

// ---------------------------------------------------------------------------
// Live vectors
// ---------------------------------------------------------------------------

bool LiveDataVector::clone(ObjectRef &result, std::string &error) {
    result = makeView<LiveDataVector>(*context_, userdataref_);
    error.clear();
    return true;
}

bool LiveDataVector::copyvalue(ObjectRef &result, std::string &error) { return copyVectorValue(*this, result, error); }

bool LiveDataVector::vectorsize(int64_t &size, std::string &error) {
    size = 0;
    error.clear();
    const auto getSize = lookUp<zelkscript_callback_livedata_vector_getsize_fn>(kGetSize, error);
    if (!getSize) return false;
    int32_t count = 0;
    ErrorBuffer message;
    if (!getSize(contextIdOf(*context_), userdataref_, &count, message.bytes, message.size)) {
        error = message.text();
        return false;
    }
    // A negative size is taken as empty, not as four billion elements.
    size = count < 0 ? 0 : count;
    return true;
}

bool LiveDataVector::getvectorelement(int64_t index, ObjectRef &element, std::string &error) {
    element.reset();
    error.clear();
    if (index < 0 || index > kMaxLiveVectorIndex) {
        error = "error: vector index out of range";
        return false;
    }
    const auto getElement = lookUp<zelkscript_callback_livedata_vector_getelement_fn>(kGetElement, error);
    if (!getElement) return false;
    int32_t elementId = 0;
    ErrorBuffer message;
    const bool ok = getElement(contextIdOf(*context_), userdataref_, static_cast<int32_t>(index), &elementId,
                               message.bytes, message.size) != 0;
    error = message.text();
    if (ok) element = context_->findValue(elementId);
    return ok;
}

bool LiveDataVector::accessvectorelement(int64_t index, ObjectRef &element, std::string &error) {
    return getvectorelement(index, element, error);
}

bool LiveDataVector::pushvectorelement(const ObjectRef &, bool, std::string &error) {
    error.clear();
    return false;
}

bool LiveDataVector::popvectorelement(ObjectRef &element, std::string &error) {
    element.reset();
    error.clear();
    return false;
}

bool LiveDataVector::insertvectorelement(int64_t, const ObjectRef &, std::string &error) {
    error.clear();
    return false;
}

bool LiveDataVector::removevectorelement(int64_t, int64_t, std::string &error) {
    error.clear();
    return false;
}

std::string LiveDataVector::describe() {
    int64_t size = 0;
    std::string error;
    vectorsize(size, error);
    return "LiveDataVector:SIZE=" + formatLong(size);
}

} // namespace zelkscript
