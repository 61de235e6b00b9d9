// The one list of library family registrations. Each family declares
// `void register<Family>Functions(SystemFunctionRegistry &)` in its own header
// and gets one call here; forms without an implementation stay known to the
// table (scripts calling them fail with "function not implemented: " + name).
#include "engine/library/families.h"

#include "engine/interpreter/function_table.h"

namespace zelkscript {

void registerSystemFunctionFamilies(SystemFunctionRegistry &registry) {
    registerIntrospectionFunctions(registry);
    registerTextFunctions(registry);
    registerFormatFunctions(registry);
    registerNumberFunctions(registry);
    registerCollectionFunctions(registry);
}

} // namespace zelkscript
