// The three plain data handlers behind every script value (string, vector,
// structure), the value copy that gives the language its value semantics, the
// text forms and escaping, and the shared implementations that external
// structure-like handlers (live data, open files, exception structures,
// windows) reuse. The string handler keeps the number beside the text, so
// arithmetic never re-reads texts it made itself.
//
// Containers may contain themselves (through reference assignment). Every
// recursive walk (text forms, value copy, clone) keeps the containers it is
// inside on a per-thread path of at most kMaxContainerNesting entries: a text
// form writes "..." for a container that is already being written or that
// lies deeper than the limit; a copy or clone fails with "value contains
// itself" or "value is nested too deeply". Releasing a deep chain of
// containers is flattened the same way, so it cannot overflow the stack.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/values/number_facts.h"
#include "engine/values/object.h"

namespace zelkscript {

// Deepest container nesting that text forms, copies and clones walk.
constexpr int kMaxContainerNesting = 200;
// Largest vector that element access or insertion may create by filling a gap
// with null entries; beyond it they fail with "vector index too large".
constexpr int64_t kMaxVectorFillSize = int64_t{1} << 27;

// Text written in place of a container that contains itself or lies deeper
// than kMaxContainerNesting.
inline constexpr std::string_view kElidedContainerText = "...";

// ---------------------------------------------------------------------------
// String handler: a text and its value kind. A value made from a long keeps
// the long and writes its text only when asked; a value made from a double
// keeps the double already rounded to what its text denotes. The recognizer
// answers for the text are cached until the text changes.
// ---------------------------------------------------------------------------
class ZelkScriptObjectStringHandler final : public ZelkScriptObjectStringHandlerAbstractBase {
public:
    ZELKSCRIPT_POOLED_CLASS(ZelkScriptObjectStringHandler)

    ZelkScriptObjectStringHandler();
    explicit ZelkScriptObjectStringHandler(std::string text, uint32_t kind = ValueKindNone);
    ZelkScriptObjectStringHandler(std::string text, uint32_t kind, const NumberFacts &facts);
    // Kind 4; the text is made on first use.
    static Ref<ZelkScriptObjectStringHandler> makeLong(int64_t value);
    // Kind 5; the value is rounded to its precision-6 text.
    static Ref<ZelkScriptObjectStringHandler> makeDouble(double value);

    // Each setter below leaves the handler in exactly the state the matching
    // factory or constructor gives a new one, whatever it held before: a
    // result object can then be reused in place of a new one.
    void setLong(int64_t value);
    void setDouble(double value);
    void setText(std::string_view text, uint32_t kind, const NumberFacts &facts);
    void setText(std::string &&text, uint32_t kind);
    size_t textCapacity() const { return text_.capacity(); }

    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool setvaluekind(uint32_t kind) override;
    bool getvaluekind(uint32_t &kind) override;
    void normalizenumbertext() override;
    bool isstring() const override { return true; }
    bool getstring(std::string &text, std::string &error) override;
    bool setstring(std::string_view text, std::string &error) override;
    std::string gettext() override;
    std::string getquotedtext() override;
    bool clear(std::string &error) override;

    // --- Non-virtual fast paths for the interpreter and the conversions. ---
    uint32_t kind() const { return kind_; }
    // The text, made now if the value was made from a long.
    const std::string &text();
    // The recognizer answers for the text, worked out on first use.
    const NumberFacts &facts();
    // Takes over the caller's text (kind unchanged).
    void moveText(std::string &&text);
    // Text, kind and cached facts of another plain string: what value
    // assignment into a string variable does, without making a text.
    void assignFrom(ZelkScriptObjectStringHandler &source);
    // Appends the quoted form (see getquotedtext) to out.
    void appendQuotedText(std::string &out);
    // The facts when they are worked out already, else null (never works
    // them out: a peek for hot paths that fall back to the general reading).
    const NumberFacts *readyFacts() const { return factsReady_ ? &facts_ : nullptr; }

private:
    void makeTextNow();

