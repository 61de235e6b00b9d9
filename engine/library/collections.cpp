// The collections, sorting and grep family of system functions.
//
// Functions that look through a collection work on a snapshot of its entries
// (shared references, not copies), so nothing that runs meanwhile - a host
// callback behind live data, a script compare function - can invalidate what
// is being walked. Functions that change a collection go through the handler
// interface, so live data and other external containers behave like plain
// ones.
#include "engine/library/collections.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/frontend/tokens.h"
#include "engine/interpreter/calls.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/interpreter/operators.h"
#include "engine/library/families.h"
#include "engine/library/regex.h"
#include "engine/library/sort.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

namespace {

thread_local size_t nestedScriptCalls = 0;

using Arguments = std::span<ObjectRef>;

ZelkScriptObjectVectorHandler *plainVectorOf(const ObjectRef &value) {
    if (!value || value->gettype() != ValueTypeVector) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (!handler || handler->plainKind() != ZelkScriptDataHandler::PlainKind::Vector) return nullptr;
    return static_cast<ZelkScriptObjectVectorHandler *>(handler);
}

ZelkScriptObjectStructureHandler *plainStructureOf(const ObjectRef &value) {
    if (!value || value->gettype() != ValueTypeStructure) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (!handler || handler->plainKind() != ZelkScriptDataHandler::PlainKind::Structure) return nullptr;
    return static_cast<ZelkScriptObjectStructureHandler *>(handler);
}

bool isStructure(const ObjectRef &value) { return value && value->gettype() == ValueTypeStructure; }
bool isVector(const ObjectRef &value) { return value && value->gettype() == ValueTypeVector; }

// The text of a value; empty for null.
std::string_view textOf(const ObjectRef &value, std::string &scratch) {
    if (!value) return {};
    return value->viewText(scratch);
}

ObjectRef makeVectorFrom(ObjectList elements) {
    return ObjectRef(new ZelkScriptObject(HandlerRef(new ZelkScriptObjectVectorHandler(std::move(elements)))));
}

struct MemberEntry {
    std::string name;
    ObjectRef value;
};

// The visible members of a structure in name order: members that were only
// accessed (an undefined object) are left out, as everywhere else.
bool readStructureMembers(const ObjectRef &structure, std::vector<MemberEntry> &members, std::string &error) {
    members.clear();
    if (ZelkScriptObjectStructureHandler *plain = plainStructureOf(structure)) {
        members.reserve(plain->members().size());
        for (const auto &[name, member] : plain->members()) {
            if (member && member->isnull()) continue;
            members.push_back({name, member});
        }
        return true;
    }
    NameList names;
    if (!structure->getstructurefields(names, error)) return false;
    members.reserve(names.size());
    for (std::string &name : names) {
        ObjectRef member;
        if (!structure->getstructuremember(name, member, error)) return false;
        members.push_back({std::move(name), std::move(member)});
    }
    return true;
}

bool readVectorElements(const ObjectRef &vector, ObjectList &elements, std::string &error) {
    if (ZelkScriptObjectVectorHandler *plain = plainVectorOf(vector)) {
        elements = plain->elements();
        return true;
    }
    elements.clear();
    return vector->getvectorelements(elements, error);
}

bool readStructureNames(const ObjectRef &structure, NameList &names, std::string &error) {
    names.clear();
    if (ZelkScriptObjectStructureHandler *plain = plainStructureOf(structure)) {
        names.reserve(plain->members().size());
        for (const auto &[name, member] : plain->members())
            if (!member || !member->isnull()) names.push_back(name);
        return true;
    }
    return structure->getstructurefields(names, error);
}

// The first argument of the element functions: a vector, or an undefined
// value that becomes a new empty vector. Checked without changing anything
// first, so a call that fails for another reason leaves the variable alone.
bool checkVectorArgument(const ObjectRef &value, std::string_view function, std::string &error) {
    if (value && (value->gettype() == ValueTypeVector || value->gettype() == ValueTypeUndefined)) return true;
    error = "function " + std::string(function) + " requires a vector";
    return false;
}

bool makeVectorIfUndefined(const ObjectRef &value, std::string &error) {
    if (value->gettype() != ValueTypeUndefined) return true;
    return value->assignvalue(makeVectorObject(), error);
}

bool requireVectorArgument(const ObjectRef &value, std::string_view function, std::string &error) {
    return checkVectorArgument(value, function, error) && makeVectorIfUndefined(value, error);
}

// A new object holding x as `push` stores it: external values shared, any
// other value copied, null as an undefined value.
bool makeStoredCopy(const ObjectRef &value, ObjectRef &stored, std::string &error) {
    stored = makeUndefinedObject();
    return stored->assignvalue(value, error);
}

} // namespace

