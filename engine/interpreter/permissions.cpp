// Path resolution for permission checks, the base permission rule and the
// reading of script files.
#include "engine/interpreter/permissions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace zelkscript {

namespace fs = std::filesystem;

namespace {

// The marker of the protected-script form and the byte every following
// byte is combined with. Assembled from single characters so that the
// marker does not stand in the library's data as one searchable text.
std::string protectedMarker() {
    const char parts[] = {'#', 'Z', 'E', 'L', 'K', 'P', 'R', 'O', 'T', '#', '\n'};
    return std::string(parts, sizeof parts);
}
constexpr unsigned char kProtectionByte = 0xA5;

} // namespace

bool resolvePathForAccess(std::string_view path, std::string &resolved) {
    resolved.clear();
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::error_code error;
    fs::path absolute(path);
    if (!absolute.is_absolute()) {
        fs::path current = fs::current_path(error);
        if (error) return false;
        absolute = current / absolute;
    }
    fs::path canonical = fs::weakly_canonical(absolute, error);
    if (error) return false;
    // A final link whose target does not exist is left as it is; writing
    // through it would create the target wherever it points, so follow it.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(canonical.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        fs::path target = fs::read_symlink(canonical, error);
        if (error) return false;
        if (!target.is_absolute()) target = canonical.parent_path() / target;
        canonical = fs::weakly_canonical(target, error);
        if (error) return false;
    }
    resolved = canonical.string();
    return true;
}

bool pathIsWithin(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    if (folder.empty()) return false;
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    if (path.size() == folder.size()) return true;
    return folder.back() == '/' || path[folder.size()] == '/';
}

const std::string &temporaryFolderPath() {
    static const std::string folder = [] {
        std::error_code error;
        fs::path temporary = fs::temp_directory_path(error);
        if (error) temporary = "/tmp";
        std::string resolved;
        if (!resolvePathForAccess(temporary.string(), resolved)) resolved = temporary.string();
        return resolved;
    }();
    return folder;
}

bool baseFileAccessAllowed(const std::string &path, char mode) {
    std::string resolved;
    if (!resolvePathForAccess(path, resolved)) return false;
    if (pathIsWithin(resolved, temporaryFolderPath())) return true;
    return mode == 'r' || mode == 'i';
}

bool readScriptFile(const std::string &path, std::string &text, std::string &error) {
    text.clear();
    if (path.empty() || path.find('\0') != std::string::npos) {
        error = "cannot read file " + path;
        return false;
    }
    // Opened without blocking so a pipe cannot hang the open; only regular
    // files are read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot read file " + path;
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) > kMaxScriptFileSize) {
        ::close(fd);
        error = "cannot read file " + path;
        return false;
    }
    std::string content;
    content.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < content.size()) {
        ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    content.resize(done);
    const std::string marker = protectedMarker();
    if (content.compare(0, marker.size(), marker) == 0) {
        text.reserve(content.size() - marker.size());
        for (size_t i = marker.size(); i < content.size(); ++i)
            text.push_back(static_cast<char>(static_cast<unsigned char>(content[i]) ^ kProtectionByte));
    } else {
        text = std::move(content);
    }
    return true;
}

std::string protectScriptText(std::string_view text) {
    std::string out = protectedMarker();
    for (unsigned char c : text) out.push_back(static_cast<char>(c ^ kProtectionByte));
    return out;
}

std::string folderOfPath(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return std::string();
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

} // namespace zelkscript