    std::string text_;
    NumberFacts facts_;
    uint32_t kind_ = ValueKindNone;
    bool textReady_ = true;    // false while a long-made value has no text yet
    bool factsReady_ = false;  // facts_ describes text_
};

// An integer operand as the operators read it, when a value is certainly
// one: a plain string made from a long, or a kind-0 text in canonical integer
// form. `arithmetic` is what integer arithmetic reads (the integer text),
// `compared` what comparisons read (the to-integer conversion). False when
// the general reading must decide; it never works anything out.
struct IntegerOperand {
    int64_t arithmetic = 0;
    int64_t compared = 0;
};
// The plain string handler of a string-typed value whose number facts are
// worked out already, with those facts; null otherwise.
inline const ZelkScriptObjectStringHandler *plainStringWithFacts(const ZelkScriptObject *value,
                                                                 const NumberFacts *&facts) {
    if (value == nullptr || value->gettype() != ValueTypeString) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (handler == nullptr || handler->plainKind() != ZelkScriptDataHandler::PlainKind::String) return nullptr;
    const auto *text = static_cast<const ZelkScriptObjectStringHandler *>(handler);
    facts = text->readyFacts();
    return facts != nullptr ? text : nullptr;
}

inline bool peekIntegerOperand(const ZelkScriptObject *value, IntegerOperand &operand) {
    const NumberFacts *facts = nullptr;
    const ZelkScriptObjectStringHandler *text = plainStringWithFacts(value, facts);
    if (text == nullptr) return false;
    constexpr uint16_t kNeeded = NumberFacts::IntegerText | NumberFacts::ToInteger | NumberFacts::NonEmpty;
    if ((facts->flags & kNeeded) != kNeeded || facts->has(NumberFacts::DottedFloat)) return false;
    if (text->kind() != ValueKindLong && !(text->kind() == ValueKindNone && facts->has(NumberFacts::Canonical)))
        return false;
    operand.arithmetic = facts->integerTextValue;
    operand.compared = facts->integerValue;
    return true;
}

// Any number operand as the operators read it, when a value certainly is
// one and converts to a double: a plain string made from a long or a double,
// or a kind-0 number text in canonical form, facts worked out. `isLong` and
// `isDouble` are the object's islong/isdouble, `value` its to-double
// conversion. False when the general reading must decide.
struct NumberOperand {
    bool isLong = false;
    bool isDouble = false;
    double value = 0;
};
inline bool peekNumberOperand(const ZelkScriptObject *value, NumberOperand &operand) {
    const NumberFacts *facts = nullptr;
    const ZelkScriptObjectStringHandler *text = plainStringWithFacts(value, facts);
    if (text == nullptr || !facts->has(NumberFacts::ToDouble)) return false;
    const bool integerText = facts->has(NumberFacts::IntegerText);
    const bool dotted = facts->has(NumberFacts::DottedFloat);
    switch (text->kind()) {
    case ValueKindLong:
        operand.isLong = true;
        operand.isDouble = dotted;
        break;
    case ValueKindDouble:
        operand.isLong = integerText;
        operand.isDouble = true;
        break;
    case ValueKindNone:
        if (!facts->has(NumberFacts::Canonical) || !facts->isNumberText()) return false;
        operand.isLong = integerText;
        operand.isDouble = dotted;
        break;
    default: return false;
    }
    operand.value = facts->doubleValue;
    return true;
}

// ---------------------------------------------------------------------------
// Vector handler: a contiguous array of shared object references, entries may
// be null. Writing beyond the end fills the gap with null entries.
// ---------------------------------------------------------------------------
class ZelkScriptObjectVectorHandler final : public ZelkScriptObjectVectorHandlerAbstractBase {
public:
    ZelkScriptObjectVectorHandler();
    explicit ZelkScriptObjectVectorHandler(ObjectList elements);
    ~ZelkScriptObjectVectorHandler() override;

    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool isvector() const override { return true; }
    bool vectorsize(int64_t &size, std::string &error) override;
    bool accessvectorelement(int64_t index, ObjectRef &element, std::string &error) override;
    bool pushvectorelement(const ObjectRef &element, bool byReference, std::string &error) override;
    bool getvectorelement(int64_t index, ObjectRef &element, std::string &error) override;
    bool getvectorelements(ObjectList &elements, std::string &error) override;
    bool popvectorelement(ObjectRef &element, std::string &error) override;
    bool insertvectorelement(int64_t index, const ObjectRef &element, std::string &error) override;
    bool removevectorelement(int64_t first, int64_t last, std::string &error) override;
    std::string describe() override;
    std::string gettext() override;
    bool clear(std::string &error) override;