NestedScriptCallGuard::NestedScriptCallGuard() : depth_(++nestedScriptCalls) {}
NestedScriptCallGuard::~NestedScriptCallGuard() { --nestedScriptCalls; }

bool NestedScriptCallGuard::allowed(const ZelkScriptContextBase &context) const {
    return depth_ <= context.maxScopeDepth;
}

bool scriptFunctionExists(ZelkScriptContextBase &context, const std::string &name, size_t argumentCount) {
    if (name.empty()) return false;
    if (findUserFunction(context, name, argumentCount)) return true;
    for (const auto &extension : context.extensions())
        if (extension->findFunction(name, argumentCount)) return true;
    return SystemFunctionTable::instance().findSystemFunction(name, argumentCount) != nullptr;
}

// ---------------------------------------------------------------------------
// Membership
// ---------------------------------------------------------------------------

bool collectionContainsKey(const ObjectRef &collection, const ObjectRef &key, bool &found, std::string &error) {
    found = false;
    if (!collection || !key) return true;
    std::string scratch;
    const std::string_view name = key->viewText(scratch);
    if (name.empty()) return true;
    if (isStructure(collection)) {
        if (ZelkScriptObjectStructureHandler *plain = plainStructureOf(collection)) {
            auto member = plain->members().find(name);
            found = member != plain->members().end() && !(member->second && member->second->isnull());
            return true;
        }
        NameList names;
        if (!collection->getstructurefields(names, error)) return false;
        for (const std::string &candidate : names)
            if (candidate == name) {
                found = true;
                break;
            }
        return true;
    }
    if (isVector(collection)) {
        int64_t index = 0;
        std::string ignored;
        if (!convertToInteger(key.get(), index, ignored) || index < 0) return true;
        int64_t size = 0;
        if (!collection->vectorsize(size, error)) return false;
        found = index < size;
    }
    return true;
}

bool collectionContainsValue(const ObjectRef &collection, const ObjectRef &value, bool &found, std::string &error) {
    found = false;
    if (!collection || !value) return true;
    std::string scratch, elementScratch;
    const std::string_view wanted = value->viewText(scratch);
    if (wanted.empty()) return true;
    if (isVector(collection)) {
        ObjectList elements;
        if (!readVectorElements(collection, elements, error)) return false;
        for (const ObjectRef &element : elements)
            if (element && element->viewText(elementScratch) == wanted) {
                found = true;
                break;
            }
        return true;
    }
    if (isStructure(collection)) {
        std::vector<MemberEntry> members;
        if (!readStructureMembers(collection, members, error)) return false;
        for (const MemberEntry &member : members)
            if (member.value && member.value->viewText(elementScratch) == wanted) {
                found = true;
                break;
            }
        return true;
    }
    found = collection->viewText(elementScratch).find(wanted) != std::string_view::npos;
    return true;
}

namespace {

// ---------------------------------------------------------------------------
// Keys and values
// ---------------------------------------------------------------------------

bool collectionKeysImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &collection = arguments[0];
    ObjectList keys;
    if (isStructure(collection)) {
        NameList names;
        if (!readStructureNames(collection, names, error)) return false;
        keys.reserve(names.size());
        for (std::string &name : names) keys.push_back(makeStringObject(std::move(name)));
    } else if (isVector(collection)) {
        int64_t size = 0;
        if (!collection->vectorsize(size, error)) return false;
        keys.reserve(static_cast<size_t>(size > 0 ? size : 0));
        for (int64_t i = 0; i < size; ++i) keys.push_back(makeStringObject(formatLong(i)));
    } else {
        error = "function collectionkeys requires a structure or vector variable";
        return false;
    }
    result = makeVectorFrom(std::move(keys));
    return true;
}

