// Script expectation test runner. Every *.zelkscript file of a feature folder
// holds one or more cases; each case runs in a fresh context through the
// library's public C interface, exactly as a host would run it, and its
// result or error is compared with the expectations written in the file.
//
// Conventions (see tests/README.md):
//   //== NAME                    starts a new case (text before the first
//                                marker is a case named after the file)
//   // expect: TEXT              one line of the expected result text
//   // expect error: MESSAGE     the run must fail with exactly this message
//   // expect error contains: T  the run must fail with a message containing T
//   // expect success            the run must succeed (result not compared)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zelkscript/zelkscript.h"

namespace {

struct ScriptCase {
    std::string file;
    std::string name;
    int firstLine = 1;
    std::string text;
    std::vector<std::string> expectedLines;
    bool expectResult = false;
    bool expectSuccessOnly = false;
    bool expectError = false;
    bool errorIsSubstring = false;
    std::string expectedError;
};

bool startsWith(const std::string &s, const char *prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

// Reads the expectation comment of one line, if it has one. The comment may
// stand after code on the same line.
void readExpectation(const std::string &line, ScriptCase &c) {
    size_t at = line.find("// expect");
    if (at == std::string::npos) return;
    std::string rest = line.substr(at + 3);
    if (startsWith(rest, "expect error contains: ")) {
        c.expectError = true;
        c.errorIsSubstring = true;
        c.expectedError = trimRight(rest.substr(std::strlen("expect error contains: ")));
    } else if (startsWith(rest, "expect error: ")) {
        c.expectError = true;
        c.expectedError = trimRight(rest.substr(std::strlen("expect error: ")));
    } else if (startsWith(rest, "expect success")) {
        c.expectSuccessOnly = true;
    } else if (startsWith(rest, "expect: ") || trimRight(rest) == "expect:") {
        c.expectResult = true;
        c.expectedLines.push_back(rest.size() > 8 ? trimRight(rest.substr(8)) : std::string());
    }
}

std::vector<ScriptCase> readCases(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ScriptCase> cases;
    ScriptCase current;
    current.file = file.string();
    current.name = file.filename().string();
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        ++lineNumber;
        if (startsWith(line, "//==")) {
            // Text before the first marker that states no expectation is a
            // file comment, not a case.
            const bool prelude = cases.empty() && current.name == file.filename().string();
            const bool states = current.expectResult || current.expectError || current.expectSuccessOnly;
            if ((!current.text.empty() && (states || !prelude)) || states) cases.push_back(current);
            current = ScriptCase();
            current.file = file.string();
            current.name = trimRight(line.substr(4));
            while (!current.name.empty() && current.name.front() == ' ') current.name.erase(0, 1);
            current.firstLine = lineNumber + 1;
        } else {
            readExpectation(line, current);
            current.text += line;
            current.text += '\n';
        }
        if (end == all.size()) break;
        pos = end + 1;
    }
    if (!current.text.empty() || current.expectResult || current.expectError) cases.push_back(current);
    return cases;
}

std::string joinLines(const std::vector<std::string> &lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i];
    }
    return out;
}

bool runCase(const ScriptCase &c) {
    std::vector<char> result(1 << 20), error(1 << 16);
    zelkscript_contextid context = zelkscript_createcontext(error.data(), static_cast<int32_t>(error.size()));
    if (!context) {
        std::printf("FAIL %s [%s]: cannot create a context\n", c.file.c_str(), c.name.c_str());
        return false;
    }
    bool ok = zelkscript_evaluate_strings(context, c.text.c_str(), result.data(), static_cast<int32_t>(result.size()),
                                          error.data(), static_cast<int32_t>(error.size())) != 0;
    zelkscript_freecontext(context);
    std::string resultText(result.data());
    // Printed output ends in a line break that the expectation lines do not show.
    std::string comparedResult = resultText;
    if (!comparedResult.empty() && comparedResult.back() == '\n') comparedResult.pop_back();
    std::string errorText(error.data());
    std::string where = c.file + " [" + c.name + "] (line " + std::to_string(c.firstLine) + ")";
    if (c.expectError) {
        if (ok) {
            std::printf("FAIL %s: expected error \"%s\", but the run succeeded with \"%s\"\n", where.c_str(),
                        c.expectedError.c_str(), resultText.c_str());
            return false;
        }
        bool matches = c.errorIsSubstring ? errorText.find(c.expectedError) != std::string::npos
                                          : errorText == c.expectedError;
        if (!matches) {
            std::printf("FAIL %s: expected error%s \"%s\", got \"%s\"\n", where.c_str(),
                        c.errorIsSubstring ? " containing" : "", c.expectedError.c_str(), errorText.c_str());
            return false;
        }
        if (c.expectResult) {
            std::printf("FAIL %s: a case cannot expect both a result and an error\n", where.c_str());
            return false;
        }
        return true;
    }
    if (!ok) {
        std::printf("FAIL %s: unexpected error \"%s\"\n", where.c_str(), errorText.c_str());
        return false;
    }
    if (c.expectResult) {
        std::string expected = joinLines(c.expectedLines);
        if (comparedResult != expected) {
            std::printf("FAIL %s:\n--- expected\n%s\n--- got\n%s\n---\n", where.c_str(), expected.c_str(),
                        comparedResult.c_str());
            return false;
        }
        return true;
    }
    if (!c.expectSuccessOnly) {
        std::printf("FAIL %s: the case states no expectation\n", where.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zelkscript_script_tests FOLDER|FILE...\n");
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto &entry : std::filesystem::recursive_directory_iterator(p))
                if (entry.is_regular_file() && entry.path().extension() == ".zelkscript") files.push_back(entry.path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    int passed = 0, failed = 0;
    for (const auto &file : files)
        for (const auto &c : readCases(file)) (runCase(c) ? passed : failed)++;
    std::printf("%d passed, %d failed\n", passed, failed);
    if (passed + failed == 0) {
        std::printf("no cases found\n");
        return 1;
    }
    return failed ? 1 : 0;
}
