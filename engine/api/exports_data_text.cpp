// Exports that need no context: the number and boolean text checks and
// conversions hosts use on their own texts, and the counted wide strings.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "engine/api/bstr.h"
#include "engine/api/export_support.h"
#include "engine/values/conversions.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

bool hasText(const char *text) { return text && *text; }

bool isLongText(std::string_view text) { return isIntegerText(text); }

bool isBoolText(std::string_view text) {
    bool ignored = false;
    return parseBooleanText(text, ignored);
}

} // namespace

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_isnumber(const char *value) {
    if (!hasText(value)) return 0;
    return isIntegerText(value) || isDottedFloatText(value);
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_islong(const char *value) {
    return hasText(value) && isLongText(value);
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_isdouble(const char *value) {
    return hasText(value) && isDottedFloatText(value);
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_isbool(const char *value) {
    return hasText(value) && isBoolText(value);
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_getlong(const char *value, int32_t *result) {
    if (!hasText(value)) return 0;
    if (!result) return isLongText(value);
    int64_t number = 0;
    if (!textToInteger(value, number)) return 0;
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max()) return 0;
    *result = static_cast<int32_t>(number);
    return 1;
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_getdouble(const char *value, double *result) {
    if (!hasText(value)) return 0;
    if (!result) return isDottedFloatText(value);
    double number = 0.0;
    if (!textToDouble(value, number)) return 0;
    *result = number;
    return 1;
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_getbool(const char *value, zelkscript_bool *result) {
    if (!hasText(value)) return 0;
    if (!result) return isBoolText(value);
    bool flag = false;
    if (!parseBooleanText(value, flag)) return 0;
    *result = flag ? 1 : 0;
    return 1;
}

extern "C" ZELKSCRIPT_API int32_t zelkscript_data_bstr_getsize(const wchar_t *value, zelkscript_bool utf8) {
    if (!value) return 1;
    return guardExport(int32_t{0}, [&]() -> int32_t {
        const size_t length = narrowWideText(value, utf8 != 0).size();
        if (length >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
        return static_cast<int32_t>(length + 1);
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_data_bstr_gettext(const wchar_t *value, char *buffer,
                                                                      int32_t buffersize, zelkscript_bool utf8) {
    if (!buffer || buffersize <= 0) return 0;
    copyToCallerBuffer("", buffer, buffersize);
    if (!value) return 0;
    return guardExport(zelkscript_bool{0}, [&]() -> zelkscript_bool {
        copyToCallerBuffer(narrowWideText(value, utf8 != 0), buffer, buffersize);
        return 1;
    });
}

extern "C" ZELKSCRIPT_API void zelkscript_bstr_free(zelkscript_bstr value) { freeCountedWideText(value); }
