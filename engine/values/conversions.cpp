// Value-level conversions, number results and casts: the half of
// conversions.h that works on objects. Numeric questions go through
// ZelkScriptObject::readNumber, so they are answered from the string handler's
// cached facts and agree with isnumber/islong/isdouble by construction.
#include <charconv>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

ObjectRef wrapHandler(ZelkScriptDataHandler *handler) { return ObjectRef(new ZelkScriptObject(HandlerRef(handler))); }

bool fail(std::string &error, const char *message) {
    error = message;
    return false;
}

// The text facts of a string-typed value; false for null, undefined,
// containers and typed objects without handler.
bool readStringFacts(const ZelkScriptObject *value, NumberFacts &facts) {
    NumberView view;
    if (value == nullptr || !value->readNumber(view)) return false;
    facts = view.facts;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Making values
// ---------------------------------------------------------------------------

ObjectRef makeLongObject(int64_t value) {
    return ObjectRef(new ZelkScriptObject(HandlerRef(ZelkScriptObjectStringHandler::makeLong(value))));
}

ObjectRef makeDoubleObject(double value) {
    return ObjectRef(new ZelkScriptObject(HandlerRef(ZelkScriptObjectStringHandler::makeDouble(value))));
}

ObjectRef makeNumberResult(double value) {
    // Only integral values inside the long range become longs; NaN, the
    // infinities and huge values stay doubles ("nan", "inf", "1e+030").
    if (isLongValue(value)) return makeLongObject(static_cast<int64_t>(value));
    return makeDoubleObject(value);
}

ObjectRef makeStringObject(std::string text, uint32_t kind) {
    return wrapHandler(new ZelkScriptObjectStringHandler(std::move(text), kind));
}

ObjectRef makeStringObject(std::string text, uint32_t kind, const NumberFacts &facts) {
    return wrapHandler(new ZelkScriptObjectStringHandler(std::move(text), kind, facts));
}

ObjectRef makeBoolObject(bool value) { return makeLongObject(value ? 1 : 0); }

ObjectRef makeUndefinedObject() { return ObjectRef(new ZelkScriptObject()); }

ObjectRef makeVectorObject() { return wrapHandler(new ZelkScriptObjectVectorHandler()); }

ObjectRef makeStructureObject() { return wrapHandler(new ZelkScriptObjectStructureHandler()); }

// ---------------------------------------------------------------------------
// Value conversions
// ---------------------------------------------------------------------------

bool convertToDouble(const ZelkScriptObject *value, double &result, std::string &error) {
    NumberFacts facts;
    if (!readStringFacts(value, facts) || !facts.has(NumberFacts::ToDouble)) {
        result = 0;
        return fail(error, "double value expected");
    }
    result = facts.doubleValue;
    return true;
}

bool convertToInteger(const ZelkScriptObject *value, int64_t &result, std::string &error) {
    NumberFacts facts;
    if (!readStringFacts(value, facts) || !facts.has(NumberFacts::ToInteger)) {
        result = 0;
        return fail(error, "integer value expected");
    }
    result = facts.integerValue;
    return true;
}

bool convertToIntegerInRange(const ZelkScriptObject *value, int64_t low, int64_t high, int64_t &result,
                             std::string &error) {
    int64_t number = 0;
    if (!convertToInteger(value, number, error)) {
        result = 0;
        return false;
    }
    if (number < low || number > high) {
        result = 0;
        error = "value out of range " + formatLong(low) + "-" + formatLong(high);
        return false;
    }
    result = number;
    return true;
}

bool convertToBoolean(const ZelkScriptObject *value, bool &result, std::string &error) {
    NumberFacts facts;
    if (!readStringFacts(value, facts) || !facts.has(NumberFacts::ToBoolean)) {
        result = false;
        return fail(error, "boolean value expected");
    }
    result = facts.has(NumberFacts::BooleanValue);
    return true;
}

bool convertToString(const ZelkScriptObject *value, std::string &result, std::string &error) {
    if (value == nullptr) return fail(error, "string expected");
    result = value->gettext();
    return true;
}

bool convertToStructure(const ObjectRef &value, ObjectRef &result, std::string &error) {
    if (!value || value->gettype() == ValueTypeUndefined) {
        result = makeStructureObject();
        return true;
    }
    if (value->gettype() == ValueTypeVector) {
        ObjectList elements;
        if (!value->getvectorelements(elements, error)) return false;
        Ref<ZelkScriptObjectStructureHandler> structure(new ZelkScriptObjectStructureHandler());
        for (size_t index = 0; index < elements.size(); ++index) {
            // The elements themselves, shared: the members are the same objects.
            structure->setMember(formatLong(static_cast<int64_t>(index)), std::move(elements[index]));
        }
        result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(structure))));
        return true;
    }
    if (value->gettype() == ValueTypeStructure) return copyValue(value, result, error);
    return fail(error, "cannot cast value to structure");
}

