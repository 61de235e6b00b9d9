// zelkscript: the command-line runner. Runs script files, texts and standard
// input through the library's public C interface, the same way any host
// does; with a terminal and no script it is an interactive prompt. --dump
// prints the syntax tree of a script for script authors and tests.
//
// File permissions are the library's safe default (read anywhere, write only
// in the temporary folder) unless widened with --allow / --allow-all.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <editline/readline.h>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"
#include "zelkscript/zelkscript.h"

namespace {

constexpr int32_t kResultSize = 16 << 20;
constexpr int32_t kErrorSize = 64 << 10;

// A buffer the library writes a text into. Left uninitialised on purpose: the
// library writes only as much as it needs plus a NUL, so the untouched pages
// of a large buffer never become resident (a zero-filled 16 MiB result buffer
// would cost every run its time and memory).
class CallerBuffer {
public:
    explicit CallerBuffer(int32_t size) : data_(new char[static_cast<size_t>(size)]) { data_[0] = '\0'; }
    char *data() { return data_.get(); }
    const char *data() const { return data_.get(); }
    char &operator[](size_t index) { return data_[index]; }

private:
    std::unique_ptr<char[]> data_;
};

void printUsage(FILE *out) {
    std::fprintf(out,
                 "usage: zelkscript [options] FILE [ARG...]   run a script file\n"
                 "       zelkscript [options] -e TEXT [ARG...] run a script text\n"
                 "       zelkscript [options]                  interactive prompt, or the script on standard input\n"
                 "       zelkscript --dump FILE | --dump -e TEXT\n"
                 "options:\n"
                 "  --allow DIR[=LETTERS]   grant file access in DIR (default letters rwi: read, write, inspect)\n"
                 "  --allow-all LETTERS     grant file access everywhere\n"
                 "  --include DIR           add DIR to the include paths\n"
                 "  --max-loops N           passes a single loop may make (default 10000)\n"
                 "  --max-steps N           evaluation steps a run may take (default: no limit)\n"
                 "  --timeout SECONDS       time a run may take (default: no limit)\n"
                 "  --dump                  print the syntax tree instead of running\n"
                 "  --help                  show this text\n"
                 "  --version               show the library version\n"
                 "The script sees its arguments as the vector argv (argv[0] is the script) and argc.\n"
                 "The value of a final top-level return is printed after the script's own output.\n"
                 "Exit status: 0 on success, 1 on a script error, the script's code after exit().\n");
}

bool readWholeFile(const char *path, std::string &text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Prints the dump of the script, or its syntax error as FILE:LINE:COL: message.
int dumpScript(const std::string &sourceName, std::string text) {
    using namespace zelkscript;
    try {
        const NodeRef root = parseScript(ZelkScriptSource(sourceName, std::move(text)));
        if (root) {
            const std::string dump = root->dump(0);
            std::fwrite(dump.data(), 1, dump.size(), stdout);
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const ZelkScriptErrorException &error) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", sourceName.c_str(), static_cast<int>(error.getLine()),
                     static_cast<int>(error.getColumn()), error.getMessage().c_str());
        return 1;
    }
}

// Whether the script's last top-level statement is a return: only then is
// its value the script's result rather than a by-product of its last call.
bool endsWithReturn(const std::string &path) {
    using namespace zelkscript;
    std::string text;
    if (!readWholeFile(path.c_str(), text)) return false;
    try {
        NodeRef root = parseScript(ZelkScriptSource(path, std::move(text)));
        auto *list = dynamic_cast<ZelkScriptStatements *>(root.get());
        return list && !list->statements.empty() &&
               dynamic_cast<ZelkScriptFunctionReturn *>(list->statements.back().get()) != nullptr;
    } catch (...) {
        return false;
    }
}

bool parseCount(const char *text, int64_t &value) {
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, 10);
    if (errno || !end || *end || parsed < 0) return false;
    value = parsed;
    return true;
}

struct Options {
    std::vector<std::pair<std::string, std::string>> allowed;
    std::string allowAll;
    std::vector<std::string> includePaths;
    int64_t maxLoops = -1, maxSteps = -1, timeoutMs = -1;
    bool dump = false;
    bool haveText = false;
    std::string text;
    std::string file;
    std::vector<std::string> scriptArguments;
};

class Runner {
public:
    explicit Runner(const Options &options) : options_(options), result_(kResultSize), error_(kErrorSize) {
        context_ = zelkscript_createcontext(error_.data(), kErrorSize);
    }
    ~Runner() {
        if (context_) zelkscript_freecontext(context_);
    }
    bool ready() const { return context_ != 0; }

