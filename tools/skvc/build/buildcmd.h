// skvc build: the command line around buildMovie.
#pragma once

#include <string>
#include <vector>

namespace skvc {

enum BuildStatus : int {
    kBuildOk = 0,
    kBuildSourceError = 1, // the source has an error (reported as FILE:LINE: FIELD: message)
    kBuildUsage = 2,       // bad command line
    kBuildIo = 3,          // the output could not be written
    kBuildCheckFailed = 4, // --check: the movie does not read back as written
};

int buildCommand(const std::vector<std::string>& args);

} // namespace skvc
