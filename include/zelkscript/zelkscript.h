/*
 * zelkscript.h - the C interface of the zelkscript interpreter library.
 *
 * A host loads libzelkscriptlib.so, creates interpreter contexts, runs script
 * text or .zelkscript files in them and reads the results back as text,
 * numbers or data ids. Every function here is callable from C and C++; no
 * function throws, and texts are written into caller buffers that always end
 * in a NUL byte when their size is at least 1.
 */
#ifndef ZELKSCRIPT_ZELKSCRIPT_H
#define ZELKSCRIPT_ZELKSCRIPT_H

#include <stdint.h>

#if defined(ZELKSCRIPT_BUILDING_LIBRARY)
#define ZELKSCRIPT_API __attribute__((visibility("default")))
#else
#define ZELKSCRIPT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One-byte boolean of every export: 0 is false, any other value true. */
typedef unsigned char zelkscript_bool;

/* A data id names a script value held by a context; 0 means no value. */
typedef int32_t zelkscript_dataid;

/* A context id is the address of an interpreter context; 0 means none. */
typedef uintptr_t zelkscript_contextid;

/* The library's version as "MAJOR.MINOR.PATCH". The text is static. */
ZELKSCRIPT_API const char *zelkscript_version(void);

/* ---- Contexts and script execution ----------------------------------- */

/* Creates an interpreter context. errmsg is emptied; on failure (out of
 * memory) it receives a message and 0 is returned. */
ZELKSCRIPT_API zelkscript_contextid zelkscript_createcontext(char *errmsg, int32_t errmsgmaxsize);

/* Frees a context and every data id it issued. A null id is ignored. Called
 * from inside a callback of a script running in the context, the context is
 * freed when that run returns. */
ZELKSCRIPT_API void zelkscript_freecontext(zelkscript_contextid contextid);

/* Evaluates script text in the context. Both buffers are emptied first. On
 * success result receives the value the script returned as text, or, when it
 * returned nothing, what it printed; on failure errmsg receives the error's
 * message. Texts are cut to the buffer size (size - 1 bytes and a NUL).
 * Everything the script defines stays in the context. */
ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_strings(zelkscript_contextid contextid, const char *script,
                                                          char *result, int32_t resultmaxsize, char *errmsg,
                                                          int32_t errmsgmaxsize);

#ifdef __cplusplus
}
#endif

#endif /* ZELKSCRIPT_ZELKSCRIPT_H */
