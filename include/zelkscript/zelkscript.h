/*
 * zelkscript.h - the C interface of the zelkscript interpreter library.
 *
 * A host loads libzelkscriptlib.so, creates interpreter contexts, sets their
 * options, runs script text or .zelkscript files in them and reads results
 * back as text, numbers or data ids (handles to script values). It extends
 * the language with functions of its own and with live data (structures,
 * vectors and strings whose contents stay in the host) by exporting the
 * callback functions declared at the end of this file.
 *
 * Conventions shared by every function:
 *  - No function throws, and none keeps a pointer to a caller's buffer.
 *  - Booleans are one byte: 0 is false, 1 is true.
 *  - Texts going in are NUL-terminated byte strings; a null text pointer
 *    reads as the empty text unless a function says otherwise. Bytes pass
 *    through unchanged (no character set is assumed).
 *  - Texts going out are copied into a caller buffer of `size` bytes: at
 *    most size - 1 bytes and a NUL. A null buffer or a size of 0 or less
 *    receives nothing. A text that does not fit is cut; no function reports
 *    the cut.
 *  - Messages of the library's own checks begin with "error: "; script
 *    errors carry the interpreter's message.
 *  - A context is used by one thread at a time. Different contexts may be
 *    used by different threads at once; zelkscript_interrupt() is the one
 *    function that may be called for a context while another thread runs a
 *    script in it.
 */
#ifndef ZELKSCRIPT_ZELKSCRIPT_H
#define ZELKSCRIPT_ZELKSCRIPT_H

#include <stddef.h> /* wchar_t */
#include <stdint.h>

#if defined(ZELKSCRIPT_BUILDING_LIBRARY)
#define ZELKSCRIPT_API __attribute__((visibility("default")))
#else
#define ZELKSCRIPT_API
#endif

/* Callbacks are looked up by name in the host program, so they must be
 * visible in its dynamic symbol table: declare them through this header
 * (which gives them default visibility) and link the program with
 * -rdynamic (CMake: set_target_properties(host PROPERTIES ENABLE_EXPORTS ON)). */
#define ZELKSCRIPT_CALLBACK __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* One-byte boolean: 0 is false, any other value true. */
typedef unsigned char zelkscript_bool;

/* A data id names a script value registered in one context. 0 means "no
 * value" and is never issued; ids are unique in the process and never
 * reused. */
typedef int32_t zelkscript_dataid;

/* A context id is the address of an interpreter context; 0 means none. */
typedef uintptr_t zelkscript_contextid;

/* A host's own reference to one of its objects, carried by live data and
 * handed back to the live-data callbacks. The library never interprets it. */
typedef uintptr_t zelkscript_userdataref;

/* A counted wide string: wchar_t code units, NUL-terminated, with the byte
 * length (without the NUL) stored as a 32-bit integer just before the text.
 * Each byte of a text becomes the code unit of the same value. Strings that
 * the library returns are freed with zelkscript_bstr_free(). */
typedef wchar_t *zelkscript_bstr;

/* Type codes of zelkscript_data_gettype() and data types of live data. */
#define ZELKSCRIPT_DATATYPE_NONE '\0'
#define ZELKSCRIPT_DATATYPE_STRING 'S'
#define ZELKSCRIPT_DATATYPE_VECTOR '['
#define ZELKSCRIPT_DATATYPE_STRUCTURE '{'
#define ZELKSCRIPT_DATATYPE_OTHER 'p'

/* The library's version as "MAJOR.MINOR.PATCH". The text is static. */
ZELKSCRIPT_API const char *zelkscript_version(void);

/* ======================================================================
 * Contexts and variables
 * ====================================================================== */

/* Creates an interpreter context with its own variables, functions,
 * constants, host functions, permissions, include paths and data ids.
 * errmsg is emptied; 0 is returned (with a message) only when memory runs
 * out. The host owns the context and frees it with zelkscript_freecontext. */
ZELKSCRIPT_API zelkscript_contextid zelkscript_createcontext(char *errmsg, int32_t errmsgmaxsize);

/* Frees a context with everything it holds; all its data ids become invalid.
 * A null id is ignored. Called from inside a callback while the context is
 * running a script (or serving another call), the context is freed when
 * that outermost call returns, and from now on every function refuses the
 * id. Freeing a context twice is an error of the host. */
ZELKSCRIPT_API void zelkscript_freecontext(zelkscript_contextid contextid);

