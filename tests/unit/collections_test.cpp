// What scripts cannot reach: the merge sort under comparators that lie or
// throw, and the collection functions on external (host-backed) containers,
// including one whose reads change the container while it is being walked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/library/collections.h"
#include "engine/library/sort.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

using namespace zelkscript;

namespace {

std::vector<size_t> identityOrder(size_t count) {
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = i;
    return order;
}

bool isPermutation(std::vector<size_t> order) {
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] != i) return false;
    return true;
}

TEST(CollectionsMergeSort, MatchesStableSortForConsistentOrders) {
    std::mt19937 random(7);
    for (size_t count : {0u, 1u, 2u, 11u, 12u, 13u, 25u, 100u, 1000u, 4097u}) {
        std::vector<int> keys(count);
        for (int &key : keys) key = static_cast<int>(random() % 17);  // many ties
        std::vector<size_t> order = identityOrder(count);
        stableMergeSort(order, [&](size_t a, size_t b) { return keys[a] < keys[b]; });
        std::vector<size_t> expected = identityOrder(count);
        std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
        EXPECT_EQ(order, expected) << "count " << count;
    }
}

TEST(CollectionsMergeSort, LyingComparatorStaysInBoundsAndEnds) {
    std::mt19937 random(11);
    for (size_t count : {2u, 5u, 12u, 13u, 64u, 333u, 2000u}) {
        std::vector<size_t> order = identityOrder(count);
        size_t calls = 0;
        stableMergeSort(order, [&](size_t a, size_t b) {
            EXPECT_LT(a, count);
            EXPECT_LT(b, count);
            ++calls;
            return (random() & 1) != 0;
        });
        EXPECT_TRUE(isPermutation(order)) << "count " << count;
        // Insertion runs of 12 plus one merge pass per doubling.
        EXPECT_LE(calls, count * 12 + count * 64);
    }
}

TEST(CollectionsMergeSort, AlwaysTrueAndAlwaysFalseComparatorsEnd) {
    std::vector<size_t> order = identityOrder(500);
    stableMergeSort(order, [](size_t, size_t) { return true; });
    EXPECT_TRUE(isPermutation(order));
    order = identityOrder(500);
    stableMergeSort(order, [](size_t, size_t) { return false; });
    EXPECT_EQ(order, identityOrder(500));
}

TEST(CollectionsMergeSort, ThrowingComparatorPropagates) {
    std::vector<size_t> order = identityOrder(100);
    size_t calls = 0;
    EXPECT_THROW(stableMergeSort(order,
                                 [&](size_t a, size_t b) {
                                     if (++calls == 150) throw std::runtime_error("compare failed");
                                     return a > b;
                                 }),
                 std::runtime_error);
}

TEST(CollectionsBuiltInSort, MixedNumbersAndTextsAlwaysGiveAPermutation) {
    std::mt19937 random(3);
    const char *texts[] = {"1a", "a", "B", "10b", "", "1.5", "-3", "1e2", "0x10", " 7 ", "z"};
    for (int round = 0; round < 50; ++round) {
        ObjectList elements;
        for (int i = 0; i < 200; ++i) {
            if (random() % 2 == 0) elements.push_back(makeLongObject(static_cast<int64_t>(random() % 50) - 25));
            else elements.push_back(makeStringObject(texts[random() % std::size(texts)]));
        }
        for (SortOrderMode mode : {SortOrderMode::Alphabetic, SortOrderMode::Numeric, SortOrderMode::Mixed,
                                   SortOrderMode::IgnoreCase}) {
            EXPECT_TRUE(isPermutation(sortElementsBuiltIn(elements, mode, false)));
            EXPECT_TRUE(isPermutation(sortElementsBuiltIn(elements, mode, true)));
        }
    }
}

TEST(CollectionsBuiltInSort, NumbersMadeFromValuesSortWithoutTexts) {
    ObjectList elements = {makeDoubleObject(2.5), makeLongObject(-4), makeLongObject(10), makeDoubleObject(-4.5)};
    std::vector<size_t> order = sortElementsBuiltIn(elements, SortOrderMode::Numeric, false);
    EXPECT_EQ(order, (std::vector<size_t>{3, 1, 0, 2}));
}