bool collectionValuesImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &collection = arguments[0];
    if (isVector(collection)) {
        result = collection;
        return true;
    }
    if (!isStructure(collection)) {
        error = "function collectionvalues requires a structure or vector variable";
        return false;
    }
    std::vector<MemberEntry> members;
    if (!readStructureMembers(collection, members, error)) return false;
    ObjectList values;
    values.reserve(members.size());
    for (MemberEntry &member : members) values.push_back(std::move(member.value));
    result = makeVectorFrom(std::move(values));
    return true;
}

// ---------------------------------------------------------------------------
// Element editing
// ---------------------------------------------------------------------------

bool pushElement(Arguments arguments, ObjectRef &result, std::string &error, std::string_view function,
                 bool byReference) {
    const ObjectRef &vector = arguments[0];
    const ObjectRef &value = arguments[1];
    if (!checkVectorArgument(vector, function, error)) return false;
    if (byReference && !value) {
        error = "cannot assign null reference";
        return false;
    }
    if (!makeVectorIfUndefined(vector, error)) return false;
    int64_t size = 0;
    if (!vector->vectorsize(size, error)) return false;
    if (ZelkScriptObjectVectorHandler *plain = plainVectorOf(vector)) {
        // The element is made complete before it joins the vector: a copy of
        // the vector itself (push(v, v)) then holds what v held, not the new
        // empty place, and a copy that fails leaves the vector unchanged.
        ObjectRef element = makeUndefinedObject();
        if (!(byReference ? element->assignreference(value, error) : element->assignvalue(value, error))) return false;
        plain->appendElement(std::move(element));
    } else if (!vector->pushvectorelement(value, byReference, error)) {
        // The place was taken before the assignment failed: give it back.
        int64_t grown = 0;
        std::string ignored;
        if (vector->vectorsize(grown, ignored) && grown > size) vector->removevectorelement(size, grown - 1, ignored);
        if (error.empty()) error = "function " + std::string(function) + " requires a vector";
        return false;
    }
    result = makeLongObject(size);
    return true;
}

bool pushImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    return pushElement(arguments, result, error, "push", false);
}

bool pushReferenceImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    return pushElement(arguments, result, error, "pushreference", true);
}

// Inserts a copy of the value, as `push` appends one: storing the argument
// object itself would make the element and the caller's variable one value,
// so a later change of either would show in both.
bool insertElement(const ObjectRef &vector, int64_t index, const ObjectRef &value, ObjectRef &result,
                   std::string &error, std::string_view function) {
    if (index < 0) {
        error = "function " + std::string(function) + " requires a positive index number";
        return false;
    }
    ObjectRef stored;
    if (!makeStoredCopy(value, stored, error)) return false;
    if (!makeVectorIfUndefined(vector, error)) return false;
    // Indexes far past the end are refused by the vector itself ("vector
    // index too large") before anything is allocated.
    if (!vector->insertvectorelement(index, stored, error)) return false;
    result = makeLongObject(index);
    return true;
}

bool insertImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (!checkVectorArgument(arguments[0], "insert", error)) return false;
    int64_t index = 0;
    if (!convertToInteger(arguments[1].get(), index, error)) return false;
    return insertElement(arguments[0], index, arguments[2], result, error, "insert");
}

bool unshiftImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (!checkVectorArgument(arguments[0], "unshift", error)) return false;
    return insertElement(arguments[0], 0, arguments[1], result, error, "unshift");
}

bool popImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &vector = arguments[0];
    if (!requireVectorArgument(vector, "pop", error)) return false;
    ObjectRef element;
    if (!vector->popvectorelement(element, error)) return false;
    result = element ? element : makeUndefinedObject();
    return true;
}

bool shiftImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &vector = arguments[0];
    if (!requireVectorArgument(vector, "shift", error)) return false;
    int64_t size = 0;
    if (!vector->vectorsize(size, error)) return false;
    ObjectRef element;
    if (size > 0) {
        if (!vector->getvectorelement(0, element, error)) return false;
        if (!vector->removevectorelement(0, 0, error)) return false;
    }
    result = element ? element : makeUndefinedObject();
    return true;
}

