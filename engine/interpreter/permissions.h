// File permissions and script files. Every path a script or a host names is
// checked where the kernel will really open it: made absolute, resolved
// through symbolic links (also a final link whose target does not exist yet)
// and compared with folders only at separator boundaries, so neither ".."
// nor a link inside a granted folder can reach outside it.
#pragma once

#include <string>
#include <string_view>

namespace zelkscript {

// The path as the kernel resolves it, absolute and without "." or ".."
// components. False for an empty path or one holding a NUL byte (the check
// would see more than the kernel opens).
bool resolvePathForAccess(std::string_view path, std::string &resolved);

// Whether the resolved path is the folder itself or lies inside it.
bool pathIsWithin(std::string_view path, std::string_view folder);

// The process's temporary folder, resolved once.
const std::string &temporaryFolderPath();

// The rule of a context without a permission table: anything inside the
// temporary folder; elsewhere only reading ("r") and inspecting ("i").
bool baseFileAccessAllowed(const std::string &path, char mode);

// Reads a script file: a regular file (not a folder, device or pipe) of at
// most kMaxScriptFileSize bytes. A text that starts with the protected-script
// marker is decoded. False with a message on failure.
constexpr size_t kMaxScriptFileSize = size_t{256} << 20;
bool readScriptFile(const std::string &path, std::string &text, std::string &error);

// Encodes a script text in the protected form that readScriptFile decodes.
std::string protectScriptText(std::string_view text);

// The folder part of a path ("" when it has none).
std::string folderOfPath(std::string_view path);

} // namespace zelkscript