TEST(CollectionsNesting, GuardRefusesBeyondTheScopeDepthLimit) {
    ZelkScriptContextBase context;
    context.maxScopeDepth = 3;
    NestedScriptCallGuard first, second, third;
    EXPECT_TRUE(third.allowed(context));
    NestedScriptCallGuard fourth;
    EXPECT_FALSE(fourth.allowed(context));
}

// ---------------------------------------------------------------------------
// External containers
// ---------------------------------------------------------------------------

// A host-backed vector: every access goes through the handler interface.
class HostVector final : public ZelkScriptObjectVectorHandlerAbstractBase {
public:
    explicit HostVector(ObjectList elements) : elements_(std::move(elements)) {}
    bool isvector() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &) override {
        result = ObjectRef(new ZelkScriptObject(HandlerRef(new HostVector(elements_))));
        return true;
    }
    bool copyvalue(ObjectRef &result, std::string &error) override { return copyVectorValue(*this, result, error); }
    bool vectorsize(int64_t &size, std::string &error) override {
        error.clear();
        size = static_cast<int64_t>(elements_.size());
        return true;
    }
    bool getvectorelement(int64_t index, ObjectRef &element, std::string &error) override {
        error.clear();
        element = index >= 0 && static_cast<size_t>(index) < elements_.size() ? elements_[index] : ObjectRef();
        return true;
    }
    bool accessvectorelement(int64_t index, ObjectRef &element, std::string &error) override {
        if (index < 0 || index > 1000) {
            error = "host index refused";
            return false;
        }
        if (static_cast<size_t>(index) >= elements_.size()) elements_.resize(static_cast<size_t>(index) + 1);
        if (!elements_[index]) elements_[index] = makeUndefinedObject();
        element = elements_[index];
        return true;
    }
    bool pushvectorelement(const ObjectRef &element, bool byReference, std::string &error) override {
        ObjectRef place;
        if (!accessvectorelement(static_cast<int64_t>(elements_.size()), place, error)) return false;
        return byReference ? place->assignreference(element, error) : place->assignvalue(element, error);
    }
    bool insertvectorelement(int64_t index, const ObjectRef &element, std::string &error) override {
        if (index < 0 || index > 1000) {
            error = "host index refused";
            return false;
        }
        if (static_cast<size_t>(index) > elements_.size()) elements_.resize(static_cast<size_t>(index));
        elements_.insert(elements_.begin() + index, element);
        return true;
    }
    bool removevectorelement(int64_t first, int64_t last, std::string &error) override {
        error.clear();
        const int64_t size = static_cast<int64_t>(elements_.size());
        first = std::max<int64_t>(first, 0);
        last = std::min(last, size - 1);
        if (first <= last) elements_.erase(elements_.begin() + first, elements_.begin() + last + 1);
        return true;
    }

private:
    ObjectList elements_;
};

// A host-backed structure whose member reads drop the next member, as a host
// that changes its data while the script walks it would.
class ShrinkingHostStructure final : public ZelkScriptObjectStructureHandlerAbstractBase {
public:
    ShrinkingHostStructure() {
        for (const char *name : {"a", "b", "c", "d"}) members_.push_back({name, makeStringObject(std::string("v") + name)});
    }
    bool isstructure() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &) override {
        result = ObjectRef(new ZelkScriptObject(HandlerRef(new ShrinkingHostStructure())));
        return true;
    }
    bool copyvalue(ObjectRef &result, std::string &error) override { return copyStructureValue(*this, result, error); }
    bool getstructurefields(NameList &names, std::string &error) override {
        error.clear();
        names.clear();
        for (const auto &member : members_) names.push_back(member.first);
        return true;
    }
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error) override {
        error.clear();
        member.reset();
        for (size_t i = 0; i < members_.size(); ++i) {
            if (members_[i].first != name) continue;
            member = members_[i].second;
            if (i + 1 < members_.size()) members_.erase(members_.begin() + static_cast<ptrdiff_t>(i) + 1);
            return true;
        }
        return true;
    }
    bool removestructuremember(std::string_view name, std::string &error) override {
        error.clear();
        members_.erase(std::remove_if(members_.begin(), members_.end(), [&](const auto &m) { return m.first == name; }),
                       members_.end());
        return true;
    }

