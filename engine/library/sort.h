// Sorting of script vectors: the built-in orders (byte-wise, numeric with a
// text fallback, case-insensitive) and ordering by a script compare function.
// The built-in orders mix numeric and text comparison, which is no strict weak
// order, and a script compare function may answer anything or raise an error,
// so every sort goes through one bounds-safe, stable merge sort that only ever
// compares elements of the list and always ends. All sort state lives in the
// call, so a compare function may itself sort.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptContextBase;

// Orders `order` (positions into some list) so that `less(a, b)` places a
// before b; elements that neither precede the other keep their relative
// order. Whatever `less` answers, it is only called with values taken from
// `order`, every position stays in bounds and the sort ends after
// O(n log n) calls. When `less` throws, `order` is left in an unspecified
// permutation-or-not state and must be discarded.
template <class Less>
void stableMergeSort(std::vector<size_t> &order, Less &&less) {
    const size_t count = order.size();
    if (count < 2) return;
    // Short runs by insertion: fewer calls of `less` on small lists than
    // merging, which matters when `less` runs script code.
    constexpr size_t kRunLength = 12;
    for (size_t start = 0; start < count; start += kRunLength) {
        const size_t end = std::min(count, start + kRunLength);
        for (size_t i = start + 1; i < end; ++i) {
            const size_t item = order[i];
            size_t j = i;
            while (j > start && less(item, order[j - 1])) {
                order[j] = order[j - 1];
                --j;
            }
            order[j] = item;
        }
    }
    if (count <= kRunLength) return;
    std::vector<size_t> merged(count);
    for (size_t width = kRunLength; width < count; width *= 2) {
        for (size_t left = 0; left < count; left += 2 * width) {
            const size_t middle = std::min(count, left + width);
            const size_t right = std::min(count, left + 2 * width);
            size_t i = left, j = middle, k = left;
            // Two runs already in order need no merging (and no calls).
            if (middle < right && less(order[middle], order[middle - 1])) {
                while (i < middle && j < right) merged[k++] = less(order[j], order[i]) ? order[j++] : order[i++];
            }
            while (i < middle) merged[k++] = order[i++];
            while (j < right) merged[k++] = order[j++];
        }
        order.swap(merged);
    }
}

// The built-in orders. The numbers of the comparisons are integer texts and
// texts with a "." that are floating-point texts.
enum class SortOrderMode {
    Alphabetic = 0,  // byte-wise text order
    Numeric = 1,     // numeric when both are numbers, else case-insensitive text order
    Mixed = 2,       // numeric when both are numbers, else byte-wise text order
    IgnoreCase = 3,  // case-insensitive text order
};

// The elements of a vector in index order for sorting: null entries become
// new undefined objects. The argument must be a vector, or undefined (an
// empty list); anything else fails with "function sortvector requires an
// vector variable".
bool readSortElements(const ObjectRef &vector, ObjectList &elements, std::string &error);

// Positions 0..n-1 of `elements` in the order of the mode (descending when
// inverse, equal elements keeping their order).
std::vector<size_t> sortElementsBuiltIn(const ObjectList &elements, SortOrderMode mode, bool inverse);

// Positions 0..n-1 of `elements` ordered by the script function `name`,
// called with two elements (followed by `extraArguments`) and answering true
// when the first belongs before the second. Fails with the designed "compare
// function ..." messages or the function's own failure; a script error the
// function raises passes through. `aborted` is set when the script asked to
// exit during a compare call: the order is then incomplete.
bool sortElementsByFunction(ZelkScriptContextBase &context, const ObjectList &elements, const std::string &name,
                            std::span<const ObjectRef> extraArguments, bool inverse, std::vector<size_t> &order,
                            bool &aborted, std::string &error);

// A new vector holding elements[order[0]], elements[order[1]], ...
ObjectRef makeOrderedVector(const ObjectList &elements, const std::vector<size_t> &order);

} // namespace zelkscript
