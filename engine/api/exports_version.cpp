// The version export: lets a host check which library it loaded before it
// binds anything else.
#include "zelkscript/zelkscript.h"
#include "zelkscript_version.h"

extern "C" ZELKSCRIPT_API const char *zelkscript_version(void) {
    return ZELKSCRIPT_VERSION_TEXT;
}