private:
    std::vector<std::pair<std::string, ObjectRef>> members_;
};

class CollectionsExternal : public ::testing::Test {
protected:
    bool call(const char *name, std::vector<ObjectRef> arguments, ObjectRef &result, std::string &error) {
        const SystemFunctionEntry *entry = SystemFunctionTable::instance().findSystemFunction(name, arguments.size());
        if (!entry || !entry->implementation) {
            error = "missing";
            return false;
        }
        result.reset();
        return entry->implementation(context_, std::span<ObjectRef>(arguments), result, error);
    }
    std::string callText(const char *name, std::vector<ObjectRef> arguments) {
        ObjectRef result;
        std::string error;
        if (!call(name, std::move(arguments), result, error)) return "error: " + error;
        return result ? result->gettext() : std::string("null");
    }

    static ObjectRef hostVector(std::initializer_list<const char *> texts) {
        ObjectList elements;
        for (const char *text : texts) elements.push_back(makeStringObject(text));
        return ObjectRef(new ZelkScriptObject(HandlerRef(new HostVector(std::move(elements)))));
    }

    ZelkScriptContextBase context_;
};

TEST_F(CollectionsExternal, SortAndSearchAHostVector) {
    ObjectRef vector = hostVector({"10", "9", "b", "A"});
    EXPECT_EQ(callText("sort", {vector}), "[9,10,'A','b']");
    EXPECT_EQ(callText("sortignorecase", {vector}), "[10,9,'A','b']");
    EXPECT_EQ(callText("containsvalue", {vector, makeStringObject("b")}), "1");
    EXPECT_EQ(callText("containskey", {vector, makeLongObject(3)}), "1");
    EXPECT_EQ(callText("grepvalues", {vector, makeStringObject(">"), makeLongObject(9)}), "[10,'b','A']");
    EXPECT_EQ(callText("collectionkeys", {vector}), "[0,1,2,3]");
    EXPECT_EQ(vector->gettext(), "[10,9,'b','A']");
}

TEST_F(CollectionsExternal, EditAHostVectorThroughItsHandler) {
    ObjectRef vector = hostVector({"a"});
    EXPECT_EQ(callText("push", {vector, makeStringObject("b")}), "1");
    EXPECT_EQ(callText("unshift", {vector, makeStringObject("z")}), "0");
    EXPECT_EQ(callText("insert", {vector, makeLongObject(5), makeStringObject("y")}), "5");
    EXPECT_EQ(vector->gettext(), "['z','a','b',,,'y']");
    EXPECT_EQ(callText("pop", {vector}), "y");
    EXPECT_EQ(callText("shift", {vector}), "z");
    EXPECT_EQ(vector->gettext(), "['a','b',,]");
    // The host's own limit reaches the script as the call's failure.
    EXPECT_EQ(callText("insert", {vector, makeLongObject(5000), makeStringObject("x")}), "error: host index refused");
    EXPECT_EQ(callText("clear", {vector}), "null");
    EXPECT_EQ(vector->gettext(), "[]");
}

TEST_F(CollectionsExternal, WalkAHostStructureThatShrinksWhileRead) {
    auto structure = [] { return ObjectRef(new ZelkScriptObject(HandlerRef(new ShrinkingHostStructure()))); };
    // Every function walks a snapshot of the names: members that vanish
    // meanwhile read as null and nothing is touched out of bounds.
    EXPECT_EQ(callText("collectionvalues", {structure()}), "['va',,'vc',]");
    EXPECT_EQ(callText("containsvalue", {structure(), makeStringObject("vd")}), "0");
    EXPECT_EQ(callText("grepvalues", {structure(), makeStringObject("!="), makeStringObject("x")}),
              "{a: 'va', b: null, c: 'vc', d: null}");
    EXPECT_EQ(callText("grepkeys", {structure(), makeStringObject("[ad]")}), "{a: 'va', d: null}");
    ObjectRef edited = structure();
    EXPECT_EQ(callText("removevalue", {edited, makeStringObject("va")}), "{c: 'vc'}");
    EXPECT_EQ(callText("removekey", {edited, makeStringObject("c")}), "{}");
}

} // namespace
