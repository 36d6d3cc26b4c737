// The expectations a script case file writes in its comments (tests/script/cases/README.md):
// what each run of a handler gives, the globals afterwards, or where the text is rejected. The
// reader knows nothing of the source language except how its comments start, so that a second
// language's files use the same expectations behind their own comment marker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skvtest::cases {

// A value as a case writes it; compared by type, number and text as the fixture's Seen is.
struct CaseValue {
    uint32_t type = 0;
    int32_t num = 0;
    std::string text;
    std::string name; // a symbol written by name, looked up when the case runs
};

enum class StepKind {
    kReturns,       // the handler, called with the arguments, returns `value`
    kRaises,        // the handler raises script error `code`
    kEvent,         // the handler run as an event completes or is ended by an error
    kGlobal,        // the global `global` holds `value` after the steps above it
    kAssemblyError, // the text does not assemble; the first error is on line `errorLine`
};

struct Step {
    StepKind kind = StepKind::kReturns;
    int line = 0;            // the expectation's own line in the file
    int32_t handler = 0;     // the handler's index in the script ...
    std::string handlerName; // ... or, when not empty, its name (the first handler so named)
    std::vector<CaseValue> args;
    CaseValue value;
    int32_t code = 0;
    bool completes = true;
    std::string global; // a name, or a nameId written as a number
    int errorLine = 0;
    std::string errorMessage; // a part of the error's message, or empty
};

struct Problem {
    int line = 0;
    std::string message;
};

struct Expectations {
    std::vector<Step> steps; // in the order of the file, which is the order they run in
    std::vector<Problem> problems;
};

// The expectations in `text`, whose comments start with `comment` outside a quoted text.
Expectations readExpectations(std::string_view text, std::string_view comment);

// A value written as a case file would write it, for failure messages.
std::string describe(uint32_t type, int32_t num, std::string_view text);
std::string describe(const CaseValue& v);

} // namespace skvtest::cases