bool clearImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &value = arguments[0];
    if (!value) {
        error = "function clear requires a variable";
        return false;
    }
    result.reset();
    switch (value->gettype()) {
    case ValueTypeString: return value->assignvalue(makeStringObject(std::string()), error);
    case ValueTypeVector: return value->assignvalue(makeVectorObject(), error);
    case ValueTypeStructure: return value->assignvalue(makeStructureObject(), error);
    default: return true;  // undefined stays undefined
    }
}

// ---------------------------------------------------------------------------
// Membership and removal
// ---------------------------------------------------------------------------

bool containsKeyImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    bool found = false;
    if (!collectionContainsKey(arguments[0], arguments[1], found, error)) return false;
    result = makeBoolObject(found);
    return true;
}

bool containsValueImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    bool found = false;
    if (!collectionContainsValue(arguments[0], arguments[1], found, error)) return false;
    result = makeBoolObject(found);
    return true;
}

bool removeKeyImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &collection = arguments[0];
    const ObjectRef &key = arguments[1];
    if (!collection) {
        error = "structure or vector expected";
        return false;
    }
    if (!isStructure(collection)) return containsKeyImpl(context, arguments, result, error);
    std::string scratch;
    const std::string_view name = textOf(key, scratch);
    if (!name.empty() && !collection->removestructuremember(name, error)) return false;
    result = collection;
    return true;
}

bool removeValueImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &collection = arguments[0];
    const ObjectRef &value = arguments[1];
    if (!collection) {
        error = "structure or vector expected";
        return false;
    }
    if (!isStructure(collection)) return containsValueImpl(context, arguments, result, error);
    std::string scratch, memberScratch;
    const std::string_view wanted = textOf(value, scratch);
    if (!wanted.empty()) {
        std::vector<MemberEntry> members;
        if (!readStructureMembers(collection, members, error)) return false;
        for (const MemberEntry &member : members) {
            if (!member.value || member.value->viewText(memberScratch) != wanted) continue;
            if (!collection->removestructuremember(member.name, error)) return false;
        }
    }
    result = collection;
    return true;
}

// ---------------------------------------------------------------------------
// Grep
// ---------------------------------------------------------------------------

enum class GrepOperator { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, In, NotIn, Match, NotMatch };

bool parseGrepOperator(std::string_view name, GrepOperator &op) {
    if (name == "==" || name == "=") op = GrepOperator::Equal;
    else if (name == "!=" || name == "!" || name == "<>") op = GrepOperator::NotEqual;
    else if (name == "<") op = GrepOperator::Less;
    else if (name == "<=") op = GrepOperator::LessEqual;
    else if (name == ">") op = GrepOperator::Greater;
    else if (name == ">=") op = GrepOperator::GreaterEqual;
    else if (name == "in") op = GrepOperator::In;
    else if (name == "!in") op = GrepOperator::NotIn;
    else if (name == "=~" || name == "~") op = GrepOperator::Match;
    else if (name == "!~") op = GrepOperator::NotMatch;
    else return false;
    return true;
}

struct GrepCondition {
    GrepOperator op = GrepOperator::Equal;
    ObjectRef value;
    std::unique_ptr<CompiledRegex> pattern;  // compiled once per call for =~ and !~
};

bool addGrepCondition(GrepOperator op, const ObjectRef &value, std::vector<GrepCondition> &conditions,
                      std::string &error) {
    GrepCondition condition;
    condition.op = op;
    condition.value = value;
    if (op == GrepOperator::Match || op == GrepOperator::NotMatch) {
        if (!value) {
            error = "string expected";
            return false;
        }
        std::string scratch;
        condition.pattern = std::make_unique<CompiledRegex>();
        if (!condition.pattern->compile(value->viewText(scratch), error)) return false;
    }
    conditions.push_back(std::move(condition));
    return true;
}

