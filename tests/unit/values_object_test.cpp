// The script object: construction, guarded operations, value and reference
// assignment, type names and the dump format; the handler defaults as a
// handler written later inherits them.
#include <gtest/gtest.h>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

ObjectRef text(const char *value) { return makeStringObject(value); }

// A host-backed string: not external, so assignment writes into it.
class HostString final : public ZelkScriptObjectStringHandlerAbstractBase {
public:
    std::string stored;
    uint32_t kind = 0;
    int writes = 0;
    bool isstring() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override { return copyStringValue(*this, result, error); }
    bool copyvalue(ObjectRef &result, std::string &error) override { return copyStringValue(*this, result, error); }
    bool getstring(std::string &text, std::string &) override {
        text = stored;
        return true;
    }
    bool setstring(std::string_view text, std::string &) override {
        stored = std::string(text);
        ++writes;
        return true;
    }
    bool setvaluekind(uint32_t k) override {
        kind = k;
        return true;
    }
    bool getvaluekind(uint32_t &k) override {
        k = kind;
        return true;
    }
};

// A bare handler with nothing overridden beyond the abstract operations.
class BareHandler final : public ZelkScriptDataHandler {
public:
    bool clone(ObjectRef &result, std::string &) override {
        result = makeUndefinedObject();
        return true;
    }
    bool copyvalue(ObjectRef &result, std::string &) override {
        result = makeUndefinedObject();
        return true;
    }
};

} // namespace

TEST(ValuesObject, ConstructorsSetTypeKindAndFlags) {
    const ObjectRef undefined(new ZelkScriptObject());
    EXPECT_EQ(undefined->gettype(), ValueTypeUndefined);
    EXPECT_EQ(undefined->handler(), nullptr);
    EXPECT_TRUE(undefined->islvalue());
    EXPECT_FALSE(undefined->isconst());

    EXPECT_EQ(ObjectRef(new ZelkScriptObject(ValueTypeVector))->gettype(), ValueTypeVector);
    EXPECT_EQ(ObjectRef(new ZelkScriptObject(static_cast<ZelkScriptTypeCode>(7)))->handler(), nullptr);

    const ObjectRef fromLong(new ZelkScriptObject(int64_t{-12}));
    EXPECT_EQ(fromLong->gettext(), "-12");
    EXPECT_EQ(fromLong->getvaluekind(), ValueKindLong);
    const ObjectRef fromDouble(new ZelkScriptObject(1.0 / 3));
    EXPECT_EQ(fromDouble->gettext(), "0.333333");
    EXPECT_EQ(fromDouble->getvaluekind(), ValueKindDouble);
    const ObjectRef fromText(new ZelkScriptObject("abc"));
    EXPECT_EQ(fromText->getvaluekind(), ValueKindNone);

    EXPECT_EQ(ObjectRef(new ZelkScriptObject(HandlerRef(new ZelkScriptObjectStructureHandler())))->gettype(),
              ValueTypeStructure);
    EXPECT_EQ(ObjectRef(new ZelkScriptObject(HandlerRef()))->gettype(), ValueTypeUndefined);
    EXPECT_EQ(ObjectRef(new ZelkScriptObject(HandlerRef(new BareHandler())))->gettype(), ValueTypeUndefined);
}

TEST(ValuesObject, TypeNamesOfValuesAndCodes) {
    EXPECT_STREQ(getScriptTypeName(ObjectRef()), "null");
    EXPECT_STREQ(getScriptTypeName(makeUndefinedObject()), "null");
    EXPECT_STREQ(getScriptTypeName(text("12")), "long");
    EXPECT_STREQ(getScriptTypeName(text("1e5")), "long");
    EXPECT_STREQ(getScriptTypeName(text("1.5")), "double");
    EXPECT_STREQ(getScriptTypeName(text("99999999999999999999")), "double");  // no integer, still a float text
    EXPECT_STREQ(getScriptTypeName(text("1.5.1")), "string");
    EXPECT_STREQ(getScriptTypeName(text("abc")), "string");
    EXPECT_STREQ(getScriptTypeName(makeStringObject("12", ValueKindString)), "string");
    EXPECT_STREQ(getScriptTypeName(makeLongObject(3)), "long");
    EXPECT_STREQ(getScriptTypeName(makeDoubleObject(3.0)), "double");
    EXPECT_STREQ(getScriptTypeName(makeVectorObject()), "vector");
    EXPECT_STREQ(getScriptTypeName(makeStructureObject()), "structure");
    EXPECT_STREQ(getScriptTypeName(ObjectRef(new ZelkScriptObject(static_cast<ZelkScriptTypeCode>(9)))), "unknown");

    EXPECT_STREQ(getTypeDumpName(0), "undef");
    EXPECT_STREQ(getTypeDumpName(1), "string");
    EXPECT_STREQ(getTypeDumpName(2), "vector");
    EXPECT_STREQ(getTypeDumpName(3), "structure");
    EXPECT_STREQ(getTypeDumpName(-1), "unknowntype");
}

