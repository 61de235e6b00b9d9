// Vectors, structures and their text forms; value copy and clone; the shared
// implementations that external structure-like handlers reuse.
#include <gtest/gtest.h>

#include <map>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

ObjectRef text(const char *value) { return makeStringObject(value); }

ObjectRef vectorOf(std::initializer_list<ObjectRef> elements) {
    ObjectRef vector = makeVectorObject();
    std::string error;
    for (const ObjectRef &element : elements) EXPECT_TRUE(vector->pushvectorelement(element, false, error));
    return vector;
}

void setMember(const ObjectRef &structure, std::string_view name, const ObjectRef &value) {
    ObjectRef place;
    std::string error;
    ASSERT_TRUE(structure->accessstructuremember(name, place, error));
    ASSERT_TRUE(place->assignvalue(value, error)) << error;
}

// Stands in for an open file: an external structure whose value copy fails.
class FakeOpenFile final : public ZelkScriptObjectStructureHandlerAbstractBase {
public:
    bool isstructure() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &) override {
        result = ObjectRef(new ZelkScriptObject(HandlerRef(new FakeOpenFile())));
        return true;
    }
    bool copyvalue(ObjectRef &result, std::string &error) override {
        result.reset();
        error = "casting open file is not allowed";
        return false;
    }
    bool getstructurefields(NameList &names, std::string &) override {
        names = {"filepath"};
        return true;
    }
    bool getstructuremember(std::string_view, ObjectRef &member, std::string &) override {
        member = makeStringObject("/tmp/x");
        return true;
    }
    std::string gettext() override { return "/tmp/x"; }
};

// Stands in for host live data: members kept in the host, reached only
// through the interface, inheriting the shared implementations.
class FakeLiveStructure final : public ZelkScriptObjectStructureHandlerAbstractBase {
public:
    std::map<std::string, ObjectRef, std::less<>> host;
    bool isstructure() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override { return copyStructureValue(*this, result, error); }
    bool copyvalue(ObjectRef &result, std::string &error) override { return copyStructureValue(*this, result, error); }
    bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &) override {
        auto found = host.find(name);
        if (found == host.end()) found = host.emplace(std::string(name), makeUndefinedObject()).first;
        member = found->second;
        return true;
    }
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &) override {
        const auto found = host.find(name);
        member = found == host.end() ? ObjectRef() : found->second;
        return true;
    }
    bool getstructurefields(NameList &names, std::string &) override {
        names.clear();
        // Deliberately not in byte order: the structure text must sort.
        for (auto it = host.rbegin(); it != host.rend(); ++it) names.push_back(it->first);
        return true;
    }
    bool insertstructuremember(std::string_view name, const ObjectRef &value, std::string &error) override {
        return insertExternalStructureMember(*this, name, value, error);
    }
    bool removestructuremember(std::string_view name, std::string &) override {
        const auto found = host.find(name);
        if (found != host.end()) host.erase(found);
        return true;
    }
};

// A host vector that only implements size, get, access and remove: the
// generic getvectorelements, pop and text must work through those.
class FakeLiveVector final : public ZelkScriptObjectVectorHandlerAbstractBase {
public:
    ObjectList host;
    bool failSize = false;
    bool isvector() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override { return copyVectorValue(*this, result, error); }
    bool copyvalue(ObjectRef &result, std::string &error) override { return copyVectorValue(*this, result, error); }
    bool vectorsize(int64_t &size, std::string &error) override {
        if (failSize) {
            error = "host vector is gone";
            return false;
        }
        size = static_cast<int64_t>(host.size());
        return true;
    }
    bool getvectorelement(int64_t index, ObjectRef &element, std::string &) override {
        element = host.at(static_cast<size_t>(index));
        return true;
    }
    bool accessvectorelement(int64_t index, ObjectRef &element, std::string &) override {
        element = host.at(static_cast<size_t>(index));
        return true;
    }
    bool removevectorelement(int64_t first, int64_t last, std::string &) override {
        host.erase(host.begin() + first, host.begin() + last + 1);
        return true;
    }
};

} // namespace

