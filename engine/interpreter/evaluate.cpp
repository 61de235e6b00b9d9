// What each expression node does when it runs: constants, variables, member
// and element access, operators, assignments, post-increments, collection
// literals and casts. Results of accesses are the stored objects themselves,
// so they can be assigned to; results of operators are new objects.
#include <cstring>

#include "engine/interpreter/context.h"
#include "engine/interpreter/operators.h"
#include "engine/interpreter/runtime.h"
#include "engine/library/regex.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"
#include "engine/values/result_slot.h"

namespace zelkscript {

namespace {

bool isNullish(const ObjectRef &value) { return !value || value->isnull(); }

// + - * / % & | ^ << >>: the operators of numericOperation.
bool isNumericOperator(int32_t op) {
    switch (op) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '%':
    case '&':
    case '|':
    case '^':
    case TOKEN_SHIFT_LEFT:
    case TOKEN_SHIFT_RIGHT: return true;
    default: return false;
    }
}

bool isComparisonOperator(int32_t op) {
    return op == TOKEN_EQUAL || op == TOKEN_NOT_EQUAL || op == '<' || op == '>' || op == TOKEN_LESS_EQUAL ||
           op == TOKEN_GREATER_EQUAL;
}

// Sets an accessed element's or member's name to prefix + middle + suffix
// unless it already is that, so that repeated access does not allocate.
void nameAccessedObject(ZelkScriptObject &object, std::string_view prefix, char opening, std::string_view key,
                        std::string_view closing) {
    const std::string &name = object.getname();
    const size_t size = prefix.size() + 1 + key.size() + closing.size();
    if (name.size() == size) {
        // Names are short: a byte loop beats three library compares.
        const char *at = name.data();
        auto matches = [&at](std::string_view part) {
            for (char c : part)
                if (*at++ != c) return false;
            return true;
        };
        if (matches(prefix) && *at++ == opening && matches(key) && matches(closing)) return;
    }
    std::string full;
    full.reserve(size);
    full.append(prefix);
    full.push_back(opening);
    full.append(key);
    full.append(closing);
    object.setname(std::move(full));
}

// The predefined constants that no scope or extension answered.
bool predefinedConstant(std::string_view name, ObjectRef &result) {
    struct Constant {
        const char *name;
        int64_t value;
    };
    static const Constant kAttributes[] = {
        {"FILE_ATTRIBUTE_READONLY", 1},          {"FILE_ATTRIBUTE_HIDDEN", 2},
        {"FILE_ATTRIBUTE_SYSTEM", 4},            {"FILE_ATTRIBUTE_DIRECTORY", 16},
        {"FILE_ATTRIBUTE_ARCHIVE", 32},          {"FILE_ATTRIBUTE_DEVICE", 64},
        {"FILE_ATTRIBUTE_NORMAL", 128},          {"FILE_ATTRIBUTE_TEMPORARY", 256},
        {"FILE_ATTRIBUTE_SPARSE_FILE", 512},     {"FILE_ATTRIBUTE_REPARSE_POINT", 1024},
        {"FILE_ATTRIBUTE_COMPRESSED", 2048},     {"FILE_ATTRIBUTE_OFFLINE", 4096},
        {"FILE_ATTRIBUTE_NOT_CONTENT_INDEXED", 8192}, {"FILE_ATTRIBUTE_ENCRYPTED", 16384},
        {"FILE_ATTRIBUTE_VIRTUAL", 65536},
    };
    if (name == "pi") {
        result = makeDoubleObject(3.141592653589793);
    } else if (name == "e") {
        result = makeDoubleObject(2.718281828459045);
    } else {
        result.reset();
        if (name.size() > 15 && name.compare(0, 15, "FILE_ATTRIBUTE_") == 0) {
            for (const Constant &constant : kAttributes) {
                if (name == constant.name) {
                    result = makeLongObject(constant.value);
                    break;
                }
            }
        }
        if (!result) return false;
    }
    result->setconst(true);
    return true;
}

} // namespace

bool lookupPredefinedConstant(std::string_view name, ObjectRef &result) { return predefinedConstant(name, result); }

