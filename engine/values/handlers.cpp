#include "engine/values/handlers.h"

#include <charconv>
#include <cmath>
#include <algorithm>

#include "engine/values/container_walk.h"
#include "engine/values/conversions.h"

namespace zelkscript {

namespace {

inline ZelkScriptObjectStringHandler *asPlainString(ZelkScriptDataHandler *handler) {
    return handler != nullptr && handler->plainKind() == ZelkScriptDataHandler::PlainKind::String
               ? static_cast<ZelkScriptObjectStringHandler *>(handler)
               : nullptr;
}

ObjectRef wrapHandler(ZelkScriptDataHandler *handler) { return ObjectRef(new ZelkScriptObject(HandlerRef(handler))); }

bool failWalk(const ContainerWalkGuard &guard, std::string &error) {
    error = guard.failureMessage();
    return false;
}

// A member that was accessed but never assigned holds an undefined object and
// does not count as a member.
inline bool isHiddenMember(const ObjectRef &member) { return member && member->gettype() == ValueTypeUndefined; }

} // namespace

// ---------------------------------------------------------------------------
// String handler
// ---------------------------------------------------------------------------

ZelkScriptObjectStringHandler::ZelkScriptObjectStringHandler()
    : ZelkScriptObjectStringHandlerAbstractBase(PlainKind::String) {}

ZelkScriptObjectStringHandler::ZelkScriptObjectStringHandler(std::string text, uint32_t kind)
    : ZelkScriptObjectStringHandlerAbstractBase(PlainKind::String), text_(std::move(text)), kind_(kind) {}

ZelkScriptObjectStringHandler::ZelkScriptObjectStringHandler(std::string text, uint32_t kind,
                                                             const NumberFacts &facts)
    : ZelkScriptObjectStringHandlerAbstractBase(PlainKind::String),
      text_(std::move(text)),
      facts_(facts),
      kind_(kind),
      factsReady_(true) {}

Ref<ZelkScriptObjectStringHandler> ZelkScriptObjectStringHandler::makeLong(int64_t value) {
    Ref<ZelkScriptObjectStringHandler> handler(new ZelkScriptObjectStringHandler());
    handler->setLong(value);
    return handler;
}

Ref<ZelkScriptObjectStringHandler> ZelkScriptObjectStringHandler::makeDouble(double value) {
    Ref<ZelkScriptObjectStringHandler> handler(new ZelkScriptObjectStringHandler());
    handler->setDouble(value);
    return handler;
}

void ZelkScriptObjectStringHandler::setLong(int64_t value) {
    kind_ = ValueKindLong;
    facts_ = makeLongFacts(value);
    factsReady_ = true;
    textReady_ = false;
}

void ZelkScriptObjectStringHandler::setDouble(double value) {
    kind_ = ValueKindDouble;
    textReady_ = true;
    factsReady_ = false;
    // The text is needed anyway to round the value to what it denotes, and it
    // always fits the string's inline buffer, so it is kept right away.
    char buffer[kNumberTextCapacity];
    double rounded = value;
    size_t length = formatShortDoubleTo(buffer, value, rounded);
    if (length == 0) {
        length = formatDoubleTo(buffer, value);
        text_.assign(buffer, length);
        if (!std::isfinite(value)) return;  // "inf"/"nan": facts worked out when asked
        if (std::string_view(buffer, length).find('e') != std::string_view::npos)
            return;  // exponent texts: facts when asked
        std::from_chars(buffer, buffer + length, rounded, std::chars_format::general);
    } else {
        text_.assign(buffer, length);
    }
    const std::string_view text(buffer, length);
    if (text.find('.') != std::string_view::npos) {
        // Fixed notation with a fraction ("0.333333", "-12.5"): canonical as
        // written, no integer text, no boolean; |value| < 10^6 here.
        facts_ = NumberFacts{};
        facts_.flags = NumberFacts::FloatText | NumberFacts::DottedFloat | NumberFacts::Canonical |
                       NumberFacts::ToInteger | NumberFacts::ToDouble | NumberFacts::NonEmpty;
        facts_.integerValue = static_cast<int64_t>(rounded);
        facts_.doubleValue = rounded;
    } else if (text != "-0") {
        facts_ = makeLongFacts(static_cast<int64_t>(rounded));  // digits only, |value| < 10^6
    } else {
        return;
    }
    factsReady_ = true;
}

void ZelkScriptObjectStringHandler::setText(std::string_view text, uint32_t kind, const NumberFacts &facts) {
    text_.assign(text.data(), text.size());
    kind_ = kind;
    facts_ = facts;
    textReady_ = true;
    factsReady_ = true;
}

void ZelkScriptObjectStringHandler::setText(std::string &&text, uint32_t kind) {
    text_ = std::move(text);
    kind_ = kind;
    textReady_ = true;
    factsReady_ = false;
}

void ZelkScriptObjectStringHandler::makeTextNow() {
    char buffer[kNumberTextCapacity];
    text_.assign(buffer, formatLongTo(buffer, facts_.integerTextValue));
    textReady_ = true;
}

const std::string &ZelkScriptObjectStringHandler::text() {
    if (!textReady_) makeTextNow();
    return text_;
}

const NumberFacts &ZelkScriptObjectStringHandler::facts() {
    if (!factsReady_) {
        facts_ = analyzeNumberText(text());
        factsReady_ = true;
    }
    return facts_;
}

void ZelkScriptObjectStringHandler::moveText(std::string &&text) {
    text_ = std::move(text);
    textReady_ = true;
    factsReady_ = false;
}

void ZelkScriptObjectStringHandler::assignFrom(ZelkScriptObjectStringHandler &source) {
    if (&source == this) return;
    kind_ = source.kind_;
    textReady_ = source.textReady_;
    if (textReady_) text_ = source.text_;
    factsReady_ = source.factsReady_;
    if (factsReady_) facts_ = source.facts_;
}

bool ZelkScriptObjectStringHandler::clone(ObjectRef &result, std::string &error) {
    auto *copy = new ZelkScriptObjectStringHandler();
    copy->assignFrom(*this);
    result = wrapHandler(copy);
    error.clear();
    return true;
}

bool ZelkScriptObjectStringHandler::copyvalue(ObjectRef &result, std::string &error) {
    return clone(result, error);  // a plain string's copy and clone are the same
}

bool ZelkScriptObjectStringHandler::setvaluekind(uint32_t kind) {
    kind_ = kind;
    return true;
}

bool ZelkScriptObjectStringHandler::getvaluekind(uint32_t &kind) {
    kind = kind_;
    return true;
}

void ZelkScriptObjectStringHandler::normalizenumbertext() {
    if (kind_ != ValueKindNone) return;  // typed strings keep their text
    if (facts().has(NumberFacts::Canonical)) return;
    NumberTextBuffer buffer;
    std::string canonical(canonicalNumberText(text_, buffer));
    moveText(std::move(canonical));
}

bool ZelkScriptObjectStringHandler::getstring(std::string &text, std::string &error) {
    text = this->text();
    error.clear();
    return true;
}

bool ZelkScriptObjectStringHandler::setstring(std::string_view text, std::string &error) {
    text_.assign(text.data(), text.size());
    textReady_ = true;
    factsReady_ = false;
    error.clear();
    return true;
}

std::string ZelkScriptObjectStringHandler::gettext() { return text(); }

std::string ZelkScriptObjectStringHandler::getquotedtext() {
    std::string out;
    appendQuotedText(out);
    return out;
}

void ZelkScriptObjectStringHandler::appendQuotedText(std::string &out) {
    if (!textReady_) {
        // A long's text is a plain decimal number: write the digits directly.
        char buffer[kNumberTextCapacity];
        out.append(buffer, formatLongTo(buffer, facts_.integerTextValue));
        return;
    }
    if (isPlainDecimalText(text_)) {
        out += text_;
        return;
    }
    out += '\'';
    appendEscapedText(out, text_);
    out += '\'';
}

bool ZelkScriptObjectStringHandler::clear(std::string &error) {
    kind_ = ValueKindNone;
    text_.clear();
    textReady_ = true;
    factsReady_ = false;
    error.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Vector handler
// ---------------------------------------------------------------------------

ZelkScriptObjectVectorHandler::ZelkScriptObjectVectorHandler()
    : ZelkScriptObjectVectorHandlerAbstractBase(PlainKind::Vector) {}

ZelkScriptObjectVectorHandler::ZelkScriptObjectVectorHandler(ObjectList elements)
    : ZelkScriptObjectVectorHandlerAbstractBase(PlainKind::Vector), elements_(std::move(elements)) {}

ZelkScriptObjectVectorHandler::~ZelkScriptObjectVectorHandler() {
    if (beginDirectRelease()) {
        elements_.clear();
        endDirectRelease();
    } else {
        for (ObjectRef &element : elements_) deferRelease(std::move(element));
    }
}

bool ZelkScriptObjectVectorHandler::clone(ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return failWalk(guard, error);
    Ref<ZelkScriptObjectVectorHandler> copy(new ZelkScriptObjectVectorHandler());
    copy->elements_.reserve(elements_.size());
    for (const ObjectRef &element : elements_) {
        ObjectRef cloned;
        if (element && !element->clone(cloned, error)) return false;
        copy->elements_.push_back(std::move(cloned));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::copyvalue(ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return failWalk(guard, error);
    Ref<ZelkScriptObjectVectorHandler> copy(new ZelkScriptObjectVectorHandler());
    copy->elements_.reserve(elements_.size());
    for (const ObjectRef &element : elements_) {
        if (!element || element->isexternal()) {
            copy->elements_.push_back(element);  // external data is shared, never copied
            continue;
        }
        ObjectRef elementCopy;
        if (!copyValue(element, elementCopy, error)) return false;
        copy->elements_.push_back(std::move(elementCopy));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::vectorsize(int64_t &size, std::string &error) {
    size = static_cast<int64_t>(elements_.size());
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::accessvectorelement(int64_t index, ObjectRef &element, std::string &error) {
    if (index < 0) {
        element.reset();
        error = "index must be a positive integer value";
        return false;
    }
    if (static_cast<uint64_t>(index) >= elements_.size()) {
        // Filling the gap with nulls: refuse sizes no script can mean rather
        // than exhausting memory on v[10^12].
        if (index >= kMaxVectorFillSize) {
            element.reset();
            error = "vector index too large";
            return false;
        }
        elements_.resize(static_cast<size_t>(index) + 1);
    }
    ObjectRef &slot = elements_[static_cast<size_t>(index)];
    if (!slot) slot = ObjectRef(new ZelkScriptObject());
    element = slot;
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::pushvectorelement(const ObjectRef &element, bool byReference, std::string &error) {
    if (static_cast<int64_t>(elements_.size()) >= kMaxVectorFillSize) {
        error = "vector index too large";
        return false;
    }
    // The new element is made complete before it joins the vector: a value
    // copy of the vector itself then holds what the vector held (not the new
    // empty place), and a failed assignment leaves the vector unchanged.
    ObjectRef place(new ZelkScriptObject());
    if (!(byReference ? place->assignreference(element, error) : place->assignvalue(element, error))) return false;
    elements_.push_back(std::move(place));
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::getvectorelement(int64_t index, ObjectRef &element, std::string &error) {
    if (index >= 0 && static_cast<uint64_t>(index) < elements_.size()) element = elements_[static_cast<size_t>(index)];
    else element.reset();
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::getvectorelements(ObjectList &elements, std::string &error) {
    elements = elements_;
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::popvectorelement(ObjectRef &element, std::string &error) {
    error.clear();
    if (elements_.empty()) {
        element = ObjectRef(new ZelkScriptObject());
        return true;
    }
    element = std::move(elements_.back());
    elements_.pop_back();
    return true;
}

bool ZelkScriptObjectVectorHandler::insertvectorelement(int64_t index, const ObjectRef &element, std::string &error) {
    if (index < 0) {
        error = "index must be a positive integer value";
        return false;
    }
    if (index >= kMaxVectorFillSize) {
        error = "vector index too large";
        return false;
    }
    const size_t position = static_cast<size_t>(index);
    if (position > elements_.size()) elements_.resize(position);
    elements_.insert(elements_.begin() + static_cast<ptrdiff_t>(position), element);
    error.clear();
    return true;
}

bool ZelkScriptObjectVectorHandler::removevectorelement(int64_t first, int64_t last, std::string &error) {
    error.clear();
    const int64_t size = static_cast<int64_t>(elements_.size());
    if (first < 0) first = 0;
    if (last >= size) last = size - 1;
    if (size == 0 || first > last || first >= size) return true;
    elements_.erase(elements_.begin() + first, elements_.begin() + last + 1);
    return true;
}

std::string ZelkScriptObjectVectorHandler::describe() { return "SIZE=" + formatLong(static_cast<int64_t>(elements_.size())); }

bool ZelkScriptObjectVectorHandler::clear(std::string &error) {
    ObjectList dropped;
    dropped.swap(elements_);
    error.clear();
    return true;  // dropped releases here, through the element handlers' own guards
}

// ---------------------------------------------------------------------------
// Structure handler
// ---------------------------------------------------------------------------

ZelkScriptObjectStructureHandler::ZelkScriptObjectStructureHandler()
    : ZelkScriptObjectStructureHandlerAbstractBase(PlainKind::Structure) {}

ZelkScriptObjectStructureHandler::~ZelkScriptObjectStructureHandler() {
    if (beginDirectRelease()) {
        members_.clear();
        endDirectRelease();
    } else {
        for (auto &entry : members_) deferRelease(std::move(entry.second));
    }
}

bool ZelkScriptObjectStructureHandler::clone(ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return failWalk(guard, error);
    Ref<ZelkScriptObjectStructureHandler> copy(new ZelkScriptObjectStructureHandler());
    for (const auto &[name, member] : members_) {
        if (isHiddenMember(member)) continue;
        ObjectRef cloned;
        if (member && !member->clone(cloned, error)) return false;
        copy->members_.emplace_hint(copy->members_.end(), name, std::move(cloned));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::copyvalue(ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return failWalk(guard, error);
    Ref<ZelkScriptObjectStructureHandler> copy(new ZelkScriptObjectStructureHandler());
    for (const auto &[name, member] : members_) {
        if (isHiddenMember(member)) continue;
        ObjectRef memberCopy;
        // A member that cannot be copied (an open file) fails the whole copy.
        if (!copyValue(member, memberCopy, error)) return false;
        copy->members_.emplace_hint(copy->members_.end(), name, std::move(memberCopy));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::accessstructuremember(std::string_view name, ObjectRef &member,
                                                             std::string &error) {
    auto found = members_.find(name);
    if (found == members_.end()) found = members_.emplace(std::string(name), ObjectRef()).first;
    // A member stored as a null reference is no place to write to either.
    if (!found->second) found->second = ObjectRef(new ZelkScriptObject());
    member = found->second;
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::getstructuremember(std::string_view name, ObjectRef &member,
                                                          std::string &error) {
    const auto found = members_.find(name);
    if (found == members_.end() || isHiddenMember(found->second)) member.reset();
    else member = found->second;
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::getstructurefields(NameList &names, std::string &error) {
    names.clear();
    names.reserve(members_.size());
    for (const auto &[name, member] : members_) {
        if (!isHiddenMember(member)) names.push_back(name);
    }
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::insertstructuremember(std::string_view name, const ObjectRef &member,
                                                             std::string &error) {
    const auto found = members_.find(name);
    if (found != members_.end()) found->second = member;
    else members_.emplace(std::string(name), member);
    error.clear();
    return true;
}

bool ZelkScriptObjectStructureHandler::removestructuremember(std::string_view name, std::string &error) {
    const auto found = members_.find(name);
    if (found != members_.end()) members_.erase(found);
    error.clear();
    return true;
}

std::string describeStructureFields(ZelkScriptDataHandler &handler) {
    NameList names;
    std::string error;
    handler.getstructurefields(names, error);
    std::string text = "FIELDS(" + formatLong(static_cast<int64_t>(names.size())) + ")=";
    // Ten names, or all eleven when there are exactly eleven; " ..." beyond.
    const size_t shown = names.size() == 11 ? 11 : std::min<size_t>(names.size(), 10);
    for (size_t i = 0; i < shown; ++i) {
        text += ' ';
        text += names[i];
    }
    if (names.size() > 11) text += " ...";
    return text;
}

std::string ZelkScriptObjectStructureHandler::describe() { return describeStructureFields(*this); }

bool ZelkScriptObjectStructureHandler::clear(std::string &error) {
    MemberMap dropped;
    dropped.swap(members_);
    error.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Value copy and the shared implementations
// ---------------------------------------------------------------------------

bool copyValue(const ObjectRef &source, ObjectRef &copy, std::string &error) {
    if (!source) {
        copy.reset();
        return true;
    }
    if (source->gettype() == ValueTypeUndefined) {
        copy = ObjectRef(new ZelkScriptObject());
        return true;
    }
    ZelkScriptDataHandler *handler = source->handler();
    if (handler == nullptr) {
        error = "handler for data missing";
        return false;
    }
    if (ZelkScriptObjectStringHandler *plain = asPlainString(handler)) {
        auto *duplicate = new ZelkScriptObjectStringHandler();
        duplicate->assignFrom(*plain);
        copy = wrapHandler(duplicate);
    } else if (!handler->copyvalue(copy, error)) {
        return false;
    }
    if (copy) copy->setlvalue(false);
    return true;
}

bool copyStringValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error) {
    std::string text;
    if (!handler.getstring(text, error)) return false;
    uint32_t kind = ValueKindNone;
    if (!handler.getvaluekind(kind)) kind = ValueKindNone;
    result = wrapHandler(new ZelkScriptObjectStringHandler(std::move(text), kind));
    error.clear();
    return true;
}

bool copyVectorValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(&handler);
    if (!guard.entered()) return failWalk(guard, error);
    int64_t size = 0;
    if (!handler.vectorsize(size, error)) return false;
    Ref<ZelkScriptObjectVectorHandler> copy(new ZelkScriptObjectVectorHandler());
    for (int64_t index = 0; index < size; ++index) {
        ObjectRef element;
        if (!handler.getvectorelement(index, element, error)) return false;
        if (!element || element->isexternal()) {
            copy->appendElement(std::move(element));
            continue;
        }
        ObjectRef elementCopy;
        if (!copyValue(element, elementCopy, error)) return false;
        copy->appendElement(std::move(elementCopy));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool copyStructureValue(ZelkScriptDataHandler &handler, ObjectRef &result, std::string &error) {
    ContainerWalkGuard guard(&handler);
    if (!guard.entered()) return failWalk(guard, error);
    NameList names;
    if (!handler.getstructurefields(names, error)) return false;
    Ref<ZelkScriptObjectStructureHandler> copy(new ZelkScriptObjectStructureHandler());
    for (std::string &name : names) {
        ObjectRef member;
        if (!handler.getstructuremember(name, member, error)) return false;
        ObjectRef memberCopy;
        if (!copyValue(member, memberCopy, error)) return false;
        copy->setMember(std::move(name), std::move(memberCopy));
    }
    result = ObjectRef(new ZelkScriptObject(HandlerRef(std::move(copy))));
    error.clear();
    return true;
}

bool insertExternalStructureMember(ZelkScriptDataHandler &handler, std::string_view name, const ObjectRef &value,
                                   std::string &error) {
    ObjectRef place;
    if (!handler.accessstructuremember(name, place, error)) return false;
    if (place && place->gettype() == ValueTypeStructure) return place->assignvalue(value, error);
    error = "structure expected";
    return false;
}

bool clearExternalStructure(ZelkScriptDataHandler &handler, std::string &error) {
    NameList names;
    if (!handler.getstructurefields(names, error)) return false;
    for (const std::string &name : names) {
        if (!handler.removestructuremember(name, error)) return false;
    }
    error.clear();
    return true;
}

} // namespace zelkscript
