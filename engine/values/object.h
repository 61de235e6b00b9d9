// Every script value is a ZelkScriptObject: a type code, an optional name, the
// L-value and const flags, and a shared reference to a data handler that holds
// and manipulates the data. A reference (by-reference argument, "=&") is two
// objects sharing one handler; data living outside the engine (host live data,
// open files, windows) plugs in as a handler class derived from the abstract
// bases below. Operations answer bool and write their message into the
// caller's error text; nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/values/block_pool.h"
#include "engine/values/number_facts.h"
#include "engine/values/ref.h"

namespace zelkscript {

class ZelkScriptObject;
class ZelkScriptDataHandler;
using ObjectRef = Ref<ZelkScriptObject>;
using HandlerRef = Ref<ZelkScriptDataHandler>;
using ObjectList = std::vector<ObjectRef>;
using NameList = std::vector<std::string>;

// Type code of an object. Other codes are never produced but are tolerated
// (their dump name is "unknowntype", their script type name "unknown").
enum ZelkScriptTypeCode : int32_t {
    ValueTypeUndefined = 0,
    ValueTypeString = 1,  // also every number and boolean
    ValueTypeVector = 2,
    ValueTypeStructure = 3,
};

// Value kind of a string-coded value: what it was declared or produced as.
enum ZelkScriptValueKind : uint32_t {
    ValueKindNone = 0,  // decided by the text
    ValueKindString = 1,
    ValueKindVector = 2,
    ValueKindStructure = 3,
    ValueKindLong = 4,
    ValueKindDouble = 5,
};

// ---------------------------------------------------------------------------
// Data handler interface. The virtual operations keep a fixed order; classes
// written later (live data, open files, the exception structure, windows)
// derive from one of the abstract bases and override what they support. A
// default that is "not implemented" writes "<operation> not implemented" and
// answers false (numeric out-parameters are set to 0).
// ---------------------------------------------------------------------------
class ZelkScriptDataHandler : public RefCounted {
public:
    // A non-virtual tag naming the three plain handlers, so hot paths can
    // recognise them with a compare instead of a virtual call. Any other
    // handler class leaves it at None.
    enum class PlainKind : uint8_t { None, String, Vector, Structure };

    ~ZelkScriptDataHandler() override = default;

    virtual bool isreserved() const { return false; }
    virtual bool isstructure() const { return false; }
    virtual bool isexternal() const { return false; }
    // A new object (L-value) holding a new handler of the same class with a
    // deep copy of the data. Fails only for data that contains itself or is
    // nested too deeply (see handlers.h).
    virtual bool clone(ObjectRef &result, std::string &error) = 0;
    // A new object of plain type (string, vector or structure handler) with a
    // detached copy of the data, read through this handler's own interface.
    virtual bool copyvalue(ObjectRef &result, std::string &error) = 0;
    virtual bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &error);
    virtual bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error);
    virtual bool getstructurefields(NameList &names, std::string &error);
    virtual bool insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error);
    virtual bool removestructuremember(std::string_view name, std::string &error);
    virtual bool setvaluekind(uint32_t kind);
    virtual bool getvaluekind(uint32_t &kind);
    virtual bool isvector() const { return false; }
    virtual bool vectorsize(int64_t &size, std::string &error);
    virtual bool accessvectorelement(int64_t index, ObjectRef &element, std::string &error);
    virtual bool pushvectorelement(const ObjectRef &element, bool byReference, std::string &error);
    virtual bool getvectorelement(int64_t index, ObjectRef &element, std::string &error);
    // Generic: vectorsize, then getvectorelement for each index.
    virtual bool getvectorelements(ObjectList &elements, std::string &error);
    // Generic: takes the last element through accessvectorelement and removes
    // it through removevectorelement.
    virtual bool popvectorelement(ObjectRef &element, std::string &error);
    virtual bool insertvectorelement(int64_t index, const ObjectRef &element, std::string &error);
    // Removes the inclusive range first..last.
    virtual bool removevectorelement(int64_t first, int64_t last, std::string &error);
    virtual void normalizenumbertext() {}
    virtual bool isstring() const { return false; }
    virtual bool getstring(std::string &text, std::string &error);
    virtual bool setstring(std::string_view text, std::string &error);
    // Debugging text used by ZelkScriptObject::dump: "DATA: " + gettext().
    virtual std::string describe();
    // The value as text: structure text, vector text or the string; a failing
    // getstring gives its message as the text. Text forms never fail.
    virtual std::string gettext();
    // The form used inside a container text: strings quoted unless they are a
    // plain decimal number, anything else its gettext.
    virtual std::string getquotedtext();
    // "{}" unless isstructure; otherwise the members as "{a: 1, b: 'x'}".
    virtual std::string getstructuretext();
    // "[]" unless isvector; otherwise the elements as "[1,'x',[2]]".
    virtual std::string getvectortext();

    PlainKind plainKind() const { return plainKind_; }