// ---------------------------------------------------------------------------
// Constants and variables
// ---------------------------------------------------------------------------

void ZelkScriptConstValue::execute(ObjectRef &result, ZelkScriptContextBase &) {
    if (!factsReady) {
        facts = analyzeNumberText(text);
        factsReady = true;
    }
    resultSlot.freshString(result).setText(text, isString ? ValueKindString : ValueKindNone, facts);
}

void ZelkScriptConstNull::execute(ObjectRef &result, ZelkScriptContextBase &) { result = makeUndefinedObject(); }

void ZelkScriptVariableReference::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!nameReady) {
        lookupName = VariableName(variableName);
        nameReady = true;
    }
    ObjectRef *slot = nullptr;
    const ZelkScriptScope *frame = context.currentFrame();
    if (frame != nullptr && cacheContext == &context && cacheFrameSerial == frame->serial &&
        cacheFrameStamp == frame->stamp && cacheGlobalStamp == context.globalStamp()) {
        slot = cacheSlot;
    } else {
        slot = context.findVariableSlot(lookupName, LookupMode::Visible);
        if (slot && frame != nullptr) {
            cacheContext = &context;
            cacheFrameSerial = frame->serial;
            cacheFrameStamp = frame->stamp;
            cacheGlobalStamp = context.globalStamp();
            cacheSlot = slot;
        }
    }
    if (slot && *slot) {
        ZelkScriptObject &object = **slot;
        object.setlvalue(true);
        if (object.getname().empty()) object.setname(std::string(lookupName.name));
        result = *slot;
        return;
    }
    if (slot) {
        // A binding that holds no object at all reads as null.
        result.reset();
        return;
    }
    if (!lookupName.global) {
        for (auto &extension : context.extensions()) {
            if (extension->hasVariable(variableName)) {
                result = extension->getVariableObject(variableName);
                return;
            }
        }
    }
    if (context.hasValue(variableName) && context.getValue(variableName, result)) {
        if (result) result->setconst(true);
        return;
    }
    if (predefinedConstant(variableName, result)) return;
    context.raiseAt(*this, "variable not defined: " + variableName, true);
}

// ---------------------------------------------------------------------------
// Member and element access
// ---------------------------------------------------------------------------

void ZelkScriptStructureMemberReference::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!member) context.raiseAt(*this, "member name expected", true);
    if (memberChecked != member.get()) {
        memberChecked = member.get();
        memberConstant = dynamic_cast<ZelkScriptConstValue *>(member.get());
    }
    std::string memberText;
    std::string_view memberName;
    if (memberConstant != nullptr && !context.slowPathActive()) {
        // A ".name" member: its text is the name; count the evaluation as
        // the constant's own without making a value for it.
        ++memberConstant->profileCount;
        memberName = memberConstant->text;
    } else {
        ObjectRef memberValue;
        context.evaluate(member, memberValue);
        if (isNullish(memberValue)) context.raiseAt(*this, "member name expected", true);
        memberText = memberValue->gettext();
        memberName = memberText;
    }
    if (memberName.empty()) context.raiseAt(*this, "member name expected", true);
    if (!structure) context.raiseAt(*this, "structure variable expected", true);
    ObjectRef container;
    context.evaluate(structure, container);
    if (!container) context.raiseAt(*this, "structure variable expected", true);
    std::string error;
    if (container->gettype() == ValueTypeUndefined) {
        if (!container->assignvalue(makeStructureObject(), error)) context.raiseAt(*this, error);
    }
    if (container->gettype() != ValueTypeStructure) context.raiseAt(*this, "structure variable expected", true);
    ObjectRef element;
    if (!container->accessstructuremember(memberName, element, error)) context.raiseAt(*this, error);
    if (!element) context.raiseAt(*this, "structure variable expected", true);
    nameAccessedObject(*element, container->getname(), '.', memberName, {});
    element->setlvalue(true);
    result = std::move(element);
}