// Operator and value pairs from the second argument on, or the pattern of the
// two-argument form. Every operator is checked before anything is selected.
bool readGrepConditions(Arguments arguments, std::string_view prototype, std::vector<GrepCondition> &conditions,
                        std::string &error) {
    if (arguments.size() == 2) return addGrepCondition(GrepOperator::Match, arguments[1], conditions, error);
    if ((arguments.size() - 1) % 2 != 0) {
        error = std::string(prototype) + " requires pairs of operator names and values";
        return false;
    }
    for (size_t i = 1; i + 1 < arguments.size(); i += 2) {
        std::string scratch;
        const std::string_view name = textOf(arguments[i], scratch);
        GrepOperator op;
        if (!parseGrepOperator(name, op)) {
            error = "invalid compare operator: " + std::string(name);
            return false;
        }
        if (!addGrepCondition(op, arguments[i + 1], conditions, error)) return false;
    }
    return true;
}

// The `in` operator with a collection or a value list on the right.
bool isInValueList(const ObjectRef &candidate, const ObjectRef &list, bool &inside, std::string &error) {
    inside = false;
    std::string scratch, itemScratch;
    const std::string_view text = textOf(candidate, scratch);
    if (isStructure(list)) {
        NameList names;
        if (!readStructureNames(list, names, error)) return false;
        for (const std::string &name : names)
            if (name == text) {
                inside = true;
                break;
            }
        return true;
    }
    if (isVector(list)) {
        ObjectList elements;
        if (!readVectorElements(list, elements, error)) return false;
        for (const ObjectRef &element : elements)
            if (element ? element->viewText(itemScratch) == text : text.empty()) {
                inside = true;
                break;
            }
        return true;
    }
    inside = valueListMatches(text, textOf(list, itemScratch));
    return true;
}

bool grepSelects(const ObjectRef &candidate, const std::vector<GrepCondition> &conditions, bool &selected,
                 std::string &error, RegexLimitProbe *probe) {
    selected = false;
    for (const GrepCondition &condition : conditions) {
        bool answer = false;
        switch (condition.op) {
        case GrepOperator::Equal:
            if (!compareValues(TOKEN_EQUAL, false, candidate, condition.value, answer, error)) return false;
            break;
        case GrepOperator::NotEqual:
            if (!compareValues(TOKEN_NOT_EQUAL, false, candidate, condition.value, answer, error)) return false;
            break;
        case GrepOperator::Less:
        case GrepOperator::LessEqual:
            if (!compareValues('<', condition.op == GrepOperator::LessEqual, candidate, condition.value, answer, error))
                return false;
            break;
        case GrepOperator::Greater:
        case GrepOperator::GreaterEqual:
            if (!compareValues('>', condition.op == GrepOperator::GreaterEqual, candidate, condition.value, answer,
                               error))
                return false;
            break;
        case GrepOperator::In:
        case GrepOperator::NotIn:
            if (!isInValueList(candidate, condition.value, answer, error)) return false;
            if (condition.op == GrepOperator::NotIn) answer = !answer;
            break;
        case GrepOperator::Match:
        case GrepOperator::NotMatch: {
            std::string scratch;
            if (!condition.pattern->search(textOf(candidate, scratch), answer, error, probe)) return false;
            if (condition.op == GrepOperator::NotMatch) answer = !answer;
            break;
        }
        }
        if (!answer) return true;
    }
    selected = true;
    return true;
}

constexpr std::string_view kGrepKeysPrototype = "grepkeys(structure,operator,value,...)";
constexpr std::string_view kGrepValuesPrototype = "grepvalues(collection,operator,value,...)";

bool grepKeysImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &structure = arguments[0];
    if (!isStructure(structure)) {
        error = std::string(kGrepKeysPrototype) + " requires a structure object as first parameter";
        return false;
    }
    std::vector<GrepCondition> conditions;
    if (!readGrepConditions(arguments, kGrepKeysPrototype, conditions, error)) return false;
    std::vector<MemberEntry> members;
    if (!readStructureMembers(structure, members, error)) return false;
    ObjectRef selection = makeStructureObject();
    auto *target = static_cast<ZelkScriptObjectStructureHandler *>(selection->handler());
    for (MemberEntry &member : members) {
        bool selected = false;
        if (!grepSelects(makeStringObject(member.name), conditions, selected, error, context.regexLimitProbe())) return false;
        if (selected) target->setMember(std::move(member.name), std::move(member.value));
    }
    result = std::move(selection);
    return true;
}

