// qmsd's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmsd {

struct Options {
    int nativePort = 537;
    int httpPort = -1; // -1: no HTTP port
    std::string bindAddress = "0.0.0.0";
    int64_t limitBytesPerSecond = 0; // 0: no limit
    bool refuseNative = false;
    bool ignoreNative = false;
    int64_t dropAfter = -1; // -1: never
    int maxClients = 100;
    std::string portFile;
    bool quiet = false;
    std::string directory;
};

extern const char* const kHelpText;

enum class ParseOutcome { Run, Help, Error };

// Reads the arguments after the program name. On Error, `error` holds a message that says what to
// do about it.
ParseOutcome parseOptions(const std::vector<std::string>& args, Options* out, std::string* error);

} // namespace qmsd