    void configure(const std::string &scriptName) {
        for (const auto &[folder, letters] : options_.allowed)
            zelkscript_option_setpermission_fileaccess_folder(context_, folder.c_str(), letters.c_str());
        if (!options_.allowAll.empty())
            zelkscript_option_setpermission_fileaccess_all(context_, options_.allowAll.c_str());
        for (const std::string &folder : options_.includePaths)
            zelkscript_option_addincludepath(context_, folder.c_str());
        if (options_.maxLoops >= 0) zelkscript_option_setmaxloopcount(context_, options_.maxLoops);
        if (options_.maxSteps >= 0) zelkscript_option_setnodebudget(context_, options_.maxSteps);
        if (options_.timeoutMs >= 0) zelkscript_option_settimelimit(context_, options_.timeoutMs);
        // argv and argc, built through data ids so any byte of an argument
        // reaches the script unchanged.
        zelkscript_dataid vector = zelkscript_data_createvector(context_);
        zelkscript_dataid name = zelkscript_data_createstring(context_, scriptName.c_str());
        zelkscript_data_vector_pushelement(context_, vector, name);
        for (const std::string &argument : options_.scriptArguments) {
            zelkscript_dataid element = zelkscript_data_createstring(context_, argument.c_str());
            zelkscript_data_vector_pushelement(context_, vector, element);
        }
        zelkscript_context_setvariable(context_, "argv", vector);
        zelkscript_context_setintvariable(context_, "argc",
                                          static_cast<int64_t>(options_.scriptArguments.size() + 1));
        zelkscript_data_free_alluseddata(context_);
    }

    // Runs a file; its printing goes straight to standard output, and the
    // value of a final top-level return is printed after it.
    int runFile(const std::string &path) {
        bool ok = zelkscript_execute_strings(context_, path.c_str(), result_.data(), kResultSize, error_.data(),
                                             kErrorSize) != 0;
        if (!ok && error_[0] == '\0') {
            std::fprintf(stderr, "zelkscript: cannot read %s\n", path.c_str());
            return 1;
        }
        return finish(ok, path, endsWithReturn(path));
    }

    // Runs a text as a file of its own, so that what it prints appears as it
    // prints it and its returned value is shown as well.
    int runText(const std::string &text, const std::string &name) {
        char path[] = "/tmp/zelkscript-XXXXXX";
        std::string folder = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
        std::string pattern = folder + "/zelkscript-XXXXXX";
        std::vector<char> writable(pattern.begin(), pattern.end());
        writable.push_back('\0');
        int fd = mkstemp(writable.data());
        if (fd < 0) {
            fd = mkstemp(path);
            if (fd < 0) {
                std::fprintf(stderr, "zelkscript: cannot write a temporary file\n");
                return 1;
            }
            writable.assign(path, path + sizeof path);
        }
        size_t done = 0;
        while (done < text.size()) {
            ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
            if (wrote <= 0) break;
            done += static_cast<size_t>(wrote);
        }
        ::close(fd);
        temporaryName_ = writable.data();
        bool ok = zelkscript_execute_strings(context_, temporaryName_.c_str(), result_.data(), kResultSize,
                                             error_.data(), kErrorSize) != 0;
        int status = finish(ok, name, endsWithReturn(temporaryName_));
        ::unlink(temporaryName_.c_str());
        temporaryName_.clear();
        return status;
    }

private:
    int finish(bool ok, const std::string &name, bool printResult) {
        if (ok && printResult && result_[0] != '\0') {
            std::fputs(result_.data(), stdout);
            size_t length = std::strlen(result_.data());
            if (result_[length - 1] != '\n') std::fputc('\n', stdout);
        }
        std::fflush(stdout);
        int32_t exitCode = 0;
        if (zelkscript_context_getexitcode(context_, &exitCode)) return exitCode;
        if (ok) return 0;
        char file[4096] = "";
        int32_t line = 0, column = 0;
        zelkscript_context_getlasterror(context_, file, sizeof file, &line, &column);
        const char *where = file[0] && temporaryName_ != file ? file : name.c_str();
        if (line > 0 && column > 0)
            std::fprintf(stderr, "%s:%d:%d: %s\n", where, static_cast<int>(line), static_cast<int>(column),
                         error_.data());
        else
            std::fprintf(stderr, "%s: %s\n", where, error_.data());
        return 1;
    }

    const Options &options_;
    std::string temporaryName_;
    zelkscript_contextid context_ = 0;
    CallerBuffer result_;
    CallerBuffer error_;
};