bool grepValuesImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    const ObjectRef &collection = arguments[0];
    if (!isStructure(collection) && !isVector(collection)) {
        error = std::string(kGrepValuesPrototype) + " requires a structure or vector object as first parameter";
        return false;
    }
    std::vector<GrepCondition> conditions;
    if (!readGrepConditions(arguments, kGrepValuesPrototype, conditions, error)) return false;
    // An entry that was never assigned compares as the undefined value a
    // read of it gives; the selection keeps the entry itself.
    const ObjectRef undefined = makeUndefinedObject();
    if (isVector(collection)) {
        ObjectList elements;
        if (!readVectorElements(collection, elements, error)) return false;
        ObjectList selected;
        for (ObjectRef &element : elements) {
            bool keep = false;
            if (!grepSelects(element ? element : undefined, conditions, keep, error, context.regexLimitProbe())) return false;
            if (keep) selected.push_back(std::move(element));
        }
        result = makeVectorFrom(std::move(selected));
        return true;
    }
    std::vector<MemberEntry> members;
    if (!readStructureMembers(collection, members, error)) return false;
    ObjectRef selection = makeStructureObject();
    auto *target = static_cast<ZelkScriptObjectStructureHandler *>(selection->handler());
    for (MemberEntry &member : members) {
        bool keep = false;
        if (!grepSelects(member.value ? member.value : undefined, conditions, keep, error, context.regexLimitProbe())) return false;
        if (keep) target->setMember(std::move(member.name), std::move(member.value));
    }
    result = std::move(selection);
    return true;
}

// ---------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------

template <SortOrderMode Mode, bool Inverse>
bool sortBuiltInImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    ObjectList elements;
    if (!readSortElements(arguments[0], elements, error)) return false;
    result = makeOrderedVector(elements, sortElementsBuiltIn(elements, Mode, Inverse));
    return true;
}

template <bool Inverse>
bool sortByFunctionImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    ObjectList elements;
    if (!readSortElements(arguments[0], elements, error)) return false;
    std::string scratch;
    const std::string name(textOf(arguments[1], scratch));
    std::vector<size_t> order;
    bool aborted = false;
    if (!sortElementsByFunction(context, elements, name, arguments.subspan(2), Inverse, order, aborted, error))
        return false;
    // An exit inside the compare function ends the script: no result.
    if (!aborted) result = makeOrderedVector(elements, order);
    return true;
}

// ---------------------------------------------------------------------------
// callfunction
// ---------------------------------------------------------------------------

// How many of the given arguments a call by name passes: the largest
// parameter count among the user functions of that name (all of them for a
// variadic one, which takes any number); all when there is none. A prototype
// text narrows the candidates to those that fit its parameter count.
size_t countPassedArguments(ZelkScriptContextBase &context, const std::string &name,
                            const ZelkScriptFunctionDeclaration *prototype, size_t given) {
    std::string_view wanted(name);
    const bool global = wanted.size() >= 2 && wanted[0] == ':' && wanted[1] == ':';
    if (global) wanted.remove_prefix(2);
    bool anyCandidate = false;
    size_t largest = 0;
    for (size_t i = 0; i < context.scopeDepth(); ++i) {
        if (global && i != 0) break;
        for (const ZelkScriptUserFunction &function : context.scopeAt(i).functions) {
            if (function.name != wanted) continue;
            const size_t count = function.parameters.size();
            if (prototype) {
                if (!prototype->variadic && count > prototype->parameters.size()) continue;
                if (!function.variadic && count < prototype->parameters.size()) continue;
            }
            if (function.variadic) return given;
            anyCandidate = true;
            if (count > largest) largest = count;
        }
    }
    return anyCandidate && largest < given ? largest : given;
}