protected:
    explicit ZelkScriptDataHandler(PlainKind plainKind = PlainKind::None) : plainKind_(plainKind) {}
    ZelkScriptDataHandler(const ZelkScriptDataHandler &) = default;

private:
    PlainKind plainKind_;
};

// Strings, and the host strings and window attributes built on them. The
// default clear stores kind 0 and the empty text through the interface.
class ZelkScriptObjectStringHandlerAbstractBase : public ZelkScriptDataHandler {
public:
    virtual bool clear(std::string &error);

protected:
    using ZelkScriptDataHandler::ZelkScriptDataHandler;
};

// Vectors. The default clear removes every element through the interface.
class ZelkScriptObjectVectorHandlerAbstractBase : public ZelkScriptDataHandler {
public:
    virtual bool clear(std::string &error);

protected:
    using ZelkScriptDataHandler::ZelkScriptDataHandler;
};

// Structures and the external structure-like handlers. The default clear is
// the shared one (clearExternalStructure in handlers.h).
class ZelkScriptObjectStructureHandlerAbstractBase : public ZelkScriptDataHandler {
public:
    virtual bool clear(std::string &error);

protected:
    using ZelkScriptDataHandler::ZelkScriptDataHandler;
};

// String-like handlers whose data is a 64-bit integer (window attributes).
class ZelkScriptObjectLongHandlerAbstractBase : public ZelkScriptObjectStringHandlerAbstractBase {
public:
    virtual bool getlong(int64_t &value, std::string &error) = 0;
    virtual bool setlong(int64_t value, std::string &error) = 0;

protected:
    using ZelkScriptObjectStringHandlerAbstractBase::ZelkScriptObjectStringHandlerAbstractBase;
};

// ---------------------------------------------------------------------------
// The script object. Always held through ObjectRef; an empty ObjectRef is a
// legal value everywhere and reads as null. Operations that need a vector fail
// with "vector expected" unless the type code is 2, those that need a
// structure with "structure expected" unless it is 3, and every forwarding
// operation fails with "invalid datahandler" when there is no handler.
// ---------------------------------------------------------------------------
class ZelkScriptObject final : public RefCounted {
public:
    ZELKSCRIPT_POOLED_CLASS(ZelkScriptObject)

    // Code 1 makes an empty string handler, 2 an empty vector, 3 an empty
    // structure, any other code no handler. (A plain int literal is
    // deliberately ambiguous here: say which constructor you mean.)
    explicit ZelkScriptObject(ZelkScriptTypeCode type = ValueTypeUndefined);
    // Adopts the handler; the type follows its isstructure/isvector/isstring.
    explicit ZelkScriptObject(HandlerRef handler);
    // A string of kind 0.
    explicit ZelkScriptObject(std::string text);
    explicit ZelkScriptObject(const char *text) : ZelkScriptObject(std::string(text)) {}
    ZelkScriptObject(std::nullptr_t) = delete;  // say HandlerRef() or ValueTypeUndefined
    // A long (kind 4); the text is made only when asked for.
    explicit ZelkScriptObject(int64_t value);
    // A double (kind 5) holding the value of its precision-6 text.
    explicit ZelkScriptObject(double value);
    ~ZelkScriptObject() override;

    ZelkScriptObject(const ZelkScriptObject &) = delete;
    ZelkScriptObject &operator=(const ZelkScriptObject &) = delete;