TEST(ValuesVector, WritingBeyondTheEndFillsWithNulls) {
    ObjectRef vector = makeVectorObject();
    ObjectRef element;
    std::string error;
    ASSERT_TRUE(vector->accessvectorelement(3, element, error));
    ASSERT_TRUE(element->setstring("x", error));
    int64_t size = 0;
    ASSERT_TRUE(vector->vectorsize(size, error));
    EXPECT_EQ(size, 4);
    EXPECT_EQ(vector->gettext(), "[,,,'x']");
    ObjectRef entry;
    ASSERT_TRUE(vector->getvectorelement(1, entry, error));
    EXPECT_FALSE(entry);
    ASSERT_TRUE(vector->getvectorelement(99, entry, error));  // reading never grows
    EXPECT_FALSE(entry);
    ASSERT_TRUE(vector->vectorsize(size, error));
    EXPECT_EQ(size, 4);
    EXPECT_FALSE(vector->accessvectorelement(-1, element, error));
    EXPECT_EQ(error, "index must be a positive integer value");
}

TEST(ValuesVector, InsertBeyondTheEndAndRemoveWithClamping) {
    ObjectRef vector = vectorOf({text("a"), text("b")});
    std::string error;
    ObjectRef inserted = text("c");
    ASSERT_TRUE(vector->insertvectorelement(5, inserted, error));
    EXPECT_EQ(vector->gettext(), "['a','b',,,,'c']");
    ObjectRef entry;
    ASSERT_TRUE(vector->getvectorelement(5, entry, error));
    EXPECT_EQ(entry.get(), inserted.get());  // the reference itself, not a copy
    ASSERT_TRUE(vector->insertvectorelement(0, text("z"), error));
    EXPECT_EQ(vector->gettext(), "['z','a','b',,,,'c']");

    ASSERT_TRUE(vector->removevectorelement(7, 9, error));
    EXPECT_EQ(vector->gettext(), "['z','a','b',,,,'c']");
    ASSERT_TRUE(vector->removevectorelement(3, 2, error));
    EXPECT_EQ(vector->gettext(), "['z','a','b',,,,'c']");
    ASSERT_TRUE(vector->removevectorelement(-5, 0, error));
    EXPECT_EQ(vector->gettext(), "['a','b',,,,'c']");
    ASSERT_TRUE(vector->removevectorelement(1, 100, error));
    EXPECT_EQ(vector->gettext(), "['a']");
}

TEST(ValuesVector, PopAndPush) {
    ObjectRef vector = makeVectorObject();
    ObjectRef popped;
    std::string error = "stale";
    ASSERT_TRUE(vector->popvectorelement(popped, error));
    ASSERT_TRUE(popped);
    EXPECT_TRUE(popped->isnull());
    EXPECT_EQ(error, "");

    ObjectRef source = text("s");
    ASSERT_TRUE(vector->pushvectorelement(source, true, error));
    ASSERT_TRUE(vector->pushvectorelement(source, false, error));
    ASSERT_TRUE(source->setstring("changed", error));
    EXPECT_EQ(vector->gettext(), "['changed','s']");  // by reference, then by value
    ASSERT_TRUE(vector->popvectorelement(popped, error));
    EXPECT_EQ(popped->gettext(), "s");
    EXPECT_EQ(vector->gettext(), "['changed']");
}

TEST(ValuesVector, PushCompletesTheElementBeforeItJoins) {
    ObjectRef vector = vectorOf({text("1"), text("2")});
    std::string error;
    ASSERT_TRUE(vector->pushvectorelement(vector, false, error));
    EXPECT_EQ(vector->gettext(), "[1,2,[1,2]]");

    ObjectRef bad = makeStructureObject();  // a value whose copy fails
    ObjectRef place;
    ASSERT_TRUE(bad->accessstructuremember("me", place, error));
    ASSERT_TRUE(place->assignreference(bad, error));
    EXPECT_FALSE(vector->pushvectorelement(bad, false, error));
    EXPECT_EQ(error, "value contains itself");
    int64_t size = 0;
    ASSERT_TRUE(vector->vectorsize(size, error));
    EXPECT_EQ(size, 3);
    ASSERT_TRUE(bad->removestructuremember("me", error));
}