    // Direct read access to the element array.
    const ObjectRef *begin() const { return elements_.data(); }
    const ObjectRef *end() const { return elements_.data() + elements_.size(); }
    const ObjectList &elements() const { return elements_; }
    // Appends the reference itself (no assignment, no copy).
    void appendElement(ObjectRef element) { elements_.push_back(std::move(element)); }
    void reserveElements(size_t count) { elements_.reserve(count); }

private:
    ObjectList elements_;
};

// ---------------------------------------------------------------------------
// Structure handler: members ordered by byte-wise name comparison. A member
// holding an undefined object (accessed but never assigned) is invisible to
// getstructurefields, getstructuremember and the text.
// ---------------------------------------------------------------------------
class ZelkScriptObjectStructureHandler final : public ZelkScriptObjectStructureHandlerAbstractBase {
public:
    using MemberMap = std::map<std::string, ObjectRef, std::less<>>;

    ZelkScriptObjectStructureHandler();
    ~ZelkScriptObjectStructureHandler() override;

    bool isstructure() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    bool getstructurefields(NameList &names, std::string &error) override;
    bool insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error) override;
    bool removestructuremember(std::string_view name, std::string &error) override;
    std::string describe() override;
    std::string gettext() override;
    bool clear(std::string &error) override;

    // Every stored member, undefined ones included, in name order.
    const MemberMap &members() const { return members_; }
    // Stores the reference itself under the name (no copy).
    void setMember(std::string name, ObjectRef member) { members_.insert_or_assign(std::move(name), std::move(member)); }

private:
    MemberMap members_;
};

// ---------------------------------------------------------------------------
// Value copy: null gives null, an undefined value a new undefined object, a
// typed value without handler fails with "handler for data missing";
// otherwise the handler's copyvalue, with the copy's L-value flag cleared.
// ---------------------------------------------------------------------------
bool copyValue(const ObjectRef &source, ObjectRef &copy, std::string &error);

// ---------------------------------------------------------------------------
// Shared implementations, read through the handler's own interface, for
// handlers that are not the plain ones.
// ---------------------------------------------------------------------------
// New plain string object with the handler's getstring text and kind.
bool copyStringValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error);
// New plain vector: null and external elements shared, others value-copied.
bool copyVectorValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error);
// New plain structure with each listed member value-copied.
bool copyStructureValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error);
// Insert into an external structure: the place from accessstructuremember
// must be a structure, which then receives the value by value assignment;
// otherwise "structure expected".
bool insertExternalStructureMember(ZelkScriptDataHandler &handler, std::string_view name, const ObjectRef &value,
                                   std::string &error);
// The debugging text of a structure-like handler: "FIELDS(n)=" and its first
// ten member names (all eleven when there are exactly eleven, " ..." beyond).
std::string describeStructureFields(ZelkScriptDataHandler &handler);
// Removes every listed member through removestructuremember.
bool clearExternalStructure(ZelkScriptDataHandler &handler, std::string &error);

// ---------------------------------------------------------------------------
// Text form helpers.
// ---------------------------------------------------------------------------
// Escaping used in quoted texts and quoted names: \0 \t \r \n \\ \' \", other
// non-printable bytes as \xHH (upper case), printable ASCII and the Latin-1
// bytes E4 F6 FC DF C4 D6 DC unchanged.
void appendEscapedText(std::string &out, std::string_view text);
std::string escapeText(std::string_view text);
// An optional "-", digits, optionally "." and digits, nothing else.
bool isPlainDecimalText(std::string_view text);
// Non-empty and only ASCII letters, digits and "_": printed without quotes.
bool isBareMemberName(std::string_view name);
// Appends the object's getquotedtext (empty for undefined values).
void appendQuotedText(std::string &out, const ZelkScriptObject *value);

} // namespace zelkscript
