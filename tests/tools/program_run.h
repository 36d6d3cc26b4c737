// Running the built programs from tests: a shell command with its output, and reading back the
// files a run wrote.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace skvtest {

// Runs `command` through the shell with standard error joined to standard output; the output
// in *output (when given) and the exit status, -1 when it did not exit normally.
inline int runCommand(const std::string& command, std::string* output = nullptr) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The program and its arguments, each quoted for the shell.
inline std::string commandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string cmd = program;
    for (const auto& a : args)
        cmd += " '" + a + "'";
    return cmd;
}

inline std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace skvtest