void ZelkScriptVectorReference::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!vector) context.raiseAt(*this, "vector variable expected", true);
    ObjectRef container;
    context.evaluate(vector, container);
    if (!container) context.raiseAt(*this, "vector variable expected", true);
    if (!index) context.raiseAt(*this, "vector index expected", true);
    ObjectRef indexValue;
    context.evaluate(index, indexValue);
    if (!indexValue) context.raiseAt(*this, "vector index expected", true);
    indexValue->normalizenumbertext();
    std::string scratch;
    std::string_view indexText = indexValue->viewText(scratch);
    std::string error;
    const int32_t type = container->gettype();
    if (type != ValueTypeStructure && type != ValueTypeVector) {
        ObjectRef fresh = isIntegerText(indexText) ? makeVectorObject() : makeStructureObject();
        if (!container->assignvalue(fresh, error)) context.raiseAt(*this, error);
    }
    ObjectRef element;
    if (container->gettype() == ValueTypeStructure) {
        if (!container->accessstructuremember(indexText, element, error)) context.raiseAt(*this, error);
    } else {
        int64_t position = 0;
        NumberView view;
        indexValue->readNumber(view);
        if (!view.toInteger(position)) context.raiseAt(*this, "integer value expected");
        if (position < 0) context.raiseAt(*this, "vector index must be a positive number");
        if (!container->accessvectorelement(position, element, error)) context.raiseAt(*this, error);
    }
    if (!element) context.raiseAt(*this, "vector variable expected", true);
    nameAccessedObject(*element, container->getname(), '[', indexText, "]");
    element->setlvalue(true);
    result = std::move(element);
}

// ---------------------------------------------------------------------------
// Operators
// ---------------------------------------------------------------------------

void ZelkScriptUnaryExpression::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!operand) context.raiseAt(*this, "factor missing in expression");
    ObjectRef value;
    context.evaluate(operand, value);
    if (!value) context.raiseAt(*this, "factor missing in expression");
    std::string error;
    if (unaryOperator == '!') {
        bool truth = false;
        if (!convertToBoolean(value.get(), truth, error)) context.raiseAt(*this, error);
        setBoolResult(result, &resultSlot, !truth);
        return;
    }
    if (!value->isnumber()) context.raiseAt(*this, "number required", true);
    value->normalizenumbertext();
    if (unaryOperator == '~') {
        int64_t number = 0;
        if (!convertToInteger(value.get(), number, error)) context.raiseAt(*this, error);
        setLongResult(result, &resultSlot, ~number);
        return;
    }
    if (unaryOperator == '-') {
        NumberView view;
        value->readNumber(view);
        // Negation of a value made from a number stays a number without a
        // round trip through its text.
        if (value->getvaluekind() == ValueKindLong && view.facts.has(NumberFacts::IntegerText)) {
            int64_t number = view.facts.integerTextValue;
            if (number != INT64_MIN) {
                ZelkScriptObjectStringHandler &negated = resultSlot.freshString(result);
                negated.setLong(-number);
                negated.setvaluekind(ValueKindNone);
                return;
            }
        }
        std::string scratch;
        std::string_view text = value->viewText(scratch);
        std::string negated;
        if (!text.empty() && text.front() == '-') {
            negated.assign(text.substr(1));
        } else {
            bool zero = false;
            if (value->getvaluekind() == ValueKindLong) {
                zero = text == "0";
            } else {
                double number = 0;
                zero = view.toDouble(number) && number == 0;
            }
            if (zero) {
                negated.assign(text);
            } else {
                negated.reserve(text.size() + 1);
                negated.push_back('-');
                negated.append(text);
            }
        }
        setTextResult(result, &resultSlot, std::move(negated));
        return;
    }
    context.raiseAt(*this, "invalid operator: " + getTokenName(unaryOperator));
}