    // An undefined object clones to a new undefined object.
    bool clone(ObjectRef &result, std::string &error) const;
    bool isreserved() const;
    bool isexternal() const;
    bool setvaluekind(uint32_t kind);
    // 0 without handler or when the handler's query fails.
    uint32_t getvaluekind() const;
    bool vectorsize(int64_t &size, std::string &error) const;
    bool accessvectorelement(int64_t index, ObjectRef &element, std::string &error);
    bool getvectorelement(int64_t index, ObjectRef &element, std::string &error) const;
    bool getvectorelements(ObjectList &elements, std::string &error) const;
    // On a non-vector: false without touching the error text.
    bool pushvectorelement(const ObjectRef &element, bool byReference, std::string &error);
    bool popvectorelement(ObjectRef &element, std::string &error);
    bool insertvectorelement(int64_t index, const ObjectRef &element, std::string &error);
    bool removevectorelement(int64_t first, int64_t last, std::string &error);
    bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &error);
    // Forwards without a type check.
    bool getstructurefields(NameList &names, std::string &error) const;
    // Forwards without a type check.
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error) const;
    bool insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error);
    bool removestructuremember(std::string_view name, std::string &error);
    void normalizenumbertext();
    // "OBJECT TYPE=string L-VALUE NAME=s data=0x<id> DATA: abc"
    std::string dump() const;
    // Empty for an undefined object; "invalid datahandler" for a typed object
    // without handler; else the handler's text.
    std::string gettext() const;
    std::string getquotedtext() const;
    bool istrue() const;
    bool isnull() const { return type_ == ValueTypeUndefined; }
    bool isnumber() const;
    bool isdouble() const;
    bool islong() const;
    bool islvalue() const { return lvalue_; }
    bool isconst() const { return constant_; }
    void setconst(bool constant) { constant_ = constant; }
    HandlerRef getdatahandler() const { return data_; }
    // Drops the link and the handler; type 0. Not guarded by the const flag.
    void clear();
    ObjectRef linkedobject() const { return link_; }
    // Guarded. Gives the object a string handler when it has none; the type
    // becomes 1 once the handler has accepted the text.
    bool setstring(std::string_view text, std::string &error);
    // Value assignment: external sources are shared, anything else is copied;
    // a string target keeps its own handler and receives the text and kind.
    bool assignvalue(const ObjectRef &source, std::string &error);
    // Reference assignment: the target shares the source's handler.
    bool assignreference(const ObjectRef &source, std::string &error);
    int32_t gettype() const { return type_; }
    ZelkScriptObject *self() { return this; }

    // --- Beyond the script operations: what the interpreter needs. ---
    const std::string &getname() const { return name_; }
    void setname(std::string name) { name_ = std::move(name); }
    void setlvalue(bool lvalue) { lvalue_ = lvalue; }
    // The handler without touching its reference count.
    ZelkScriptDataHandler *handler() const { return data_.get(); }
    // isnumber, islong, isdouble and the integer/double conversions in one
    // call, from the string handler's cache (no text is made for values that
    // were made from numbers). False, with everything clear, unless the value
    // is string-typed with a handler.
    bool readNumber(NumberView &view) const;
    // The text without copying it where possible: a view into a plain string
    // handler's text, otherwise gettext() stored in scratch. The view lives
    // until the value changes or scratch is reused.
    std::string_view viewText(std::string &scratch) const;
    // setstring taking over the caller's text (no copy for plain strings).
    bool movestring(std::string &&text, std::string &error);
    // Makes a string object that nothing else holds look new again (no name,
    // no link, not const); its handler is kept for the caller to refill.
    void resetAsFreshString(bool lvalue) {
        type_ = ValueTypeString;
        lvalue_ = lvalue;
        constant_ = false;
        name_.clear();
        link_.reset();
    }

private:
    bool requireVector(std::string &error) const;
    bool requireStructure(std::string &error) const;
    bool requireHandler(std::string &error) const;
    void adoptHandler(HandlerRef handler, int32_t type);

    ObjectRef link_;
    int32_t type_ = ValueTypeUndefined;
    bool lvalue_ = true;
    bool constant_ = false;
    std::string name_;
    HandlerRef data_;
};

// Dump name of a type code: "undef", "string", "vector", "structure",
// "unknowntype".
const char *getTypeDumpName(int32_t type);
// Script-visible type name of a value: "null", "string", "long", "double",
// "vector", "structure" or "unknown". Accepts a null reference.
const char *getScriptTypeName(const ZelkScriptObject *value);
inline const char *getScriptTypeName(const ObjectRef &value) { return getScriptTypeName(value.get()); }

} // namespace zelkscript
