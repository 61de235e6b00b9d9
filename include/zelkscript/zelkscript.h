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

#ifdef __cplusplus
}
#endif

#endif /* ZELKSCRIPT_ZELKSCRIPT_H */
