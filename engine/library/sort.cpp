// The sort functions: a sort key per element read once (number facts from the
// values layer's cache, texts only when an order needs them), then the shared
// merge sort over positions. The argument vector is never touched: the result
// is a new vector, made only when the sort succeeded.
#include "engine/library/sort.h"

#include <deque>
#include <string_view>

#include "engine/interpreter/calls.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/library/collections.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

constexpr const char *kNotAVectorMessage = "function sortvector requires an vector variable";

struct SortKey {
    bool number = false;   // an integer text or a dotted floating-point text
    bool integer = false;  // an integer text: `integerValue` is exact
    int64_t integerValue = 0;
    double doubleValue = 0.0;
    std::string_view text;    // set only when the order needs texts
    std::string_view folded;  // the text lower-cased, when the order needs it
};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool hasUpperAscii(std::string_view text) {
    for (char c : text)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

template <class T>
int compareNumbers(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Reads every key the mode can need. Texts of plain strings are viewed in
// place (no script code runs during a built-in sort, so they stay put);
// other texts and the lower-cased forms live in `storage`, whose elements
// never move.
std::vector<SortKey> readSortKeys(const ObjectList &elements, SortOrderMode mode, std::deque<std::string> &storage) {
    std::vector<SortKey> keys(elements.size());
    bool allNumbers = true;
    if (mode == SortOrderMode::Numeric || mode == SortOrderMode::Mixed) {
        for (size_t i = 0; i < elements.size(); ++i) {
            NumberView view;
            SortKey &key = keys[i];
            if (!elements[i]->readNumber(view) || !view.facts.isNumberText()) {
                allNumbers = false;
                continue;
            }
            key.integer = view.integerText(key.integerValue);
            double value = 0.0;
            if (view.toDouble(value)) {
                key.doubleValue = value;
            } else if (key.integer) {
                key.doubleValue = static_cast<double>(key.integerValue);
            } else {
                allNumbers = false;
                continue;
            }
            key.number = true;
        }
        // Only numbers: every comparison is numeric, no text is needed.
        if (allNumbers) return keys;
    }
    const bool needsFolded = mode == SortOrderMode::Numeric || mode == SortOrderMode::IgnoreCase;
    std::string scratch;
    for (size_t i = 0; i < elements.size(); ++i) {
        SortKey &key = keys[i];
        const ZelkScriptObject &element = *elements[i];
        std::string_view text = element.viewText(scratch);
        if (text.data() == scratch.data()) {
            // A text made for this read: keep it where it cannot move.
            storage.push_back(std::move(scratch));
            scratch.clear();
            text = storage.back();
        }
        key.text = text;
        if (needsFolded) {
            if (hasUpperAscii(text)) {
                std::string lowered(text);
                for (char &c : lowered) c = lowerAscii(c);
                storage.push_back(std::move(lowered));
                key.folded = storage.back();
            } else {
                key.folded = text;
            }
        }
    }
    return keys;
}

int compareSortKeys(const SortKey &a, const SortKey &b, SortOrderMode mode) {
    switch (mode) {
    case SortOrderMode::Alphabetic: return compareBytes(a.text, b.text);
    case SortOrderMode::IgnoreCase: return compareBytes(a.folded, b.folded);
    case SortOrderMode::Numeric:
    case SortOrderMode::Mixed:
        if (a.number && b.number) {
            // Integer texts compare exactly; a fraction on either side makes
            // it a comparison of doubles (1.9 must not tie with 1.1).
            if (a.integer && b.integer) return compareNumbers(a.integerValue, b.integerValue);
            return compareNumbers(a.doubleValue, b.doubleValue);
        }
        return mode == SortOrderMode::Mixed ? compareBytes(a.text, b.text) : compareBytes(a.folded, b.folded);
    }
    return 0;
}

// Unwinds the merge sort when a compare call fails without a script error.
struct CompareCallFailure {
    std::string message;
};
struct CompareCallAborted {};

} // namespace

bool readSortElements(const ObjectRef &vector, ObjectList &elements, std::string &error) {
    elements.clear();
    if (!vector) {
        error = kNotAVectorMessage;
        return false;
    }
    if (vector->gettype() == ValueTypeUndefined) return true;
    if (vector->gettype() != ValueTypeVector) {
        error = kNotAVectorMessage;
        return false;
    }
    ZelkScriptDataHandler *handler = vector->handler();
    if (handler && handler->plainKind() == ZelkScriptDataHandler::PlainKind::Vector) {
        elements = static_cast<ZelkScriptObjectVectorHandler *>(handler)->elements();
    } else if (!vector->getvectorelements(elements, error)) {
        return false;
    }
    for (ObjectRef &element : elements)
        if (!element) element = makeUndefinedObject();
    return true;
}

std::vector<size_t> sortElementsBuiltIn(const ObjectList &elements, SortOrderMode mode, bool inverse) {
    std::vector<size_t> order(elements.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::deque<std::string> storage;
    const std::vector<SortKey> keys = readSortKeys(elements, mode, storage);
    if (mode == SortOrderMode::Numeric || mode == SortOrderMode::Mixed) {
        // Only integers, the common case of numeric sorts: compare a compact
        // array of values, which keeps the merge passes inside the cache.
        std::vector<int64_t> integers(keys.size());
        bool allIntegers = true;
        for (size_t i = 0; i < keys.size() && allIntegers; ++i) {
            allIntegers = keys[i].number && keys[i].integer;
            integers[i] = keys[i].integerValue;
        }
        if (allIntegers) {
            if (inverse) stableMergeSort(order, [&](size_t a, size_t b) { return integers[a] > integers[b]; });
            else stableMergeSort(order, [&](size_t a, size_t b) { return integers[a] < integers[b]; });
            return order;
        }
    }
    if (inverse) {
        stableMergeSort(order, [&](size_t a, size_t b) { return compareSortKeys(keys[a], keys[b], mode) > 0; });
    } else {
        stableMergeSort(order, [&](size_t a, size_t b) { return compareSortKeys(keys[a], keys[b], mode) < 0; });
    }
    return order;
}

bool sortElementsByFunction(ZelkScriptContextBase &context, const ObjectList &elements, const std::string &name,
                            std::span<const ObjectRef> extraArguments, bool inverse, std::vector<size_t> &order,
                            bool &aborted, std::string &error) {
    aborted = false;
    const size_t argumentCount = 2 + extraArguments.size();
    const std::string signature = "compare function " + makeCallSignature(name, argumentCount) + " ";
    if (!scriptFunctionExists(context, name, argumentCount)) {
        error = signature + "not found";
        return false;
    }
    NestedScriptCallGuard nesting;
    if (!nesting.allowed(context)) {
        error = NestedScriptCallGuard::kMessage;
        return false;
    }
    // The list is a snapshot holding every element: a compare function that
    // changes the vector being sorted cannot pull an element out from under
    // the sort.
    order.resize(elements.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<ObjectRef> arguments;
    const ZelkScriptPosition position;
    auto precedes = [&](size_t first, size_t second) {
        arguments.clear();
        arguments.push_back(elements[first]);
        arguments.push_back(elements[second]);
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        ObjectRef answer;
        std::string callError;
        if (!callFunction(context, name, arguments, answer, callError, position)) {
            if (callError.empty()) callError = "function not existing: " + makeCallSignature(name, argumentCount);
            throw CompareCallFailure{std::move(callError)};
        }
        if (context.exitRequested()) throw CompareCallAborted{};
        bool before = false;
        std::string ignored;
        if (!convertToBoolean(answer.get(), before, ignored))
            throw CompareCallFailure{signature + "must return true if a < b"};
        return before;
    };
    try {
        if (inverse) {
            stableMergeSort(order, [&](size_t a, size_t b) { return precedes(b, a); });
        } else {
            stableMergeSort(order, precedes);
        }
    } catch (CompareCallFailure &failure) {
        error = std::move(failure.message);
        return false;
    } catch (const CompareCallAborted &) {
        aborted = true;
    }
    return true;
}

ObjectRef makeOrderedVector(const ObjectList &elements, const std::vector<size_t> &order) {
    ObjectList ordered;
    ordered.reserve(order.size());
    for (size_t position : order) ordered.push_back(elements[position]);
    return ObjectRef(new ZelkScriptObject(HandlerRef(new ZelkScriptObjectVectorHandler(std::move(ordered)))));
}

} // namespace zelkscript