void ZelkScriptBinaryExpression::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!left) context.raiseAt(*this, "binary expression missing a value at left side", true);
    if (!right) context.raiseAt(*this, "binary expression missing a value at right side", true);
    const int32_t op = binaryOperator;
    const bool equality = op == TOKEN_EQUAL || op == TOKEN_NOT_EQUAL;
    ObjectRef a;
    context.evaluate(left, a);
    if (isNullish(a) && op != '+' && !equality) context.raiseAt(*this, "value is undefined");
    std::string error;
    if (op == TOKEN_LOGICAL_AND || op == TOKEN_LOGICAL_OR) {
        bool truth = false;
        if (!convertToBoolean(a.get(), truth, error)) context.raiseAt(*this, error);
        if (op == TOKEN_LOGICAL_AND && !truth) {
            setBoolResult(result, &resultSlot, false);
            return;
        }
        if (op == TOKEN_LOGICAL_OR && truth) {
            setBoolResult(result, &resultSlot, true);
            return;
        }
        ObjectRef b;
        context.evaluate(right, b);
        if (isNullish(b)) context.raiseAt(*this, "value is undefined");
        setBoolResult(result, &resultSlot, b->istrue());
        return;
    }
    ObjectRef b;
    context.evaluate(right, b);
    // Numbers, the commonest operands: straight to the integer or double
    // arithmetic and comparison the general paths below would reach.
    const bool arithmetic = isNumericOperator(op);
    const bool comparison = isComparisonOperator(op);
    IntegerOperand x, y;
    NumberOperand p, q;
    if ((arithmetic || comparison) && peekIntegerOperand(a.get(), x) && peekIntegerOperand(b.get(), y)) {
        bool answer = false;
        if (arithmetic ? !integerOperation(op, x.arithmetic, y.arithmetic, result, &resultSlot, error)
                       : !compareIntegers(op, false, x.compared, y.compared, answer, error))
            context.raiseAt(*this, error);
        if (comparison) setBoolResult(result, &resultSlot, answer);
        return;
    }
    if ((arithmetic || comparison) && peekNumberOperand(a.get(), p) && peekNumberOperand(b.get(), q)) {
        // Two integers (a double with an integer text is one) take the
        // integer paths, and only + - * / have double arithmetic.
        const bool doubleArithmetic = (op == '+' || op == '-' || op == '*' || op == '/') && !(p.isLong && q.isLong);
        const bool doubleComparison = comparison && (p.isDouble || q.isDouble);
        if (doubleArithmetic) {
            if (!doubleOperation(op, p.value, q.value, result, &resultSlot, error)) context.raiseAt(*this, error);
            return;
        }
        if (doubleComparison) {
            bool answer = false;
            if (!compareDoubles(op, false, p.value, q.value, answer, error)) context.raiseAt(*this, error);
            setBoolResult(result, &resultSlot, answer);
            return;
        }
    }
    if (isNullish(b) && op != '+' && !equality) context.raiseAt(*this, "value is undefined");
    if (op == '+') {
        if (!addValues(a, b, result, error, &resultSlot)) context.raiseAt(*this, error);
        return;
    }
    if (arithmetic) {
        if (!numericOperation(op, a, b, result, error, &resultSlot)) context.raiseAt(*this, error);
        return;
    }
    if (comparison) {
        bool answer = false;
        if (!compareValues(op, false, a, b, answer, error)) context.raiseAt(*this, error);
        setBoolResult(result, &resultSlot, answer);
        return;
    }
    switch (op) {
    case TOKEN_IN: {
        std::string scratch;
        std::string_view key = a->viewText(scratch);
        bool found = false;
        if (b->gettype() == ValueTypeStructure) {
            NameList names;
            if (b->getstructurefields(names, error)) {
                for (const std::string &name : names)
                    if (name == key) {
                        found = true;
                        break;
                    }
            }
        } else if (b->gettype() == ValueTypeVector) {
            ObjectList elements;
            if (b->getvectorelements(elements, error)) {
                std::string elementScratch;
                for (const ObjectRef &element : elements) {
                    if (element && element->viewText(elementScratch) == key) {
                        found = true;
                        break;
                    }
                    if (!element && key.empty()) {
                        found = true;
                        break;
                    }
                }
            }
        } else {
            std::string listScratch;
            found = valueListMatches(key, b->viewText(listScratch));
        }
        setBoolResult(result, &resultSlot, found);
        return;
    }
    case TOKEN_MATCH:
    case TOKEN_NOT_MATCH: {
        std::string textScratch, patternScratch;
        std::string_view text = a->viewText(textScratch);
        std::string_view pattern = b->viewText(patternScratch);
        if (!compiledPattern) compiledPattern.reset(new CompiledRegex());
        bool found = false;
        if (!compiledPattern->compile(pattern, error) ||
            !compiledPattern->search(text, found, error, context.regexLimitProbe()))
            context.raiseAt(*this, error);
        setBoolResult(result, &resultSlot, op == TOKEN_MATCH ? found : !found);
        return;
    }
    default: context.raiseAt(*this, "invalid operator: " + getTokenName(op));
    }
}

