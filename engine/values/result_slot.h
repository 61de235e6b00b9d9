// A node's last result object, kept to be handed out again. Operators make a
// new value on every evaluation, and most of those values live only until the
// parent node has read them. A slot keeps the last one and, once nothing else
// holds it or its handler, refills it in place: the object is then exactly the
// fresh value a new one would be, and two allocations are saved. While anything
// still holds the last value (a variable bound to it, a reference, a
// container element), the slot makes a new one, so no holder ever sees a value
// change under it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/values/number_facts.h"
#include "engine/values/ref.h"

namespace zelkscript {

class ZelkScriptObject;
class ZelkScriptObjectStringHandler;

class ResultSlot {
public:
    // A fresh string object (no name, no link, not const, the L-value flag as
    // asked) whose plain string handler the caller fills with one of its
    // setters; result refers to the object.
    ZelkScriptObjectStringHandler &freshString(Ref<ZelkScriptObject> &result, bool lvalue = true);

private:
    // Held through the base class, so that the syntax tree, which embeds
    // slots, does not need the object's complete type.
    Ref<RefCounted> object_;
};

// Results made through a slot when there is one, else as new objects: each
// gives what makeLongObject, makeDoubleObject, makeNumberResult, makeBoolObject
// and makeStringObject give.
void setLongResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, int64_t value);
void setDoubleResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, double value);
void setNumberResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, double value);
inline void setBoolResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, bool value) {
    setLongResult(result, slot, value ? 1 : 0);
}
void setTextResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, std::string &&text);
// What copyValue gives, a plain string copied into the slot's object.
bool copyValueInto(const Ref<ZelkScriptObject> &source, Ref<ZelkScriptObject> &copy, ResultSlot &slot,
                   std::string &error);

} // namespace zelkscript
