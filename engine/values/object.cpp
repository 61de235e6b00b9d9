#include "engine/values/object.h"

#include <charconv>
#include <cstdint>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

bool notImplemented(const char *operation, std::string &error) {
    error = operation;
    error += " not implemented";
    return false;
}

inline ZelkScriptObjectStringHandler *asPlainString(ZelkScriptDataHandler *handler) {
    return handler != nullptr && handler->plainKind() == ZelkScriptDataHandler::PlainKind::String
               ? static_cast<ZelkScriptObjectStringHandler *>(handler)
               : nullptr;
}

// The facts of a string value whatever its handler: cached for the plain
// string handler, worked out from the text for any other.
NumberFacts readTextFacts(ZelkScriptDataHandler *handler) {
    if (ZelkScriptObjectStringHandler *plain = asPlainString(handler)) return plain->facts();
    return analyzeNumberText(handler->gettext());
}

} // namespace

// ---------------------------------------------------------------------------
// ZelkScriptDataHandler defaults
// ---------------------------------------------------------------------------

bool ZelkScriptDataHandler::accessstructuremember(std::string_view, ObjectRef &, std::string &error) {
    return notImplemented("accessstructuremember", error);
}
bool ZelkScriptDataHandler::getstructuremember(std::string_view, ObjectRef &, std::string &error) {
    return notImplemented("getstructuremember", error);
}
bool ZelkScriptDataHandler::getstructurefields(NameList &, std::string &error) {
    return notImplemented("getstructurefields", error);
}
bool ZelkScriptDataHandler::insertstructuremember(std::string_view, const ObjectRef &, std::string &error) {
    return notImplemented("insertstructuremember", error);
}
bool ZelkScriptDataHandler::removestructuremember(std::string_view, std::string &error) {
    return notImplemented("removestructuremember", error);
}
bool ZelkScriptDataHandler::setvaluekind(uint32_t) { return false; }
bool ZelkScriptDataHandler::getvaluekind(uint32_t &kind) {
    kind = ValueKindNone;
    return true;
}
bool ZelkScriptDataHandler::vectorsize(int64_t &size, std::string &error) {
    size = 0;
    return notImplemented("vectorsize", error);
}
bool ZelkScriptDataHandler::accessvectorelement(int64_t, ObjectRef &, std::string &error) {
    return notImplemented("accessvectorelement", error);
}
bool ZelkScriptDataHandler::pushvectorelement(const ObjectRef &, bool, std::string &error) {
    return notImplemented("pushvectorelement", error);
}
bool ZelkScriptDataHandler::getvectorelement(int64_t, ObjectRef &, std::string &error) {
    return notImplemented("getvectorelement", error);
}

bool ZelkScriptDataHandler::getvectorelements(ObjectList &elements, std::string &error) {
    elements.clear();
    error.clear();
    int64_t size = 0;
    if (!vectorsize(size, error)) return false;
    for (int64_t index = 0; index < size; ++index) {
        ObjectRef element;
        if (!getvectorelement(index, element, error)) return false;
        elements.push_back(std::move(element));
    }
    return true;
}

bool ZelkScriptDataHandler::popvectorelement(ObjectRef &element, std::string &error) {
    if (!isvector()) {
        error = "pop() requires a vector";
        return false;
    }
    int64_t size = 0;
    if (!vectorsize(size, error)) return false;
    if (size == 0) {
        error = "cannot pop() from empty vector";
        return false;
    }
    if (!accessvectorelement(size - 1, element, error)) return false;
    return removevectorelement(size - 1, size - 1, error);
}

bool ZelkScriptDataHandler::insertvectorelement(int64_t, const ObjectRef &, std::string &error) {
    return notImplemented("insertvectorelement", error);
}
bool ZelkScriptDataHandler::removevectorelement(int64_t, int64_t, std::string &error) {
    return notImplemented("removevectorelement", error);
}
bool ZelkScriptDataHandler::getstring(std::string &, std::string &error) {
    return notImplemented("getstring", error);
}
bool ZelkScriptDataHandler::setstring(std::string_view, std::string &error) {
    return notImplemented("setstring", error);
}

std::string ZelkScriptDataHandler::describe() { return "DATA: " + gettext(); }

std::string ZelkScriptDataHandler::gettext() {
    if (isstructure()) return getstructuretext();
    if (isvector()) return getvectortext();
    if (isstring()) {
        std::string text;
        std::string error;
        if (!getstring(text, error)) return error;
        return text;
    }
    return std::string();
}

// getquotedtext, getstructuretext and getvectortext live in text_forms.cpp.

// ---------------------------------------------------------------------------
// Abstract bases
// ---------------------------------------------------------------------------