bool callFunctionImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    std::string text = arguments[0] ? arguments[0]->gettext() : std::string();
    std::string name = text;
    ZelkScriptFunctionDeclaration prototype;
    const bool hasPrototype = text.find('(') != std::string::npos;
    if (hasPrototype) {
        if (!parseUserFunctionPrototype(text, prototype, error)) return false;
        name = prototype.name;
    }
    const size_t given = arguments.size() - 1;
    const size_t passed = countPassedArguments(context, name, hasPrototype ? &prototype : nullptr, given);
    std::vector<ObjectRef> callArguments(arguments.begin() + 1, arguments.begin() + 1 + static_cast<ptrdiff_t>(passed));
    // A missing function is reported under its plain name; a function that
    // exists and fails keeps its own message, which says what went wrong.
    if (!name.empty() && !scriptFunctionExists(context, name, passed)) {
        error = "function not existing: " + name;
        return false;
    }
    NestedScriptCallGuard nesting;
    if (!nesting.allowed(context)) {
        error = NestedScriptCallGuard::kMessage;
        return false;
    }
    const ZelkScriptPosition position;
    if (callFunction(context, name, callArguments, result, error, position)) return true;
    if (error.empty()) error = "function not existing: " + name;
    return false;
}

} // namespace

void registerCollectionFunctions(SystemFunctionRegistry &registry) {
    registry.addByHelpText("push(vector,value)", &pushImpl);
    registry.addByHelpText("pushreference(vector,value)", &pushReferenceImpl);
    registry.addByHelpText("pop(vector)", &popImpl);
    registry.addByHelpText("shift(vector)", &shiftImpl);
    registry.addByHelpText("insert(vector,index,value)", &insertImpl);
    registry.addByHelpText("unshift(vector,value)", &unshiftImpl);
    registry.addByHelpText("clear(variable)", &clearImpl);
    registry.addByHelpText("containskey(collection,key)", &containsKeyImpl);
    registry.addByHelpText("containsvalue(collection,value)", &containsValueImpl);
    registry.addByHelpText("removekey(structure,key)", &removeKeyImpl);
    registry.addByHelpText("removevalue(structure,value)", &removeValueImpl);
    registry.addByHelpText("collectionkeys(collection)", &collectionKeysImpl);
    registry.addByHelpText("collectionvalues(collection)", &collectionValuesImpl);
    registry.addByHelpText("callfunction(functionname,...)", &callFunctionImpl);
    registry.addByHelpText("grepkeys(structure,operator,value,...)", &grepKeysImpl);
    registry.addByHelpText("grepkeys(structure,regex)", &grepKeysImpl);
    registry.addByHelpText("grepvalues(collection,operator,value,...)", &grepValuesImpl);
    registry.addByHelpText("grepvalues(collection,regex)", &grepValuesImpl);

    registry.addByHelpText("sort(vector)", &sortBuiltInImpl<SortOrderMode::Mixed, false>);
    registry.addByHelpText("sortnumeric(vector)", &sortBuiltInImpl<SortOrderMode::Numeric, false>);
    registry.addByHelpText("sortalphabetic(vector)", &sortBuiltInImpl<SortOrderMode::Alphabetic, false>);
    registry.addByHelpText("sortignorecase(vector)", &sortBuiltInImpl<SortOrderMode::IgnoreCase, false>);
    registry.addByHelpText("inversesort(vector)", &sortBuiltInImpl<SortOrderMode::Mixed, true>);
    registry.addByHelpText("inversesortnumeric(vector)", &sortBuiltInImpl<SortOrderMode::Numeric, true>);
    registry.addByHelpText("inversesortalphabetic(vector)", &sortBuiltInImpl<SortOrderMode::Alphabetic, true>);
    registry.addByHelpText("inversesortignorecase(vector)", &sortBuiltInImpl<SortOrderMode::IgnoreCase, true>);
    // With a compare function the built-in order plays no part: the
    // alphabetic forms order exactly as the plain ones.
    registry.addByHelpText("sort(vector,comparefunctionname,...)", &sortByFunctionImpl<false>);
    registry.addByHelpText("sortalphabetic(vector,comparefunctionname)", &sortByFunctionImpl<false>);
    registry.addByHelpText("inversesort(vector,comparefunctionname,...)", &sortByFunctionImpl<true>);
    registry.addByHelpText("inversesortalphabetic(vector,comparefunctionname)", &sortByFunctionImpl<true>);
}

} // namespace zelkscript
