#include "engine/values/result_slot.h"

#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

// A reused text buffer larger than this is given back rather than kept alive
// by the node for the rest of the tree's life.
constexpr size_t kMaxKeptTextCapacity = 1024;

} // namespace

ZelkScriptObjectStringHandler &ResultSlot::freshString(Ref<ZelkScriptObject> &result, bool lvalue) {
    auto *object = static_cast<ZelkScriptObject *>(object_.get());
    if (object != nullptr && object->hasSingleRef()) {
        ZelkScriptDataHandler *handler = object->handler();
        if (handler != nullptr && handler->plainKind() == ZelkScriptDataHandler::PlainKind::String &&
            handler->hasSingleRef()) {
            auto *text = static_cast<ZelkScriptObjectStringHandler *>(handler);
            if (text->textCapacity() <= kMaxKeptTextCapacity) {
                object->resetAsFreshString(lvalue);
                result = Ref<ZelkScriptObject>(object);
                return *text;
            }
        }
    }
    auto *fresh = new ZelkScriptObject(ValueTypeString);
    fresh->setlvalue(lvalue);
    object_ = Ref<RefCounted>(fresh);
    result = Ref<ZelkScriptObject>(fresh);
    return *static_cast<ZelkScriptObjectStringHandler *>(fresh->handler());
}

void setLongResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, int64_t value) {
    if (slot == nullptr) {
        result = makeLongObject(value);
        return;
    }
    slot->freshString(result).setLong(value);
}

void setDoubleResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, double value) {
    if (slot == nullptr) {
        result = makeDoubleObject(value);
        return;
    }
    slot->freshString(result).setDouble(value);
}

void setNumberResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, double value) {
    if (isLongValue(value))
        setLongResult(result, slot, static_cast<int64_t>(value));
    else
        setDoubleResult(result, slot, value);
}

void setTextResult(Ref<ZelkScriptObject> &result, ResultSlot *slot, std::string &&text) {
    if (slot == nullptr) {
        result = makeStringObject(std::move(text));
        return;
    }
    slot->freshString(result).setText(std::move(text), ValueKindNone);
}

bool copyValueInto(const Ref<ZelkScriptObject> &source, Ref<ZelkScriptObject> &copy, ResultSlot &slot,
                   std::string &error) {
    ZelkScriptDataHandler *handler = source ? source->handler() : nullptr;
    if (handler == nullptr || source->gettype() != ValueTypeString ||
        handler->plainKind() != ZelkScriptDataHandler::PlainKind::String)
        return copyValue(source, copy, error);
    // The slot's object is never the source: the source is held by the
    // caller, and the slot refills only an object nothing else holds.
    slot.freshString(copy, false).assignFrom(*static_cast<ZelkScriptObjectStringHandler *>(handler));
    return true;
}

} // namespace zelkscript