TEST(ValuesObject, NumberQueriesFollowKindThenText) {
    EXPECT_TRUE(text("12")->islong());
    EXPECT_FALSE(text("12")->isdouble());
    EXPECT_TRUE(text("1.5")->isdouble());
    EXPECT_TRUE(text("1.5")->isnumber());
    EXPECT_FALSE(text("1e400")->isnumber());  // a float text, but neither integer nor dotted
    EXPECT_FALSE(text("")->isnumber());
    EXPECT_FALSE(makeStringObject("12", ValueKindString)->isnumber());

    // A double cast of 3: the text 3 of kind double is both long and double.
    ObjectRef cast;
    std::string error;
    ASSERT_TRUE(castValue("double", text("3"), cast, error));
    EXPECT_TRUE(cast->isdouble());
    EXPECT_TRUE(cast->islong());

    // Kinds 4 and 5 are numbers whatever text they hold.
    ObjectRef tagged = makeLongObject(1);
    ASSERT_TRUE(tagged->setstring("abc", error));
    EXPECT_TRUE(tagged->isnumber());
    NumberView view;
    ASSERT_TRUE(tagged->readNumber(view));
    int64_t ignored = 0;
    EXPECT_FALSE(view.integerText(ignored));

    EXPECT_FALSE(makeVectorObject()->isnumber());
    EXPECT_FALSE(makeUndefinedObject()->readNumber(view));
}

TEST(ValuesObject, ConstObjectsRefuseGuardedChanges) {
    ObjectRef value = text("keep");
    value->setconst(true);
    std::string error;
    EXPECT_FALSE(value->setstring("changed", error));
    EXPECT_EQ(error, "const object must not be changed");
    error.clear();
    EXPECT_FALSE(value->assignvalue(text("changed"), error));
    EXPECT_EQ(error, "const object must not be changed");
    error.clear();
    EXPECT_FALSE(value->assignreference(text("changed"), error));
    EXPECT_EQ(error, "const object must not be changed");
    EXPECT_EQ(value->gettext(), "keep");
    value->clear();  // not guarded
    EXPECT_TRUE(value->isnull());
}

TEST(ValuesAssignment, ReferenceSharesTheHandlerValueDoesNot) {
    std::string error;
    ObjectRef vector = makeVectorObject();
    ASSERT_TRUE(vector->pushvectorelement(text("a"), false, error));

    ObjectRef byReference(new ZelkScriptObject());
    ASSERT_TRUE(byReference->assignreference(vector, error));
    ObjectRef byValue(new ZelkScriptObject());
    ASSERT_TRUE(byValue->assignvalue(vector, error));

    ObjectRef element;
    ASSERT_TRUE(byReference->accessvectorelement(0, element, error));
    ASSERT_TRUE(element->setstring("changed", error));
    EXPECT_EQ(vector->gettext(), "['changed']");
    EXPECT_EQ(byValue->gettext(), "['a']");
    EXPECT_EQ(byReference->handler(), vector->handler());
    EXPECT_NE(byValue->handler(), vector->handler());
}

