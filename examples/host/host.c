/*
 * A minimal zelkscript host: it creates a context, gives scripts a constant,
 * a variable and a host function, runs a script, and reads a structured
 * result back through data ids.
 */
#include <stdio.h>
#include <string.h>

#include <zelkscript/zelkscript.h>

/* Serves the host function greet(name) declared below. */
zelkscript_bool zelkscript_callback_callfunction_strings(zelkscript_contextid contextid, const char *funcname,
                                                        const char *const *params, int32_t paramcount,
                                                        char *result, int32_t resultmaxsize, char *errmsg,
                                                        int32_t errmsgmaxsize) {
    (void)contextid;
    if (strcmp(funcname, "greet") == 0 && paramcount == 1) {
        snprintf(result, (size_t)resultmaxsize, "Hello, %s!", params[0]);
        return 1;
    }
    snprintf(errmsg, (size_t)errmsgmaxsize, "error: %s is not served here", funcname);
    return 0;
}

int main(void) {
    char result[1024];
    char errmsg[256];
    zelkscript_contextid context = zelkscript_createcontext(errmsg, sizeof errmsg);
    if (!context) {
        fprintf(stderr, "cannot create a context: %s\n", errmsg);
        return 1;
    }
    zelkscript_context_setconstant(context, "planet", "world");
    zelkscript_context_setintvariable(context, "count", 3);
    if (!zelkscript_context_definefunction_strings(context, "greet(name)", errmsg, sizeof errmsg)) {
        fprintf(stderr, "%s\n", errmsg);
        return 1;
    }

    if (!zelkscript_evaluate_strings(context, "var words = []; for (var i = 0; i < count; i++) words.push(i * i);"
                                              "return greet(planet) + ' ' + join(',', words);",
                                     result, sizeof result, errmsg, sizeof errmsg)) {
        fprintf(stderr, "script failed: %s\n", errmsg);
        return 1;
    }
    printf("%s\n", result);

    zelkscript_dataid person = 0;
    if (!zelkscript_evaluate_dataids(context, "return { name: 'Ada'; born: 1815 };", &person, errmsg, sizeof errmsg)) {
        fprintf(stderr, "script failed: %s\n", errmsg);
        return 1;
    }
    int32_t members = zelkscript_data_structure_getmembercount(context, person);
    for (int32_t i = 0; i < members; ++i) {
        char name[64];
        zelkscript_dataid member = 0;
        zelkscript_data_structure_getmembername(context, person, i, name, sizeof name);
        zelkscript_data_structure_getmember(context, person, name, &member);
        zelkscript_data_tostring(context, member, result, sizeof result);
        printf("%s = %s\n", name, result);
    }
    zelkscript_data_free(context, person);
    zelkscript_freecontext(context);
    return 0;
}
