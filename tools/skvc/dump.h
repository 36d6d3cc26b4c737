// skvc dump: lists the objects of a movie stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace skvc {

// Exit statuses of the dump command.
enum DumpStatus : int {
    kDumpOk = 0,           // the stream ended with an end marker
    kDumpTruncated = 1,    // the stream ended (or broke) before an end marker
    kDumpUsage = 2,        // bad command line
    kDumpNotAStream = 3,   // the file cannot be read, or is not a movie stream
    kDumpUnknownClass = 4, // an object of a class the player does not know
    kDumpFetchFailed = 5,  // a URL whose movie could not be fetched
};

// How a URL is fetched.
struct DumpUrlOptions {
    bool showStatus = false; // print each status of the transfer as it arrives
    bool keepCache = false;  // keep the cache file afterwards, for a later dump to resume from
    // How long to wait for a streaming server's next byte before the transfer counts as ended
    // early; 0 waits without limit. The player's own limit is the default.
    uint32_t receiveTimeoutMs = 60000;
};

int dumpCommand(const std::vector<std::string>& args);
// Dumps a stream held in memory to `out`; returns a DumpStatus.
int dumpBytes(const std::vector<unsigned char>& bytes, std::FILE* out);
// Fetches a qmsp: or file: URL through a movie stream and dumps what arrived to `out`; why a
// fetch failed goes to `err`. Returns a DumpStatus.
int dumpUrl(const std::string& url, const DumpUrlOptions& options, std::FILE* out, std::FILE* err);

} // namespace skvc