bool ZelkScriptObjectStringHandlerAbstractBase::clear(std::string &error) {
    setvaluekind(ValueKindNone);
    return setstring(std::string_view(), error);
}

bool ZelkScriptObjectVectorHandlerAbstractBase::clear(std::string &error) {
    int64_t size = 0;
    if (!vectorsize(size, error)) return false;
    if (size > 0 && !removevectorelement(0, size - 1, error)) return false;
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandlerAbstractBase::clear(std::string &error) {
    return clearExternalStructure(*this, error);
}

// ---------------------------------------------------------------------------
// ZelkScriptObject
// ---------------------------------------------------------------------------

ZelkScriptObject::ZelkScriptObject(ZelkScriptTypeCode type) : type_(type) {
    switch (type) {
    case ValueTypeString: data_ = HandlerRef(new ZelkScriptObjectStringHandler()); break;
    case ValueTypeVector: data_ = HandlerRef(new ZelkScriptObjectVectorHandler()); break;
    case ValueTypeStructure: data_ = HandlerRef(new ZelkScriptObjectStructureHandler()); break;
    default: break;
    }
}

ZelkScriptObject::ZelkScriptObject(HandlerRef handler) : data_(std::move(handler)) {
    if (!data_) type_ = ValueTypeUndefined;
    else if (data_->isstructure()) type_ = ValueTypeStructure;
    else if (data_->isvector()) type_ = ValueTypeVector;
    else if (data_->isstring()) type_ = ValueTypeString;
    else type_ = ValueTypeUndefined;
}

ZelkScriptObject::ZelkScriptObject(std::string text)
    : type_(ValueTypeString), data_(new ZelkScriptObjectStringHandler(std::move(text))) {}

ZelkScriptObject::ZelkScriptObject(int64_t value)
    : type_(ValueTypeString), data_(ZelkScriptObjectStringHandler::makeLong(value)) {}

ZelkScriptObject::ZelkScriptObject(double value)
    : type_(ValueTypeString), data_(ZelkScriptObjectStringHandler::makeDouble(value)) {}

ZelkScriptObject::~ZelkScriptObject() = default;

bool ZelkScriptObject::requireHandler(std::string &error) const {
    if (data_) return true;
    error = "invalid datahandler";
    return false;
}

bool ZelkScriptObject::requireVector(std::string &error) const {
    if (type_ != ValueTypeVector) {
        error = "vector expected";
        return false;
    }
    return requireHandler(error);
}

bool ZelkScriptObject::requireStructure(std::string &error) const {
    if (type_ != ValueTypeStructure) {
        error = "structure expected";
        return false;
    }
    return requireHandler(error);
}

void ZelkScriptObject::adoptHandler(HandlerRef handler, int32_t type) {
    data_ = std::move(handler);
    type_ = type;
}

bool ZelkScriptObject::clone(ObjectRef &result, std::string &error) const {
    if (type_ == ValueTypeUndefined || !data_) {
        result = ObjectRef(new ZelkScriptObject());
        return true;
    }
    return data_->clone(result, error);
}

bool ZelkScriptObject::isreserved() const { return data_ && data_->isreserved(); }

bool ZelkScriptObject::isexternal() const { return data_ && data_->isexternal(); }

bool ZelkScriptObject::setvaluekind(uint32_t kind) { return data_ && data_->setvaluekind(kind); }

uint32_t ZelkScriptObject::getvaluekind() const {
    if (!data_) return ValueKindNone;
    if (ZelkScriptObjectStringHandler *plain = asPlainString(data_.get())) return plain->kind();
    uint32_t kind = ValueKindNone;
    return data_->getvaluekind(kind) ? kind : ValueKindNone;
}

bool ZelkScriptObject::vectorsize(int64_t &size, std::string &error) const {
    size = 0;
    return requireVector(error) && data_->vectorsize(size, error);
}

bool ZelkScriptObject::accessvectorelement(int64_t index, ObjectRef &element, std::string &error) {
    return requireVector(error) && data_->accessvectorelement(index, element, error);
}

bool ZelkScriptObject::getvectorelement(int64_t index, ObjectRef &element, std::string &error) const {
    return requireVector(error) && data_->getvectorelement(index, element, error);
}

bool ZelkScriptObject::getvectorelements(ObjectList &elements, std::string &error) const {
    return requireVector(error) && data_->getvectorelements(elements, error);
}

bool ZelkScriptObject::pushvectorelement(const ObjectRef &element, bool byReference, std::string &error) {
    if (type_ != ValueTypeVector) return false;
    return requireHandler(error) && data_->pushvectorelement(element, byReference, error);
}

bool ZelkScriptObject::popvectorelement(ObjectRef &element, std::string &error) {
    return requireVector(error) && data_->popvectorelement(element, error);
}

bool ZelkScriptObject::insertvectorelement(int64_t index, const ObjectRef &element, std::string &error) {
    if (type_ != ValueTypeVector) {
        error = "vector expected";
        return false;
    }
    if (index < 0) {
        error = "index must be a positive integer value";
        return false;
    }
    return requireHandler(error) && data_->insertvectorelement(index, element, error);
}

bool ZelkScriptObject::removevectorelement(int64_t first, int64_t last, std::string &error) {
    return requireVector(error) && data_->removevectorelement(first, last, error);
}

bool ZelkScriptObject::accessstructuremember(std::string_view name, ObjectRef &member, std::string &error) {
    return requireStructure(error) && data_->accessstructuremember(name, member, error);
}

bool ZelkScriptObject::getstructurefields(NameList &names, std::string &error) const {
    return requireHandler(error) && data_->getstructurefields(names, error);
}

bool ZelkScriptObject::getstructuremember(std::string_view name, ObjectRef &member, std::string &error) const {
    return requireHandler(error) && data_->getstructuremember(name, member, error);
}

bool ZelkScriptObject::insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error) {
    return requireStructure(error) && data_->insertstructuremember(name, member, error);
}