TEST(ValuesVector, GenericOperationsWorkThroughTheInterface) {
    auto live = makeRef<FakeLiveVector>();
    live->host = {text("a"), makeLongObject(2)};
    ObjectRef vector(new ZelkScriptObject(HandlerRef(live)));
    std::string error;
    ObjectList elements;
    ASSERT_TRUE(vector->getvectorelements(elements, error));
    EXPECT_EQ(elements.size(), 2u);
    EXPECT_EQ(vector->gettext(), "['a',2]");
    ObjectRef popped;
    ASSERT_TRUE(vector->popvectorelement(popped, error));
    EXPECT_EQ(popped->gettext(), "2");
    EXPECT_EQ(live->host.size(), 1u);
    ASSERT_TRUE(vector->popvectorelement(popped, error));
    EXPECT_FALSE(vector->popvectorelement(popped, error));
    EXPECT_EQ(error, "cannot pop() from empty vector");

    live->failSize = true;
    EXPECT_EQ(vector->gettext(), "host vector is gone");  // text forms never fail
    ObjectRef copy;
    EXPECT_FALSE(copyValue(vector, copy, error));
    EXPECT_EQ(error, "host vector is gone");
}

TEST(ValuesStructure, AccessedButNeverAssignedMembersAreInvisible) {
    ObjectRef structure = makeStructureObject();
    std::string error;
    ObjectRef place;
    ASSERT_TRUE(structure->accessstructuremember("ghost", place, error));
    setMember(structure, "b", text("2"));
    NameList names;
    ASSERT_TRUE(structure->getstructurefields(names, error));
    EXPECT_EQ(names, NameList{"b"});
    EXPECT_EQ(structure->gettext(), "{b: 2}");
    ObjectRef member;
    ASSERT_TRUE(structure->getstructuremember("ghost", member, error));
    EXPECT_FALSE(member);
    ASSERT_TRUE(structure->getstructuremember("missing", member, error));
    EXPECT_FALSE(member);
    ASSERT_TRUE(structure->removestructuremember("missing", error));
}

TEST(ValuesStructure, DesignedTextExamples) {
    ObjectRef structure = makeStructureObject();
    setMember(structure, "b", text("2"));
    setMember(structure, "a", text("x y"));
    ObjectRef place;
    std::string error;
    ASSERT_TRUE(structure->accessstructuremember("c", place, error));
    EXPECT_EQ(structure->gettext(), "{a: 'x y', b: 2}");

    EXPECT_EQ(vectorOf({text("1"), text("one"), vectorOf({text("2")})})->gettext(), "[1,'one',[2]]");
    EXPECT_EQ(vectorOf({text("it's")})->gettext(), "['it\\'s']");
    EXPECT_EQ(makeStructureObject()->gettext(), "{}");
    EXPECT_EQ(makeVectorObject()->gettext(), "[]");
}

TEST(ValuesStructure, NamesAndValuesQuoteOnlyWhenNeeded) {
    ObjectRef structure = makeStructureObject();
    setMember(structure, "plain_Name9", text("-1"));
    setMember(structure, "with blank", text("1.5"));
    setMember(structure, "", text("1e5"));
    setMember(structure, "z", text("1."));
    std::string error;
    ASSERT_TRUE(structure->insertstructuremember("nul", ObjectRef(), error));
    EXPECT_EQ(structure->gettext(), "{'': '1e5', nul: null, plain_Name9: -1, 'with blank': 1.5, z: '1.'}");
}

TEST(ValuesStructure, MembersOrderByteWiseWithPrefixesFirst) {
    ObjectRef structure = makeStructureObject();
    for (const char *name : {"b", "ab", "a", "\xE4", "B", "a_"}) setMember(structure, name, text("1"));
    NameList names;
    std::string error;
    ASSERT_TRUE(structure->getstructurefields(names, error));
    EXPECT_EQ(names, (NameList{"B", "a", "a_", "ab", "b", "\xE4"}));
}