/* Sets a constant that scripts read like a variable but cannot change. A
 * null value is the empty text; setting a name again replaces the text.
 * False for an unusable context or a null or empty name. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_setconstant(zelkscript_contextid contextid, const char *name,
                                                             const char *value);

/* Set a variable to a new text, integer or double value. A variable that a
 * script can see is made to refer to the new value; a missing one is defined
 * (in the global scope when no script is running). False for an unusable
 * context or a null or empty name. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_settextvariable(zelkscript_contextid contextid, const char *name,
                                                                 const char *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_context_setintvariable(zelkscript_contextid contextid, const char *name,
                                                                int64_t value);
ZELKSCRIPT_API zelkscript_bool zelkscript_context_setdoublevariable(zelkscript_contextid contextid,
                                                                   const char *name, double value);

/* Reads a variable as text into value. False without writing anything for
 * an unusable context, a null buffer or a size of 0 or less; otherwise the
 * buffer is emptied first. False for a null or empty name. When the variable
 * cannot be read the buffer receives the reason ("variable is not defined")
 * and the answer is false. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_gettextvariable(zelkscript_contextid contextid, const char *name,
                                                                 char *value, int32_t valuemaxsize);

/* Reads a variable as text into a new counted wide string, which the host
 * frees with zelkscript_bstr_free(). *value is set to 0 first; false (with
 * *value 0) for a null result pointer, an unusable context, a null or empty
 * name or a variable that cannot be read. An empty text gives an allocated
 * empty string. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_gettextvariable_bstr(zelkscript_contextid contextid,
                                                                      const char *name, zelkscript_bstr *value);

/* Read a variable whose whole text is an integer text ("-12", " 3e2 ") or a
 * floating-point text ("2.5", "1e-3"). The result is set to 0 first; false
 * for a null result pointer, an unusable context, a null or empty name, a
 * variable that cannot be read, an empty text or one that is not such a
 * number ("30x40"). */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_getintvariable(zelkscript_contextid contextid, const char *name,
                                                                int64_t *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_context_getdoublevariable(zelkscript_contextid contextid,
                                                                   const char *name, double *value);

/* Makes the variable share the value of a data id: later changes through
 * either are seen by both. An unknown id or 0 stands for no value (a missing
 * variable is then defined holding null). False for an unusable context, a
 * null or empty name, or when the variable cannot take the value. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_setvariable(zelkscript_contextid contextid, const char *name,
                                                             zelkscript_dataid dataid);

/* Registers the variable's value itself (not a copy) and stores its data id
 * in *dataid; a value already registered keeps its id, a null value gives 0.
 * *dataid is set to 0 first. False for a null result pointer, an unusable
 * context, a null or empty name or an unknown variable. The host owns the
 * id (see zelkscript_data_free). */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_getvariable(zelkscript_contextid contextid, const char *name,
                                                             zelkscript_dataid *dataid);

/* Whether the last run in the context ended by the script's exit(); then
 * *exitcode receives the code it gave (else 0). False for a null pointer or
 * a context that is not usable. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_getexitcode(zelkscript_contextid contextid, int32_t *exitcode);

/* Reports where the last script run of the context failed: filename
 * receives the source name (the file path for executed files and included
 * files, empty for evaluated text), *line and *column the position (0 when
 * unknown; both pointers may be null). filename is emptied and *line and
 * *column are set to 0 first. True when the last run in the context failed;
 * false when it succeeded, no script has run yet, or the context is not
 * usable. The message itself is what the run function wrote into its
 * errmsg. */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_getlasterror(zelkscript_contextid contextid, char *filename,
                                                              int32_t filenamemaxsize, int32_t *line,
                                                              int32_t *column);

/* ======================================================================
 * Options: file permissions, include paths, run limits
 * ====================================================================== */

/* Grants file access in a folder and everything below it. The letters are
 * "r" (read), "w" (write, create, delete, move) and "i" (information: exists,
 * size, listings, include search); other letters grant nothing. Letters are
 * added to those already granted for the folder. The folder is made absolute
 * and resolved through symbolic links now; a path is checked where it really
 * leads, and the nearest granted folder above it decides alone. "*" names
 * every folder not covered by a folder grant. With no grant at all a context
 * may read and inspect files anywhere and write only in the temporary
 * folder; paths that no grant covers keep that rule unless "*" is set.
 * False only for an unusable context. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_setpermission_fileaccess_folder(zelkscript_contextid contextid,
                                                                                const char *folder,
                                                                                const char *permissions);
/* The same for "*": every folder that no folder grant covers. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_setpermission_fileaccess_all(zelkscript_contextid contextid,
                                                                             const char *permissions);

/* Appends a folder to the include path (searched by include()), unless the
 * same text is already there. False only for an unusable context. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_addincludepath(zelkscript_contextid contextid, const char *folder);

/* Sets how many passes one loop may make before the script fails with "loop
 * never ending" (the language's default is 10000); 0 removes the limit.
 * False for an unusable context or a negative count. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_setmaxloopcount(zelkscript_contextid contextid, int64_t count);

/* Limits each run (one call of an evaluate or execute function, with all the
 * callbacks and nested runs it makes) to this many evaluation steps; 0, the
 * default, means no limit. A run that reaches it fails with "run limit
 * reached: too many evaluation steps", which scripts cannot catch. False for
 * an unusable context or a negative count. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_setnodebudget(zelkscript_contextid contextid, int64_t nodes);

/* Limits each run to this many milliseconds of wall-clock time; 0, the
 * default, means no limit. A run that overruns fails with "run limit
 * reached: time is up", which scripts cannot catch. False for an unusable
 * context or a negative value. */
ZELKSCRIPT_API zelkscript_bool zelkscript_option_settimelimit(zelkscript_contextid contextid, int64_t milliseconds);

/* Asks the script running in the context to stop: it fails at its next step
 * with "run interrupted", which scripts cannot catch. Safe to call from any
 * thread while the context runs. A request made while no script runs is
 * forgotten when the next run starts. False for a null or freed context. */
ZELKSCRIPT_API zelkscript_bool zelkscript_interrupt(zelkscript_contextid contextid);

/* ======================================================================
 * Running scripts
 *
 * Variables, functions and constants that a script defines stay in the
 * context for later runs. A run that fails leaves what the script did
 * before the error. A script text without any statement fails with
 * "<error>". zelkscript_context_getlasterror() tells where a run failed.
 * ====================================================================== */

/* Evaluates script text. Both buffers are emptied first. On success result
 * receives the value the script returned, as text, or, when it returned
 * nothing, what it printed (printing is collected, not written to standard
 * output); on failure errmsg receives the error's message and result stays
 * empty. False for an unusable context. */
ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_strings(zelkscript_contextid contextid, const char *script,
                                                          char *result, int32_t resultmaxsize, char *errmsg,
                                                          int32_t errmsgmaxsize);

/* Runs a script file (a regular file; protected script files are decoded).
 * Both buffers are emptied first; a file that cannot be read gives false
 * with both buffers empty. What the script prints goes to standard output.
 * The first file run in a context without include paths makes its folder
 * the first include path. Results as zelkscript_evaluate_strings. */
ZELKSCRIPT_API zelkscript_bool zelkscript_execute_strings(zelkscript_contextid contextid, const char *scriptfilepath,
                                                         char *result, int32_t resultmaxsize, char *errmsg,
                                                         int32_t errmsgmaxsize);

/* As zelkscript_evaluate_strings and zelkscript_execute_strings, with the
 * result registered as a data id in *resultdataid (0 when the script gave no
 * value, and after every failure). A null resultdataid gives false with
 * "error: resultdataid must not be null"; otherwise *resultdataid is set to
 * 0 and errmsg emptied first. The host owns the returned id. */
ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_dataids(zelkscript_contextid contextid, const char *script,
                                                          zelkscript_dataid *resultdataid, char *errmsg,
                                                          int32_t errmsgmaxsize);
ZELKSCRIPT_API zelkscript_bool zelkscript_execute_dataids(zelkscript_contextid contextid, const char *scriptfilepath,
                                                         zelkscript_dataid *resultdataid, char *errmsg,
                                                         int32_t errmsgmaxsize);

/* As zelkscript_evaluate_strings and zelkscript_execute_strings, except that
 * nothing at all is written for an unusable context (nor, for the file form,
 * when the file cannot be read). */
ZELKSCRIPT_API zelkscript_bool zelkscript_stringevaluate(zelkscript_contextid contextid, const char *script,
                                                        char *result, int32_t resultmaxsize, char *errmsg,
                                                        int32_t errmsgmaxsize);
ZELKSCRIPT_API zelkscript_bool zelkscript_stringexecute(zelkscript_contextid contextid, const char *scriptfilepath,
                                                       char *result, int32_t resultmaxsize, char *errmsg,
                                                       int32_t errmsgmaxsize);

/* ======================================================================
 * Data ids
 *
 * Values are shared, never copied, between data ids, variables and
 * containers: an id obtained for a variable, an element or a member names
 * that very value. The host owns every id it receives and releases it with
 * zelkscript_data_free(), zelkscript_data_free_alluseddata() or
 * zelkscript_freecontext(). An unknown or freed id reads as no value;
 * failures answer false, 0 or the empty text without a message.
 * ====================================================================== */

/* Create a value and return its new id; 0 for an unusable context. A string
 * holds the text unchanged; a boolean is the integer 1 or 0. */
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createstring(zelkscript_contextid contextid, const char *value);
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createbool(zelkscript_contextid contextid, zelkscript_bool value);
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createlong(zelkscript_contextid contextid, int32_t value);
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createdouble(zelkscript_contextid contextid, double value);
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createvector(zelkscript_contextid contextid);
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_createstructure(zelkscript_contextid contextid);

/* A deep copy of the value under a new id; 0 for id 0 or an unknown id. */
ZELKSCRIPT_API zelkscript_dataid zelkscript_data_duplicate(zelkscript_contextid contextid, zelkscript_dataid dataid);

/* Assigns the value of valueid (no value for 0 or an unknown id) to the
 * value of targetid, which keeps its identity: every variable, element or id
 * sharing it sees the new value. This is how a host function writes to a
 * reference parameter. False for an unknown or constant target, or when the
 * assignment fails. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_setreference_value(zelkscript_contextid contextid,
                                                                 zelkscript_dataid targetid,
                                                                 zelkscript_dataid valueid);

/* Releases the id and every id that names a value inside it (elements and
 * members at any depth). The values live on while scripts still use them. */
ZELKSCRIPT_API void zelkscript_data_free(zelkscript_contextid contextid, zelkscript_dataid dataid);
/* Releases every data id of the context. */
ZELKSCRIPT_API void zelkscript_data_free_alluseddata(zelkscript_contextid contextid);

/* The value's type: 'S' string (numbers and booleans too), '[' vector,
 * '{' structure, 'p' anything else, 0 for null, id 0 or an unknown id. */
ZELKSCRIPT_API char zelkscript_data_gettype(zelkscript_contextid contextid, zelkscript_dataid dataid);

/* The value as text ("null" for id 0, empty for an unknown id; vectors and
 * structures in their text forms). False only for a null buffer or a size
 * of 0 or less. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_tostring(zelkscript_contextid contextid, zelkscript_dataid dataid,
                                                       char *value, int32_t valuemaxsize);

/* Convert the value. The result is set to false or 0 first; false for a null
 * result pointer or a value that does not convert. tolong answers false for
 * values outside -2147483647..2147483647. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_tobool(zelkscript_contextid contextid, zelkscript_dataid dataid,
                                                     zelkscript_bool *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_tolong(zelkscript_contextid contextid, zelkscript_dataid dataid,
                                                     int32_t *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_todouble(zelkscript_contextid contextid, zelkscript_dataid dataid,
                                                       double *value);

/* A debugging description of the value ("OBJECT TYPE=..."); "null" for id
 * 0. An unknown id writes "error: invalid data id" and answers false. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_debug(zelkscript_contextid contextid, zelkscript_dataid dataid,
                                                    char *value, int32_t valuemaxsize);

/* The number of elements of a vector; 0 for anything else. */
ZELKSCRIPT_API int32_t zelkscript_data_vector_getsize(zelkscript_contextid contextid, zelkscript_dataid dataid);

/* Registers element `index` itself and stores its id (0 for an empty slot or
 * an index past the end) in *elementdataid, which is set to 0 first. False
 * for a null pointer, an unknown id, a value that is not a vector or a
 * negative index. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_getelement(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid, int32_t index,
                                                                zelkscript_dataid *elementdataid);

/* Assigns the value of valueid to element `index` (the vector grows as
 * needed; valueid 0 makes the element an empty text). Answers whether the
 * assignment was made: false for an unknown id, a negative index or an
 * element that cannot take the value. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_setelement(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid, int32_t index,
                                                                zelkscript_dataid valueid);

/* Appends a copy of the value of valueid (null for 0 or an unknown id).
 * False for an unknown id or a value that is not a vector. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_pushelement(zelkscript_contextid contextid,
                                                                 zelkscript_dataid dataid,
                                                                 zelkscript_dataid valueid);

/* Removes the last element and registers it under a new id in
 * *elementdataid (set to 0 first). False for a null pointer, an unknown id,
 * a value that is not a vector or an empty vector. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_popelement(zelkscript_contextid contextid,
                                                                zelkscript_dataid dataid,
                                                                zelkscript_dataid *elementdataid);

/* Empties the value: it becomes null (type 0), not an empty vector. False
 * for id 0 or an unknown id. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_vector_clearelements(zelkscript_contextid contextid,
                                                                   zelkscript_dataid dataid);

/* The number of members of a structure; 0 for anything else. */
ZELKSCRIPT_API int32_t zelkscript_data_structure_getmembercount(zelkscript_contextid contextid,
                                                               zelkscript_dataid dataid);

/* The name of member `memberindex` in name order. The buffer is emptied
 * first; false for a null buffer, a size of 0 or less, an unknown id, a
 * value that is not a structure or an index out of range. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_getmembername(zelkscript_contextid contextid,
                                                                      zelkscript_dataid dataid, int32_t memberindex,
                                                                      char *membername, int32_t membernamemaxsize);

/* Registers the member itself and stores its id in *memberdataid (set to 0
 * first). False for a null pointer, an unknown id, a null or empty name, or
 * a member that does not exist (nothing is created). */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_getmember(zelkscript_contextid contextid,
                                                                  zelkscript_dataid dataid, const char *membername,
                                                                  zelkscript_dataid *memberdataid);

/* Stores the value of valueid (shared, not copied; null for 0 or an unknown
 * id) as the member, adding or replacing it. Answers whether it was stored. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_setmember(zelkscript_contextid contextid,
                                                                  zelkscript_dataid dataid, const char *membername,
                                                                  zelkscript_dataid valueid);

/* Removes a member; ids naming the member or anything inside it are
 * released. False for an unknown id, a null or empty name or an unknown
 * member. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_structure_removemember(zelkscript_contextid contextid,
                                                                     zelkscript_dataid dataid,
                                                                     const char *membername);

/* Text checks, without a context. False for a null or empty text.
 * isnumber: an integer text, or a text with "." that is a floating-point
 * text; islong: an integer text ("+12", "1e3"); isdouble: a text with "."
 * that is a floating-point text ("30" is not); isbool: a boolean word
 * ("0", "1", any number, true/false, yes/no, ja/nein in any case). */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_isnumber(const char *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_islong(const char *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_isdouble(const char *value);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_isbool(const char *value);

/* Text conversions, without a context. False for a null or empty text or a
 * text that does not convert; with a null result pointer they only check
 * (as islong, isdouble, isbool). getlong accepts -2147483648..2147483647,
 * and reads hexadecimal "0x..." and truncates "2.9"; getdouble reads "30"
 * as 30.0. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_getlong(const char *value, int32_t *result);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_getdouble(const char *value, double *result);
ZELKSCRIPT_API zelkscript_bool zelkscript_data_getbool(const char *value, zelkscript_bool *result);

/* The buffer size (bytes plus the NUL) that zelkscript_data_bstr_gettext
 * needs for the wide text up to its first NUL: UTF-8 when utf8 is true,
 * otherwise one byte per code unit (units above 255 become "?"). 1 for a
 * null text. */
ZELKSCRIPT_API int32_t zelkscript_data_bstr_getsize(const wchar_t *value, zelkscript_bool utf8);

/* Converts a wide text as zelkscript_data_bstr_getsize describes into the
 * buffer (emptied first; cut to its size). False for a null buffer, a size
 * of 0 or less, or a null text. */
ZELKSCRIPT_API zelkscript_bool zelkscript_data_bstr_gettext(const wchar_t *value, char *buffer, int32_t buffersize,
                                                           zelkscript_bool utf8);

/* Frees a counted wide string that the library returned. Null is ignored. */
ZELKSCRIPT_API void zelkscript_bstr_free(zelkscript_bstr value);

/* ======================================================================
 * Host-defined functions
 *
 * A prototype "name(a, &b, ...)" declares a function that scripts call like
 * any other; "&" marks a reference parameter, "..." (last) extra arguments.
 * A call reaches a host function only with exactly as many arguments as the
 * prototype has parameters. Calls go to the host's exported callback
 * zelkscript_callback_callfunction_strings (texts) or
 * zelkscript_callback_callfunction_dataids (data ids); a host that does not
 * export the callback makes every call fail with a message naming it.
 * ====================================================================== */

/* Declare a host function served by texts or by data ids. errmsg is emptied
 * first. A null context gives "error: contextid missing"; a prototype that
 * does not parse gives its message ("invalid user function definition: "
 * ...). Defining one name and parameter count in both forms makes every
 * call of it fail with "... is defined twice". */
ZELKSCRIPT_API zelkscript_bool zelkscript_context_definefunction_strings(zelkscript_contextid contextid,
                                                                        const char *prototype, char *errmsg,
                                                                        int32_t errmsgmaxsize);
ZELKSCRIPT_API zelkscript_bool zelkscript_context_definefunction_dataids(zelkscript_contextid contextid,
                                                                        const char *prototype, char *errmsg,
                                                                        int32_t errmsgmaxsize);

/* ======================================================================
 * Live data
 *
 * A live value is a script string, structure or vector whose contents stay
 * in the host: every read or write a script makes is forwarded, when it
 * happens, to the live-data callbacks with the userdataref given here. The
 * host object must stay valid while any variable, container or data id holds
 * the value; freeing the id does not notify the host. A script cannot change
 * the length of a live vector.
 * ====================================================================== */

/* Creates a live value of datatype 'S' (string), '{' (structure) or '['
 * (vector) and returns its new id, recording the datatype and a type name
 * of the host's choice (null = empty). errmsg is emptied first. Returns 0
 * with "error: missing contextid", "error: missing userdataref", "error:
 * context is not initialised" or "error: invalid data type". */
ZELKSCRIPT_API zelkscript_dataid zelkscript_livedata_create(zelkscript_contextid contextid,
                                                           zelkscript_userdataref userdataref, char datatype,
                                                           const char *type_name, char *errmsg,
                                                           int32_t errmsgmaxsize);

/* The datatype given when the id was created by zelkscript_livedata_create,
 * 0 for any other id. */
ZELKSCRIPT_API char zelkscript_livedata_getdatatype(zelkscript_contextid contextid, zelkscript_dataid dataid);

/* The type name given at creation (empty for other ids; "null" for a null
 * context or id 0). The buffer is emptied first; false only for a null
 * buffer or a size of 0 or less. */
ZELKSCRIPT_API zelkscript_bool zelkscript_livedata_gettypename(zelkscript_contextid contextid,
                                                              zelkscript_dataid dataid, char *type_name,
                                                              int32_t type_namemaxsize);

/* The userdataref of a live value (also of copies a script made of it); 0 for
 * any other value or an unknown id. */
ZELKSCRIPT_API zelkscript_userdataref zelkscript_livedata_getuserdataref(zelkscript_contextid contextid,
                                                                        zelkscript_dataid dataid);

/* ======================================================================
 * Callbacks the host program exports
 *
 * Define the ones you need with exactly these names and signatures, and
 * export them (see ZELKSCRIPT_CALLBACK above). Each answers true for
 * success and false for failure with a message in errmsg; a message that
 * fills the whole buffer is cut to it. Every buffer the library passes is
 * zeroed, private to the call, and valid only during it, as are the texts
 * and id arrays; the sizes passed are those stated below. A callback may
 * call back into the library with the contextid it received (run script
 * text, read variables, create and change data ids). A failing callback
 * makes the script operation that reached it fail with the message.
 * ====================================================================== */

/* A call of a function defined by zelkscript_context_definefunction_strings.
 * params holds paramcount texts followed by a null pointer. Write the result
 * text into result (1024 bytes) and answer true, or a message into errmsg
 * (256 bytes) and answer false. */
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_callfunction_strings(
    zelkscript_contextid contextid, const char *funcname, const char *const *params, int32_t paramcount,
    char *result, int32_t resultmaxsize, char *errmsg, int32_t errmsgmaxsize);

/* A call of a function defined by zelkscript_context_definefunction_dataids.
 * paramdataids holds paramcount ids (null when there are none): a reference
 * parameter's id names the caller's own value (change it with
 * zelkscript_data_setreference_value), any other a copy. These ids, and ids
 * the host obtains for values inside them during the call, are released
 * after the call; ids the host held before are not. Store the id of the
 * result (0 for none) in *resultid; it stays registered for the host to
 * free. errmsg has 256 bytes. */
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_callfunction_dataids(
    zelkscript_contextid contextid, const char *funcname, const zelkscript_dataid *paramdataids,
    int32_t paramcount, zelkscript_dataid *resultid, char *errmsg, int32_t errmsgmaxsize);

/* Live strings: read the text into value (1024 bytes), or take a new text. */
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_getstring(zelkscript_contextid contextid,
                                                                          zelkscript_userdataref userdataref,
                                                                          char *value, int32_t valuemaxsize,
                                                                          char *errmsg, int32_t errmsgmaxsize);
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_setstring(zelkscript_contextid contextid,
                                                                          zelkscript_userdataref userdataref,
                                                                          const char *value, char *errmsg,
                                                                          int32_t maxerrmsgsize);

/* Live structures: the member count (*count is 0 before the call; a negative
 * count counts as 0), the name of member memberindex (256 bytes; an empty
 * name is an error), the member of a name as a data id the host created or
 * obtained (*memberdataidreference is 0 before the call; it stays registered
 * until the host frees it), and removing a member. */
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_structure_getmembercount(
    zelkscript_contextid contextid, zelkscript_userdataref userdataref, int32_t *count, char *errmsg,
    int32_t maxerrmsgsize);
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_structure_getmembername(
    zelkscript_contextid contextid, zelkscript_userdataref userdataref, int32_t memberindex, char *membername,
    int32_t maxmembernamesize, char *errmsg, int32_t maxerrmsgsize);
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_structure_getmember(
    zelkscript_contextid contextid, zelkscript_userdataref userdataref, const char *membername,
    zelkscript_dataid *memberdataidreference, char *errmsg, int32_t maxerrmsgsize);
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_structure_removemember(
    zelkscript_contextid contextid, zelkscript_userdataref userdataref, const char *membername, char *errmsg,
    int32_t maxerrmsgsize);

/* Live vectors: the size (*vectorsize is 0 before the call; a negative size
 * counts as 0) and element `index` (0 to 32766) as a data id, like members. */
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_vector_getsize(zelkscript_contextid contextid,
                                                                               zelkscript_userdataref userdataref,
                                                                               int32_t *vectorsize, char *errmsg,
                                                                               int32_t maxerrmsgsize);
ZELKSCRIPT_CALLBACK zelkscript_bool zelkscript_callback_livedata_vector_getelement(
    zelkscript_contextid contextid, zelkscript_userdataref userdataref, int32_t index,
    zelkscript_dataid *elementdataidreference, char *errmsg, int32_t maxerrmsgsize);

/* Pointer types of the callbacks, for hosts that keep them in tables. */
typedef zelkscript_bool (*zelkscript_callback_callfunction_strings_fn)(zelkscript_contextid, const char *,
                                                                      const char *const *, int32_t, char *,
                                                                      int32_t, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_callfunction_dataids_fn)(zelkscript_contextid, const char *,
                                                                      const zelkscript_dataid *, int32_t,
                                                                      zelkscript_dataid *, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_getstring_fn)(zelkscript_contextid, zelkscript_userdataref,
                                                                    char *, int32_t, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_setstring_fn)(zelkscript_contextid, zelkscript_userdataref,
                                                                    const char *, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_structure_getmembercount_fn)(zelkscript_contextid,
                                                                                   zelkscript_userdataref,
                                                                                   int32_t *, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_structure_getmembername_fn)(zelkscript_contextid,
                                                                                  zelkscript_userdataref, int32_t,
                                                                                  char *, int32_t, char *,
                                                                                  int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_structure_getmember_fn)(zelkscript_contextid,
                                                                              zelkscript_userdataref,
                                                                              const char *, zelkscript_dataid *,
                                                                              char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_structure_removemember_fn)(zelkscript_contextid,
                                                                                 zelkscript_userdataref,
                                                                                 const char *, char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_vector_getsize_fn)(zelkscript_contextid,
                                                                         zelkscript_userdataref, int32_t *,
                                                                         char *, int32_t);
typedef zelkscript_bool (*zelkscript_callback_livedata_vector_getelement_fn)(zelkscript_contextid,
                                                                            zelkscript_userdataref, int32_t,
                                                                            zelkscript_dataid *, char *, int32_t);

#ifdef __cplusplus
}
#endif

#endif /* ZELKSCRIPT_ZELKSCRIPT_H */