// ---------------------------------------------------------------------------
// Assignment
// ---------------------------------------------------------------------------

void ZelkScriptAssignmentExpression::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (!left) context.raiseAt(*this, "variable expected on left side", true);
    ObjectRef target;
    context.evaluate(left, target);
    if (!target || !target->islvalue()) context.raiseAt(*this, "variable expected on left side", true);
    if (context.hooksActive()) {
        const std::string &name = target->getname();
        context.onVariableChanged(name.substr(0, name.find_first_of(".[")));
    }
    ObjectRef value;
    if (right) context.evaluate(right, value);
    std::string error;
    bool ok = true;
    switch (assignmentOperator) {
    case '=': ok = target->assignvalue(value, error); break;
    case TOKEN_ASSIGN_REFERENCE: {
        if (!value) context.raiseAt(*this, "cannot assign null reference");
        // Rebind the name as the script wrote it (with its "::"), never the
        // name an object happens to carry from an earlier binding.
        auto *variable = dynamic_cast<ZelkScriptVariableReference *>(left.get());
        if (variable && context.findVariableSlot(VariableName(variable->variableName), LookupMode::Visible)) {
            if (target->isconst()) {
                error = "const object must not be changed";
                ok = false;
            } else {
                ok = context.defineReference(variable->variableName, value, error, true);
                if (ok) target = value;
            }
        } else {
            ok = target->assignreference(value, error);
        }
        break;
    }
    case TOKEN_ADD_ASSIGN: {
        ObjectRef sum;
        if (!isNullish(target) && !isNullish(value) && target->isnumber() && value->isnumber()) {
            ok = numericOperation('+', target, value, sum, error);
        } else {
            std::string scratchA, scratchB;
            std::string joined(target->viewText(scratchA));
            if (value) joined.append(value->viewText(scratchB));
            sum = makeStringObject(std::move(joined));
        }
        if (ok) ok = target->assignvalue(sum, error);
        break;
    }
    case TOKEN_SUBTRACT_ASSIGN:
    case TOKEN_MULTIPLY_ASSIGN:
    case TOKEN_DIVIDE_ASSIGN:
    case TOKEN_MODULO_ASSIGN:
    case TOKEN_OR_ASSIGN:
    case TOKEN_AND_ASSIGN:
    case TOKEN_XOR_ASSIGN:
    case TOKEN_SHIFT_LEFT_ASSIGN:
    case TOKEN_SHIFT_RIGHT_ASSIGN: {
        static const int32_t kOperatorOf[] = {'+', '-', '*', '/', '%', '|', '&', '^', 0, 0, TOKEN_SHIFT_LEFT,
                                              TOKEN_SHIFT_RIGHT};
        ObjectRef computed;
        ok = numericOperation(kOperatorOf[assignmentOperator - TOKEN_ADD_ASSIGN], target, value, computed, error);
        if (ok) ok = target->assignvalue(computed, error);
        break;
    }
    default: context.raiseAt(*this, "invalid operator: " + getTokenName(assignmentOperator));
    }
    if (!ok) context.raiseAt(*this, error);
    result = std::move(target);
}

// ---------------------------------------------------------------------------
// Post-increment and post-decrement
// ---------------------------------------------------------------------------