bool ZelkScriptObject::removestructuremember(std::string_view name, std::string &error) {
    return requireStructure(error) && data_->removestructuremember(name, error);
}

void ZelkScriptObject::normalizenumbertext() {
    if (data_) data_->normalizenumbertext();
}

std::string ZelkScriptObject::dump() const {
    std::string text = "OBJECT TYPE=";
    text += getTypeDumpName(type_);
    if (lvalue_) text += " L-VALUE";
    if (!name_.empty()) {
        text += " NAME=";
        text += name_;
    }
    if (data_) {
        // The handler's address identifies it; written in decimal after the
        // historical "0x" prefix.
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, reinterpret_cast<uintptr_t>(data_.get()));
        text += " data=0x";
        text.append(digits, end.ptr);
        text += ' ';
        text += data_->describe();
    } else {
        text += " data=null";
    }
    return text;
}

std::string ZelkScriptObject::gettext() const {
    if (type_ == ValueTypeUndefined) return std::string();
    if (!data_) return "invalid datahandler";
    if (ZelkScriptObjectStringHandler *plain = asPlainString(data_.get())) return plain->text();
    return data_->gettext();
}

std::string_view ZelkScriptObject::viewText(std::string &scratch) const {
    if (type_ != ValueTypeUndefined) {
        if (ZelkScriptObjectStringHandler *plain = asPlainString(data_.get())) return plain->text();
    }
    scratch = gettext();
    return scratch;
}

std::string ZelkScriptObject::getquotedtext() const {
    if (type_ == ValueTypeUndefined) return std::string();
    if (!data_) return "invalid datahandler";
    return data_->getquotedtext();
}

bool ZelkScriptObject::istrue() const {
    if (type_ == ValueTypeUndefined) return false;  // empty text
    if (!data_) return false;                        // "invalid datahandler"
    switch (data_->plainKind()) {
    case ZelkScriptDataHandler::PlainKind::String:
        return static_cast<ZelkScriptObjectStringHandler *>(data_.get())->facts().has(NumberFacts::Truthy);
    case ZelkScriptDataHandler::PlainKind::Vector:
    case ZelkScriptDataHandler::PlainKind::Structure:
        return false;  // the text begins with "[" or "{"
    case ZelkScriptDataHandler::PlainKind::None: break;
    }
    return isTrueText(data_->gettext());
}

bool ZelkScriptObject::readNumber(NumberView &view) const {
    view = NumberView();
    if (type_ != ValueTypeString || !data_) return false;
    view.facts = readTextFacts(data_.get());
    switch (getvaluekind()) {
    case ValueKindLong:
        view.isNumber = true;
        view.isLong = true;
        view.isDouble = view.facts.has(NumberFacts::DottedFloat);
        break;
    case ValueKindDouble:
        view.isNumber = true;
        view.isLong = view.facts.has(NumberFacts::IntegerText);
        view.isDouble = true;
        break;
    case ValueKindString:
    case ValueKindVector:
    case ValueKindStructure: break;
    default:
        view.isNumber = view.facts.isNumberText();
        view.isLong = view.facts.has(NumberFacts::IntegerText);
        view.isDouble = view.facts.has(NumberFacts::DottedFloat);
        break;
    }
    return true;
}

bool ZelkScriptObject::isnumber() const {
    NumberView view;
    return readNumber(view) && view.isNumber;
}

bool ZelkScriptObject::isdouble() const {
    NumberView view;
    return readNumber(view) && view.isDouble;
}