TEST(ValuesTextForms, EscapingTable) {
    const std::string all = [] {
        std::string bytes;
        for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
        return bytes;
    }();
    const std::string escaped = escapeText(all);
    EXPECT_EQ(escaped.substr(0, 12), "\\0\\x01\\x02\\x");
    EXPECT_NE(escaped.find("\\x08\\t\\n\\x0B\\x0C\\r\\x0E"), std::string::npos);
    EXPECT_NE(escaped.find(" !\\\"#$%&\\'()"), std::string::npos);
    EXPECT_NE(escaped.find("[\\\\]"), std::string::npos);
    EXPECT_NE(escaped.find("}~\\x7F\\x80"), std::string::npos);
    EXPECT_NE(escaped.find("\\xE3\xE4\\xE5"), std::string::npos);
    EXPECT_NE(escaped.find("\\xC3\xC4\\xC5"), std::string::npos);
    EXPECT_NE(escaped.find("\\xDE\xDF\\xE0"), std::string::npos);
    EXPECT_EQ(escaped.substr(escaped.size() - 8), "\\xFE\\xFF");
    EXPECT_EQ(escapeText(std::string("a\0b", 3)), "a\\0b");
}

TEST(ValuesTextForms, QuotedTextOfNumbers) {
    EXPECT_EQ(text("-1")->getquotedtext(), "-1");
    EXPECT_EQ(text("1.5")->getquotedtext(), "1.5");
    EXPECT_EQ(text("1e5")->getquotedtext(), "'1e5'");
    EXPECT_EQ(text(" 1")->getquotedtext(), "' 1'");
    EXPECT_EQ(text("-")->getquotedtext(), "'-'");
    EXPECT_EQ(text("")->getquotedtext(), "''");
    EXPECT_EQ(makeLongObject(-5)->getquotedtext(), "-5");
    EXPECT_EQ(makeDoubleObject(1e7)->getquotedtext(), "'1e+007'");
    EXPECT_EQ(makeUndefinedObject()->getquotedtext(), "");
}

TEST(ValuesTextForms, DescribeFormats) {
    ObjectRef structure = makeStructureObject();
    const char *names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    for (int i = 0; i < 11; ++i) setMember(structure, names[i], text("1"));
    EXPECT_EQ(structure->handler()->describe(), "FIELDS(11)= a b c d e f g h i j k");
    setMember(structure, names[11], text("1"));
    EXPECT_EQ(structure->handler()->describe(), "FIELDS(12)= a b c d e f g h i j ...");
    EXPECT_EQ(makeStructureObject()->handler()->describe(), "FIELDS(0)=");
    EXPECT_EQ(vectorOf({text("1"), text("2")})->handler()->describe(), "SIZE=2");
    EXPECT_EQ(text("abc")->handler()->describe(), "DATA: abc");
}

TEST(ValuesCopy, ExternalElementsAreSharedByVectorsButFailStructures) {
    ObjectRef file(new ZelkScriptObject(HandlerRef(new FakeOpenFile())));
    ObjectRef vector = makeVectorObject();
    std::string error;
    ASSERT_TRUE(vector->pushvectorelement(file, true, error));
    ObjectRef vectorCopy;
    ASSERT_TRUE(copyValue(vector, vectorCopy, error));
    ObjectRef element;
    ASSERT_TRUE(vectorCopy->getvectorelement(0, element, error));
    EXPECT_EQ(element->handler(), file->handler());

    ObjectRef structure = makeStructureObject();
    ASSERT_TRUE(structure->insertstructuremember("f", file, error));
    ObjectRef structureCopy;
    EXPECT_FALSE(copyValue(structure, structureCopy, error));
    EXPECT_EQ(error, "casting open file is not allowed");
    ObjectRef target = text("unchanged");
    EXPECT_FALSE(target->assignvalue(structure, error));
    EXPECT_EQ(target->gettext(), "unchanged");

    // Assigning the external value itself shares it.
    ObjectRef variable(new ZelkScriptObject());
    ASSERT_TRUE(variable->assignvalue(file, error));
    EXPECT_EQ(variable->handler(), file->handler());
}

