// Result slots hand a node's last result object out again once nothing else
// holds it. What must never happen: a holder seeing its value change, or a
// reused object differing from a new one in any observable way.
#include <gtest/gtest.h>

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"
#include "engine/values/result_slot.h"

using namespace zelkscript;

namespace {

std::string describe(const ObjectRef &value) {
    NumberView view;
    value->readNumber(view);
    return value->gettext() + "|" + getScriptTypeName(value) + "|" + std::to_string(value->getvaluekind()) + "|" +
           (value->islvalue() ? "L" : "R") + (value->isconst() ? "C" : "-") + "|" + value->getname() + "|" +
           std::to_string(view.isNumber) + std::to_string(view.isLong) + std::to_string(view.isDouble) +
           std::to_string(view.facts.flags);
}

TEST(ResultSlot, ReleasedResultIsReusedAndLooksNew) {
    ResultSlot slot;
    ObjectRef first;
    setLongResult(first, &slot, 5);
    ZelkScriptObject *address = first.get();
    // Whatever a consumer did to the temporary, the next result is fresh.
    first->setname("x");
    first->setconst(true);
    first->setlvalue(false);
    first.reset();

    ObjectRef second;
    setDoubleResult(second, &slot, 0.1);
    EXPECT_EQ(second.get(), address);
    EXPECT_EQ(describe(second), describe(makeDoubleObject(0.1)));
    second.reset();

    ObjectRef third;
    setLongResult(third, &slot, -7);
    EXPECT_EQ(describe(third), describe(makeLongObject(-7)));
    third.reset();

    ObjectRef fourth;
    setTextResult(fourth, &slot, std::string("1e3"));
    EXPECT_EQ(describe(fourth), describe(makeStringObject("1e3")));
    fourth.reset();

    // Number results follow the number-result rule, reused or not.
    for (double value : {2.0, 2.5, 1e300, -0.0}) {
        ObjectRef reused, made;
        setNumberResult(reused, &slot, value);
        made = makeNumberResult(value);
        EXPECT_EQ(describe(reused), describe(made)) << value;
    }
}

TEST(ResultSlot, HeldResultNeverChanges) {
    ResultSlot slot;
    ObjectRef held;
    setLongResult(held, &slot, 1);
    ObjectRef next;
    setLongResult(next, &slot, 2);
    EXPECT_NE(next.get(), held.get());
    EXPECT_EQ(held->gettext(), "1");
    EXPECT_EQ(next->gettext(), "2");

    // A reference shares the handler, not the object: the handler is still
    // held, so the object must not be refilled either.
    ObjectRef sharer(new ZelkScriptObject(ValueTypeUndefined));
    std::string error;
    ASSERT_TRUE(sharer->assignreference(next, error));
    next.reset();
    ObjectRef third;
    setLongResult(third, &slot, 3);
    EXPECT_EQ(sharer->gettext(), "2");
    EXPECT_EQ(third->gettext(), "3");
}

TEST(ResultSlot, ResultTurnedIntoContainerOrLongTextIsNotReused) {
    ResultSlot slot;
    ObjectRef value;
    setLongResult(value, &slot, 1);
    std::string error;
    ASSERT_TRUE(value->assignvalue(makeVectorObject(), error));
    value.reset();
    setLongResult(value, &slot, 2);
    EXPECT_EQ(describe(value), describe(makeLongObject(2)));

    setTextResult(value, &slot, std::string(100000, 'x'));
    value.reset();
    ObjectRef small;
    setLongResult(small, &slot, 4);
    EXPECT_EQ(small->gettext(), "4");
    EXPECT_LT(static_cast<ZelkScriptObjectStringHandler *>(small->handler())->textCapacity(), 100000u);
}

} // namespace
