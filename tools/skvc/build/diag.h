// What a failed build reports: the source file, the line, the field and what is wrong with it.
// The first error ends the build; nothing is written. A warning names its place the same way and
// lets the build go on.
#pragma once

#include <stdexcept>
#include <string>

namespace skvc {

struct SourcePlace {
    std::string file;  // relative to the source directory
    int line = 0;      // 1-based; 0 when the error concerns the whole file
    std::string field; // dotted path of the field, e.g. "member[2].depth"; may be empty
    int column = 0;    // 1-based; 0 when not known
};

class BuildError : public std::runtime_error {
public:
    BuildError(SourcePlace place, const std::string& message)
        : std::runtime_error(message), place_(std::move(place)) {}
    const SourcePlace& place() const { return place_; }
    // "movie.toml:12: member[2].depth: must be 1, 4 or 8"
    std::string text() const;

private:
    SourcePlace place_;
};

struct BuildWarning {
    SourcePlace place;
    std::string message;
    // "ball.sks:2: warning: mouseUpp is not an event; did you mean mouseUp?"
    std::string text() const;
};

} // namespace skvc