void ZelkScriptPostExpression::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    ObjectRef target;
    if (operand) context.evaluate(operand, target);
    setPendingLValue(target);
    context.addPostExpression(PendingPostExpression{target, postOperator, NodeRef(this)});
    // The value of the expression is a copy of the target as it is now.
    std::string error;
    if (!copyValueInto(target, result, resultSlot, error)) context.raiseAt(*this, error);
}

void ZelkScriptContextBase::runDuePostExpressions(size_t mark) {
    auto &list = scopes_.back()->postExpressions;
    // Take the due entries out first: applying one may register others, and
    // an error must not leave any of them behind. The scratch list keeps its
    // capacity, so the common case allocates nothing.
    std::vector<PendingPostExpression> local;
    std::vector<PendingPostExpression> &due = postScratchInUse_ ? local : postScratch_;
    const bool ownsScratch = !postScratchInUse_;
    postScratchInUse_ = true;
    struct Release {
        ZelkScriptContextBase &context;
        std::vector<PendingPostExpression> &due;
        bool owns;
        ~Release() {
            due.clear();
            if (owns) context.postScratchInUse_ = false;
        }
    } release{*this, due, ownsScratch};
    due.assign(std::make_move_iterator(list.begin() + static_cast<std::ptrdiff_t>(mark)),
               std::make_move_iterator(list.end()));
    list.resize(mark);
    std::string error;
    for (PendingPostExpression &entry : due) {
        if (!entry.target) continue;
        // An integer that stays one (a loop counter): changed in place, as
        // the assignment of the new long below would change it.
        IntegerOperand current;
        int64_t next = 0;
        if (!entry.target->isconst() && peekIntegerOperand(entry.target.get(), current) &&
            !__builtin_add_overflow(current.arithmetic, entry.postOperator == TOKEN_INCREMENT ? 1 : -1, &next)) {
            static_cast<ZelkScriptObjectStringHandler *>(entry.target->handler())->setLong(next);
        } else {
            if (entry.target->isnull() && !entry.target->setstring("0", error)) raiseAt(*entry.origin, error);
            ObjectRef changed;
            if (!numericOperation(entry.postOperator == TOKEN_INCREMENT ? '+' : '-', entry.target, oneObject(),
                                  changed, error, &postSlot_) ||
                !entry.target->assignvalue(changed, error))
                raiseAt(*entry.origin, error);
        }
        // Only post-expression nodes register entries.
        static_cast<ZelkScriptPostExpression *>(entry.origin.get())->clearPendingLValue();
        if (hooksActive_) {
            const std::string &name = entry.target->getname();
            onVariableChanged(name.substr(0, name.find_first_of(".[")));
        }
    }
}

// ---------------------------------------------------------------------------
// Collection literals and casts
// ---------------------------------------------------------------------------

void ZelkScriptCollectionInit::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    if (kind != kVector && kind != kStructure) context.raiseAt(*this, "invalid collection type");
    const size_t mark = context.postExpressionMark();
    ObjectRef collection = kind == kVector ? makeVectorObject() : makeStructureObject();
    std::string error;
    for (ZelkScriptItemInit &item : items) {
        ObjectRef value;
        if (item.value) context.evaluate(item.value, value);
        ObjectRef copy;
        if (!copyValue(value, copy, error)) context.raiseAt(*this, error);
        // The copies are new objects that nothing else holds: store them
        // themselves instead of copying once more.
        if (kind == kVector)
            static_cast<ZelkScriptObjectVectorHandler *>(collection->handler())->appendElement(std::move(copy));
        else
            static_cast<ZelkScriptObjectStructureHandler *>(collection->handler())->setMember(item.key,
                                                                                              std::move(copy));
    }
    context.runPostExpressions(mark);
    result = std::move(collection);
}

void ZelkScriptTypeCastExpression::execute(ObjectRef &result, ZelkScriptContextBase &context) {
    ObjectRef value;
    if (operand) context.evaluate(operand, value);
    if (!value) context.raiseAt(*this, "number required", true);
    std::string error;
    if (!castValue(typeName, value, result, error)) context.raiseAt(*this, error);
}

} // namespace zelkscript