TEST(ValuesAssignment, StringTargetKeepsItsHandlerContainerSourceIsAdopted) {
    std::string error;
    ObjectRef target = text("old");
    ObjectRef alias(new ZelkScriptObject());
    ASSERT_TRUE(alias->assignreference(target, error));
    ZelkScriptDataHandler *original = target->handler();

    ASSERT_TRUE(target->assignvalue(makeLongObject(5), error));
    EXPECT_EQ(target->handler(), original);
    EXPECT_EQ(alias->gettext(), "5");  // the sharing object sees the new value
    EXPECT_EQ(alias->getvaluekind(), ValueKindLong);

    ASSERT_TRUE(target->assignvalue(makeVectorObject(), error));
    EXPECT_EQ(target->gettype(), ValueTypeVector);
    EXPECT_NE(target->handler(), original);
    EXPECT_EQ(alias->gettype(), ValueTypeString);  // the alias keeps the old handler

    ASSERT_TRUE(target->assignvalue(makeUndefinedObject(), error));
    EXPECT_TRUE(target->isnull());
}

TEST(ValuesAssignment, NullSourceAndSelfAssignment) {
    std::string error;
    ObjectRef value = text("x");
    ASSERT_TRUE(value->assignvalue(ObjectRef(), error));
    EXPECT_EQ(value->gettext(), "x");  // a null source leaves a typed target as it is
    ObjectRef empty(new ZelkScriptObject());
    ASSERT_TRUE(empty->assignvalue(ObjectRef(), error));
    EXPECT_TRUE(empty->isnull());

    ASSERT_TRUE(value->assignvalue(value, error));
    EXPECT_EQ(value->gettext(), "x");
    ASSERT_TRUE(value->assignreference(value, error));
    EXPECT_EQ(value->gettext(), "x");

    EXPECT_FALSE(value->assignreference(ObjectRef(), error));
    EXPECT_EQ(error, "cannot assign null reference");
}

TEST(ValuesAssignment, HostStringReceivesTextAndKindThroughItsInterface) {
    auto host = makeRef<HostString>();
    ObjectRef target(new ZelkScriptObject(HandlerRef(host)));
    std::string error;
    ASSERT_TRUE(target->assignvalue(makeDoubleObject(2.5), error));
    EXPECT_EQ(host->stored, "2.5");
    EXPECT_EQ(host->kind, ValueKindDouble);
    EXPECT_EQ(target->handler(), host.get());

    // Its value copy is a plain string with the same text and kind.
    ObjectRef copy;
    ASSERT_TRUE(copyValue(target, copy, error));
    EXPECT_EQ(copy->handler()->plainKind(), ZelkScriptDataHandler::PlainKind::String);
    EXPECT_EQ(copy->gettext(), "2.5");
    EXPECT_EQ(copy->getvaluekind(), ValueKindDouble);
    EXPECT_FALSE(copy->islvalue());
    // Number queries read the host text.
    EXPECT_TRUE(target->isdouble());
    double number = 0;
    ASSERT_TRUE(convertToDouble(target.get(), number, error));
    EXPECT_EQ(number, 2.5);
}

TEST(ValuesAssignment, ValueCopyOfTypedObjectWithoutHandlerFails) {
    // A type code the system never produces gets no handler: typed, no data.
    ObjectRef unknown(new ZelkScriptObject(static_cast<ZelkScriptTypeCode>(5)));
    ObjectRef copy;
    std::string error;
    EXPECT_FALSE(copyValue(unknown, copy, error));
    EXPECT_EQ(error, "handler for data missing");
    ObjectRef target = text("x");
    EXPECT_FALSE(target->assignvalue(unknown, error));
    EXPECT_EQ(target->gettext(), "x");
    EXPECT_EQ(unknown->gettext(), "invalid datahandler");
    EXPECT_EQ(unknown->getquotedtext(), "invalid datahandler");
    EXPECT_FALSE(unknown->setvaluekind(4));
    EXPECT_EQ(unknown->getvaluekind(), 0u);
}

TEST(ValuesObject, SetStringOnAContainerFailsAndLeavesTheType) {
    ObjectRef vector = makeVectorObject();
    std::string error;
    EXPECT_FALSE(vector->setstring("x", error));
    EXPECT_EQ(error, "setstring not implemented");
    EXPECT_EQ(vector->gettype(), ValueTypeVector);
    int64_t size = -1;
    EXPECT_TRUE(vector->vectorsize(size, error));
    EXPECT_EQ(size, 0);
}

