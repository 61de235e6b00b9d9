/*
 * A host written in C: it keeps the public header C-clean (built with
 * -std=c11 -Wall -Wextra -Wpedantic -Werror) and checks, through the real
 * callback lookup, what a host that exports only some callbacks sees: the
 * ones it defines are called, and every missing one fails with the message
 * that names it.
 */
#include <stdio.h>
#include <string.h>

#include "zelkscript/zelkscript.h"

static int failures = 0;

static void expect(int condition, const char *what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static void expect_text(const char *actual, const char *expected, const char *what) {
    if (strcmp(actual, expected) != 0) {
        fprintf(stderr, "FAILED: %s: got \"%s\", expected \"%s\"\n", what, actual, expected);
        ++failures;
    }
}

zelkscript_bool zelkscript_callback_callfunction_strings(zelkscript_contextid contextid, const char *funcname,
                                                        const char *const *params, int32_t paramcount,
                                                        char *result, int32_t resultmaxsize, char *errmsg,
                                                        int32_t errmsgmaxsize) {
    (void)contextid;
    if (strcmp(funcname, "twice") != 0 || paramcount != 1 || params[1] != NULL) {
        snprintf(errmsg, (size_t)errmsgmaxsize, "error: unexpected call of %s", funcname);
        return 0;
    }
    snprintf(result, (size_t)resultmaxsize, "%s%s", params[0], params[0]);
    return 1;
}

/* The only live-data callback this host defines. */
zelkscript_bool zelkscript_callback_livedata_getstring(zelkscript_contextid contextid,
                                                      zelkscript_userdataref userdataref, char *value,
                                                      int32_t valuemaxsize, char *errmsg, int32_t errmsgmaxsize) {
    (void)contextid;
    (void)errmsg;
    (void)errmsgmaxsize;
    snprintf(value, (size_t)valuemaxsize, "live %d", (int)userdataref);
    return 1;
}

int main(void) {
    char result[256];
    char errmsg[512];
    zelkscript_contextid context = zelkscript_createcontext(errmsg, (int32_t)sizeof errmsg);
    expect(context != 0, "a context is created");
    if (!context) return 1;

    expect(zelkscript_context_definefunction_strings(context, "twice(text)", errmsg, (int32_t)sizeof errmsg),
           "define a text function");
    expect(zelkscript_evaluate_strings(context, "return twice('ab');", result, (int32_t)sizeof result, errmsg,
                                       (int32_t)sizeof errmsg),
           "call a text function");
    expect_text(result, "abab", "text function result");

    /* This host exports no data-id callback. */
    expect(zelkscript_context_definefunction_dataids(context, "byids(x)", errmsg, (int32_t)sizeof errmsg),
           "define a data-id function");
    expect(!zelkscript_evaluate_strings(context, "return byids(1);", result, (int32_t)sizeof result, errmsg,
                                        (int32_t)sizeof errmsg),
           "a data-id function without its callback fails");
    expect_text(errmsg,
                "error: function zelkscript_callback_callfunction_dataids(contextid, funcname, paramdataids, "
                "paramcount, resultid, errmsg, errmsgmaxsize) not found in main program",
                "missing data-id callback message");

    /* A live string that can be read but not written. */
    zelkscript_dataid live = zelkscript_livedata_create(context, 7, ZELKSCRIPT_DATATYPE_STRING, "NOTE", errmsg,
                                                        (int32_t)sizeof errmsg);
    expect(live != 0, "create a live string");
    expect(zelkscript_context_setvariable(context, "note", live), "bind the live string");
    expect(zelkscript_evaluate_strings(context, "return note + '!';", result, (int32_t)sizeof result, errmsg,
                                       (int32_t)sizeof errmsg),
           "read a live string");
    expect_text(result, "live 7!", "live string text");
    expect(!zelkscript_evaluate_strings(context, "note = 'changed';", result, (int32_t)sizeof result, errmsg,
                                        (int32_t)sizeof errmsg),
           "writing a live string without its callback fails");
    expect_text(errmsg,
                "error: function zelkscript_callback_livedata_setstring(contextid, userdataref, value, errmsg, "
                "maxerrmsgsize) not found in main program",
                "missing setstring callback message");

    /* A live structure needs callbacks this host does not define. */
    zelkscript_dataid record = zelkscript_livedata_create(context, 8, ZELKSCRIPT_DATATYPE_STRUCTURE, "RECORD",
                                                          errmsg, (int32_t)sizeof errmsg);
    expect(zelkscript_context_setvariable(context, "record", record), "bind the live structure");
    expect(!zelkscript_evaluate_strings(context, "return record.x;", result, (int32_t)sizeof result, errmsg,
                                        (int32_t)sizeof errmsg),
           "reading a live structure without its callbacks fails");
    expect_text(errmsg,
                "error: function zelkscript_callback_livedata_structure_getmembercount(contextid, userdataref, "
                "count, errmsg, maxerrmsgsize) not found in main program",
                "missing member-count callback message");

    {
        zelkscript_bstr wide = 0;
        zelkscript_context_settextvariable(context, "word", "abc");
        expect(zelkscript_context_gettextvariable_bstr(context, "word", &wide), "read a variable as BSTR");
        expect(wide != 0 && zelkscript_data_bstr_getsize(wide, 1) == 4, "BSTR size");
        zelkscript_bstr_free(wide);
    }

    zelkscript_freecontext(context);
    if (failures == 0) printf("all C header checks passed\n");
    return failures == 0 ? 0 : 1;
}