bool ZelkScriptObject::islong() const {
    NumberView view;
    return readNumber(view) && view.isLong;
}

void ZelkScriptObject::clear() {
    link_.reset();
    data_.reset();
    type_ = ValueTypeUndefined;
}

bool ZelkScriptObject::setstring(std::string_view text, std::string &error) {
    if (constant_) {
        error = "const object must not be changed";
        return false;
    }
    if (!data_) data_ = HandlerRef(new ZelkScriptObjectStringHandler());
    if (!data_->setstring(text, error)) return false;
    type_ = ValueTypeString;
    return true;
}

bool ZelkScriptObject::movestring(std::string &&text, std::string &error) {
    if (constant_) {
        error = "const object must not be changed";
        return false;
    }
    if (!data_) {
        data_ = HandlerRef(new ZelkScriptObjectStringHandler(std::move(text)));
    } else if (ZelkScriptObjectStringHandler *plain = asPlainString(data_.get())) {
        plain->moveText(std::move(text));
        error.clear();
    } else if (!data_->setstring(text, error)) {
        return false;
    }
    type_ = ValueTypeString;
    return true;
}

bool ZelkScriptObject::assignvalue(const ObjectRef &source, std::string &error) {
    if (constant_) {
        error = "const object must not be changed";
        return false;
    }
    if (source && source->isexternal()) return assignreference(source, error);

    // A plain string into a plain string variable: the variable keeps its
    // handler (every object sharing it sees the new value) and takes text,
    // kind and cached number facts at once. This is what copy + setstring +
    // setvaluekind below do, without the intermediate copy object.
    if (source && source->type_ == ValueTypeString && type_ == ValueTypeString) {
        ZelkScriptObjectStringHandler *from = asPlainString(source->data_.get());
        ZelkScriptObjectStringHandler *to = asPlainString(data_.get());
        if (from != nullptr && to != nullptr) {
            if (from != to) to->assignFrom(*from);
            error.clear();
            return true;
        }
    }

    ObjectRef copy;
    if (!copyValue(source, copy, error)) return false;
    if (data_) {
        if (!copy) return true;  // a null source leaves a typed target as it is
        if (type_ == ValueTypeUndefined || type_ == ValueTypeVector || type_ == ValueTypeStructure ||
            copy->type_ == ValueTypeVector || copy->type_ == ValueTypeStructure) {
            adoptHandler(copy->data_, copy->type_);
        } else if (copy->type_ == ValueTypeString) {
            // Keep the target's handler: a host-backed string and every object
            // sharing the handler see the new text.
            std::string text;
            if (!copy->data_->getstring(text, error)) return false;
            if (!data_->setstring(text, error)) return false;
            data_->setvaluekind(copy->getvaluekind());
        } else {
            clear();
        }
    } else if (!copy) {
        clear();
    } else {
        adoptHandler(copy->data_, copy->type_);
    }
    return true;
}

bool ZelkScriptObject::assignreference(const ObjectRef &source, std::string &error) {
    if (constant_) {
        error = "const object must not be changed";
        return false;
    }
    if (!source) {
        error = "cannot assign null reference";
        return false;
    }
    // Copy first: source may be this object.
    HandlerRef handler = source->data_;
    const int32_t type = source->type_;
    adoptHandler(std::move(handler), type);
    link_.reset();
    return true;
}

// ---------------------------------------------------------------------------
// Type names
// ---------------------------------------------------------------------------

const char *getTypeDumpName(int32_t type) {
    switch (type) {
    case ValueTypeUndefined: return "undef";
    case ValueTypeString: return "string";
    case ValueTypeVector: return "vector";
    case ValueTypeStructure: return "structure";
    default: return "unknowntype";
    }
}

const char *getScriptTypeName(const ZelkScriptObject *value) {
    if (value == nullptr) return "null";
    switch (value->gettype()) {
    case ValueTypeUndefined: return "null";
    case ValueTypeVector: return "vector";
    case ValueTypeStructure: return "structure";
    case ValueTypeString: break;
    default: return "unknown";
    }
    switch (value->getvaluekind()) {
    case ValueKindDouble: return "double";
    case ValueKindLong: return "long";
    case ValueKindString: return "string";
    case ValueKindStructure: return "structure";
    case ValueKindVector: return "vector";
    default: break;
    }
    ZelkScriptDataHandler *handler = value->handler();
    if (handler == nullptr) return "string";
    const NumberFacts facts = readTextFacts(handler);
    if (facts.has(NumberFacts::IntegerText)) return "long";
    if (facts.has(NumberFacts::FloatText)) return "double";
    return "string";
}

} // namespace zelkscript