TEST(ValuesObject, TypeChecksOfForwardingOperations) {
    std::string error;
    ObjectRef value = text("abc");
    int64_t size = 0;
    EXPECT_FALSE(value->vectorsize(size, error));
    EXPECT_EQ(error, "vector expected");
    ObjectRef member;
    EXPECT_FALSE(value->accessstructuremember("a", member, error));
    EXPECT_EQ(error, "structure expected");
    EXPECT_FALSE(value->getstructuremember("a", member, error));  // no type check: the handler answers
    EXPECT_EQ(error, "getstructuremember not implemented");

    error = "untouched";
    EXPECT_FALSE(value->pushvectorelement(text("x"), false, error));
    EXPECT_EQ(error, "untouched");

    ObjectRef vector = makeVectorObject();
    EXPECT_FALSE(vector->insertvectorelement(-1, text("x"), error));
    EXPECT_EQ(error, "index must be a positive integer value");

    ObjectRef untypedStructure(new ZelkScriptObject(static_cast<ZelkScriptTypeCode>(3)));
    untypedStructure->clear();
    NameList names;
    EXPECT_FALSE(untypedStructure->getstructurefields(names, error));
    EXPECT_EQ(error, "invalid datahandler");
}

TEST(ValuesObject, DumpFormat) {
    ObjectRef undefined(new ZelkScriptObject());
    EXPECT_EQ(undefined->dump(), "OBJECT TYPE=undef L-VALUE data=null");

    ObjectRef named = text("abc");
    named->setname("s");
    const std::string dump = named->dump();
    const std::string prefix = "OBJECT TYPE=string L-VALUE NAME=s data=0x";
    ASSERT_EQ(dump.compare(0, prefix.size(), prefix), 0) << dump;
    const size_t blank = dump.find(' ', prefix.size());
    ASSERT_NE(blank, std::string::npos);
    const std::string identity = dump.substr(prefix.size(), blank - prefix.size());
    EXPECT_EQ(identity.find_first_not_of("0123456789"), std::string::npos) << identity;
    EXPECT_EQ(dump.substr(blank), " DATA: abc");

    ObjectRef copy;
    std::string error;
    ASSERT_TRUE(copyValue(makeVectorObject(), copy, error));
    EXPECT_EQ(copy->dump().find("OBJECT TYPE=vector data=0x"), 0u) << copy->dump();
    EXPECT_NE(copy->dump().find(" SIZE=0"), std::string::npos);
}

TEST(ValuesHandlerDefaults, NotImplementedMessages) {
    BareHandler handler;
    handler.retainRef();  // lives on the stack: keep any Ref from deleting it
    std::string error;
    ObjectRef element;
    int64_t size = 5;
    EXPECT_FALSE(handler.vectorsize(size, error));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(error, "vectorsize not implemented");
    EXPECT_FALSE(handler.accessvectorelement(0, element, error));
    EXPECT_EQ(error, "accessvectorelement not implemented");
    EXPECT_FALSE(handler.insertstructuremember("a", element, error));
    EXPECT_EQ(error, "insertstructuremember not implemented");
    EXPECT_FALSE(handler.removevectorelement(0, 1, error));
    EXPECT_EQ(error, "removevectorelement not implemented");
    EXPECT_FALSE(handler.popvectorelement(element, error));
    EXPECT_EQ(error, "pop() requires a vector");
    NameList names;
    EXPECT_FALSE(handler.getstructurefields(names, error));
    EXPECT_EQ(error, "getstructurefields not implemented");
    EXPECT_FALSE(handler.setvaluekind(4));
    uint32_t kind = 9;
    EXPECT_TRUE(handler.getvaluekind(kind));
    EXPECT_EQ(kind, 0u);
    EXPECT_EQ(handler.gettext(), "");
    EXPECT_EQ(handler.describe(), "DATA: ");
    EXPECT_EQ(handler.getstructuretext(), "{}");
    EXPECT_EQ(handler.getvectortext(), "[]");
    EXPECT_FALSE(handler.isreserved());
}