TEST(ValuesCopy, CopiesAreDeepAndDetached) {
    ObjectRef inner = vectorOf({text("1")});
    ObjectRef outer = makeStructureObject();
    setMember(outer, "v", inner);
    ObjectRef copy;
    std::string error;
    ASSERT_TRUE(copyValue(outer, copy, error));
    EXPECT_FALSE(copy->islvalue());
    ObjectRef member;
    ASSERT_TRUE(outer->accessstructuremember("v", member, error));
    ASSERT_TRUE(member->pushvectorelement(text("2"), false, error));
    EXPECT_EQ(outer->gettext(), "{v: [1,2]}");
    EXPECT_EQ(copy->gettext(), "{v: [1]}");
}

TEST(ValuesClone, ClonesAreDeepAndSkipUndefinedMembers) {
    ObjectRef structure = makeStructureObject();
    setMember(structure, "a", vectorOf({text("x"), makeDoubleObject(0.5)}));
    ObjectRef place;
    std::string error;
    ASSERT_TRUE(structure->accessstructuremember("ghost", place, error));
    ObjectRef clone;
    ASSERT_TRUE(structure->clone(clone, error));
    EXPECT_TRUE(clone->islvalue());
    EXPECT_EQ(clone->gettext(), "{a: ['x',0.5]}");
    EXPECT_EQ(static_cast<ZelkScriptObjectStructureHandler *>(clone->handler())->members().count("ghost"), 0u);
    ObjectRef original;
    ASSERT_TRUE(structure->getstructuremember("a", original, error));
    ObjectRef cloned;
    ASSERT_TRUE(clone->getstructuremember("a", cloned, error));
    EXPECT_NE(original->handler(), cloned->handler());
    ObjectRef undefinedClone;
    ASSERT_TRUE(makeUndefinedObject()->clone(undefinedClone, error));
    EXPECT_TRUE(undefinedClone->isnull());
}

TEST(ValuesExternalStructure, SharedInsertClearAndCopy) {
    auto live = makeRef<FakeLiveStructure>();
    ObjectRef structure(new ZelkScriptObject(HandlerRef(live)));
    std::string error;

    // Insert goes to the place accessstructuremember gives; it must be a
    // structure.
    EXPECT_FALSE(structure->insertstructuremember("x", text("1"), error));
    EXPECT_EQ(error, "structure expected");
    live->host["s"] = makeStructureObject();
    ObjectRef value = makeStructureObject();
    setMember(value, "k", text("v"));
    ASSERT_TRUE(structure->insertstructuremember("s", value, error));
    EXPECT_EQ(live->host["s"]->gettext(), "{k: 'v'}");
    live->host.erase("x");

    live->host["b"] = makeLongObject(2);
    EXPECT_EQ(structure->gettext(), "{b: 2, s: {k: 'v'}}");  // sorted although listed backwards

    ObjectRef copy;
    ASSERT_TRUE(copyValue(structure, copy, error));
    EXPECT_EQ(copy->handler()->plainKind(), ZelkScriptDataHandler::PlainKind::Structure);
    EXPECT_FALSE(copy->isexternal());
    EXPECT_EQ(copy->gettext(), "{b: 2, s: {k: 'v'}}");

    error = "stale";
    ASSERT_TRUE(live->clear(error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(live->host.empty());
    EXPECT_EQ(copy->gettext(), "{b: 2, s: {k: 'v'}}");
}

TEST(ValuesExternalStructure, ContainingItselfIsBoundedThroughTheInterfaceToo) {
    auto live = makeRef<FakeLiveStructure>();
    ObjectRef structure(new ZelkScriptObject(HandlerRef(live)));
    ObjectRef self(new ZelkScriptObject());
    std::string error;
    ASSERT_TRUE(self->assignreference(structure, error));
    live->host["me"] = self;
    live->host["n"] = makeLongObject(1);
    EXPECT_EQ(structure->gettext(), "{me: ..., n: 1}");
    ObjectRef copy;
    EXPECT_FALSE(copyValue(structure, copy, error));
    EXPECT_EQ(error, "value contains itself");
    live->host.clear();  // break the cycle
}