bool convertToVector(const ObjectRef &value, ObjectRef &result, std::string &error) {
    if (!value || value->gettype() == ValueTypeUndefined) {
        result = makeVectorObject();
        return true;
    }
    if (value->gettype() == ValueTypeVector) return copyValue(value, result, error);
    if (value->gettype() != ValueTypeStructure) return fail(error, "cannot cast value to vector");

    NameList names;
    if (!value->getstructurefields(names, error)) return false;
    const int64_t count = static_cast<int64_t>(names.size());
    ObjectList members(names.size());
    std::vector<int64_t> indexes(names.size());
    bool byIndex = true;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!value->getstructuremember(names[i], members[i], error)) return false;
        if (byIndex && (!textToInteger(names[i], indexes[i]) || indexes[i] < 0 || indexes[i] >= count)) byIndex = false;
    }
    Ref<ZelkScriptObjectVectorHandler> vector(new ZelkScriptObjectVectorHandler());
    if (byIndex) {
        // Members named 0..n-1 land at their index (shared); an index that no
        // name hits (two names for one index) stays null.
        ObjectList elements(names.size());
        for (size_t i = 0; i < names.size(); ++i) elements[static_cast<size_t>(indexes[i])] = std::move(members[i]);
        vector = Ref<ZelkScriptObjectVectorHandler>(new ZelkScriptObjectVectorHandler(std::move(elements)));
    } else {
        vector->reserveElements(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            Ref<ZelkScriptObjectStructureHandler> single(new ZelkScriptObjectStructureHandler());
            single->setMember(names[i], std::move(members[i]));
            vector->appendElement(ObjectRef(new ZelkScriptObject(HandlerRef(std::move(single)))));
        }
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(vector))));
    return true;
}

bool requireVectorVariable(const ZelkScriptObject *value, std::string &error) {
    if (value != nullptr && value->gettype() == ValueTypeVector) return true;
    return fail(error, "vector variable expected");
}

bool requireStructureVariable(const ZelkScriptObject *value, std::string &error) {
    if (value != nullptr && value->gettype() == ValueTypeStructure) return true;
    return fail(error, "structure variable expected");
}

bool castValue(const std::string &castName, const ObjectRef &operand, ObjectRef &result, std::string &error) {
    if (!operand) return fail(error, "number required");
    if (castName == "string") {
        result = makeStringObject(operand->gettext(), ValueKindString);
        return true;
    }
    if (castName == "double" || castName == "float") {
        double value = 0;
        if (!convertToDouble(operand.get(), value, error)) return false;
        // The number-result rule picks the text; the kind is double whatever
        // it picked, so a cast of 3 reads "3" with the type name "double".
        result = makeNumberResult(value);
        result->setvaluekind(ValueKindDouble);
        return true;
    }
    if (castName == "int" || castName == "long") {
        int64_t value = 0;
        if (!convertToInteger(operand.get(), value, error)) return false;
        result = makeLongObject(value);
        return true;
    }
    if (castName == "structure") return convertToStructure(operand, result, error);
    if (castName == "vector") return convertToVector(operand, result, error);
    error = "unknown type cast: " + castName;
    return false;
}

} // namespace zelkscript
