// The library families attach their system function implementations to the
// system function table through one registration function each. The calls of
// those functions are listed explicitly in families.cpp: a family that
// registered itself from a static object would be dropped by the linker from
// any program that links the engine as a static archive and never names it.
#pragma once

namespace zelkscript {

class SystemFunctionRegistry;

// script control and introspection (__LINE__, eval, gettype, exit, ...): engine/library/introspection.cpp
void registerIntrospectionFunctions(SystemFunctionRegistry &registry);
// text functions: engine/library/text.cpp
void registerTextFunctions(SystemFunctionRegistry &registry);
// formatting and printing: engine/library/format.cpp
void registerFormatFunctions(SystemFunctionRegistry &registry);
// numbers and math: engine/library/numbers.cpp
void registerNumberFunctions(SystemFunctionRegistry &registry);
// collections, sorting and grep: engine/library/collections.cpp
void registerCollectionFunctions(SystemFunctionRegistry &registry);

// Runs every family's registration, once, while the process-wide system
// function table is built.
void registerSystemFunctionFamilies(SystemFunctionRegistry &registry);

} // namespace zelkscript