// Whether brackets are still open, ignoring brackets inside quotes and
// comments: the prompt then asks for a continuation line.
bool entryIsOpen(const std::string &text) {
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == '\\') ++i;
            else if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') quote = c;
        else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (c == '(' || c == '[' || c == '{') ++depth;
        else if (c == ')' || c == ']' || c == '}') --depth;
    }
    return depth > 0 || quote != 0;
}

int interactive(Runner &runner) {
    std::printf("zelkscript %s (Ctrl-D to quit)\n", zelkscript_version());
    std::string history = std::string(std::getenv("HOME") ? std::getenv("HOME") : ".") + "/.zelkscript_history";
    read_history(history.c_str());
    std::string entry;
    while (true) {
        char *line = readline(entry.empty() ? "> " : ". ");
        if (!line) break;
        entry += line;
        entry += '\n';
        std::free(line);
        if (entryIsOpen(entry)) continue;
        std::string trimmed = entry;
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) trimmed.pop_back();
        if (!trimmed.empty()) {
            add_history(trimmed.c_str());
            // A bare expression shows its value: try it as "return ...;" first.
            std::string asValue = "return " + trimmed + (trimmed.back() == ';' ? "" : ";");
            if (trimmed.find(';') == std::string::npos || trimmed.back() == ';')
                runner.runText(trimmed.find(';') == std::string::npos ? asValue : trimmed, "<stdin>");
            else
                runner.runText(trimmed, "<stdin>");
        }
        entry.clear();
    }
    write_history(history.c_str());
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    int i = 1;
    for (; i < argc; ++i) {
        const char *arg = argv[i];
        auto needValue = [&](const char *what) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zelkscript: %s needs a value\n", what);
                std::exit(2);
            }
            return argv[++i];
        };
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("zelkscript %s\n", zelkscript_version());
            return 0;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            return 0;
        } else if (std::strcmp(arg, "--dump") == 0) {
            options.dump = true;
        } else if (std::strcmp(arg, "--allow") == 0) {
            std::string value = needValue("--allow");
            size_t equals = value.rfind('=');
            if (equals == std::string::npos) options.allowed.emplace_back(value, "rwi");
            else options.allowed.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else if (std::strcmp(arg, "--allow-all") == 0) {
            options.allowAll = needValue("--allow-all");
        } else if (std::strcmp(arg, "--include") == 0) {
            options.includePaths.push_back(needValue("--include"));
        } else if (std::strcmp(arg, "--max-loops") == 0 || std::strcmp(arg, "--max-steps") == 0 ||
                   std::strcmp(arg, "--timeout") == 0) {
            int64_t value = 0;
            if (!parseCount(needValue(arg), value)) {
                std::fprintf(stderr, "zelkscript: %s needs a non-negative number\n", arg);
                return 2;
            }
            if (arg[2] == 'm' && arg[6] == 'l') options.maxLoops = value;
            else if (arg[2] == 'm') options.maxSteps = value;
            else options.timeoutMs = value > INT64_MAX / 1000 ? INT64_MAX : value * 1000;
        } else if (std::strcmp(arg, "-e") == 0) {
            options.text = needValue("-e");
            options.haveText = true;
            ++i;
            break;
        } else if (std::strcmp(arg, "--") == 0) {
            ++i;
            if (i < argc) options.file = argv[i++];
            break;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "zelkscript: unknown option %s\n", arg);
            printUsage(stderr);
            return 2;
        } else {
            options.file = arg;
            ++i;
            break;
        }
    }
    for (; i < argc; ++i) options.scriptArguments.push_back(argv[i]);

    if (options.dump) {
        if (options.haveText) return dumpScript("-e", options.text);
        if (options.file.empty()) {
            printUsage(stderr);
            return 2;
        }
        std::string text;
        if (!readWholeFile(options.file.c_str(), text)) {
            std::fprintf(stderr, "zelkscript: cannot read %s\n", options.file.c_str());
            return 1;
        }
        return dumpScript(options.file, std::move(text));
    }

    Runner runner(options);
    if (!runner.ready()) {
        std::fprintf(stderr, "zelkscript: cannot create a context\n");
        return 1;
    }
    if (options.haveText) {
        runner.configure("-e");
        return runner.runText(options.text, "-e");
    }
    if (!options.file.empty()) {
        runner.configure(options.file);
        return runner.runFile(options.file);
    }
    runner.configure("-");
    if (isatty(STDIN_FILENO)) return interactive(runner);
    std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    return runner.runText(text, "<stdin>");
}
