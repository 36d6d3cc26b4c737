// Runs every script case file in tests/script/cases as a test of its own, named after the file:
// the file's text becomes one script, and its expectation comments, top to bottom, say what the
// handlers give. How the files are written is in tests/script/cases/README.md.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "case_expectations.h"
#include "script/langcompiler.h"
#include "script_fixture.h"

using namespace skvtest;
using namespace skvtest::cases;

namespace {

namespace fs = std::filesystem;

struct SourceError {
    int line = 0; // 0 when the error concerns the whole text
    std::string message;
};

// A source language of the case files: the extension that selects it, how its comments start,
// and how its text becomes a script block. `names` is the movie's name table, which the names
// the text uses are added to.
struct FrontEnd {
    const char* extension;
    const char* comment;
    bool (*compile)(std::string_view text, std::vector<std::string>* names,
                    std::vector<uint8_t>* block, SourceError* error);
};

bool assemble(std::string_view text, std::vector<std::string>* names, std::vector<uint8_t>* block,
              SourceError* error) {
    AsmError e;
    if (assembleScript(text, block, &e, names)) return true;
    *error = {e.line, e.message};
    return false;
}

// The script language: every error is reported, and the first one (in text order) is the one a
// case can expect.
bool compileSource(std::string_view text, std::vector<std::string>* names,
                   std::vector<uint8_t>* block, SourceError* error) {
    std::vector<LangError> errors;
    if (compileScriptSource(text, block, &errors, names)) return true;
    if (errors.empty())
        *error = {0, "the text was refused without an error"};
    else
        *error = {errors.front().pos.line, errors.front().message};
    return false;
}

constexpr FrontEnd kFrontEnds[] = {
    {".skasm", ";", assemble},
    {".sky", "--", compileSource},
};

const FrontEnd* frontEndFor(const fs::path& file) {
    for (const FrontEnd& f : kFrontEnds)
        if (file.extension() == f.extension) return &f;
    return nullptr;
}

const fs::path kCaseDir = SKV_SCRIPT_CASES_DIR;

// The case files, listed when the tests are registered: a file added to the folder is a test on
// the next run, without a rebuild. Files of no known language (the README) are not cases.
std::vector<std::string> caseFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(kCaseDir, ec))
        if (e.is_regular_file() && frontEndFor(e.path()))
            files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

// "chunk_put.skasm" -> "chunk_put_skasm": the extension stays, so that a case in a second
// language may share the name of an assembly case.
std::string testNameOf(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class ScriptCase : public ScriptTest, public ::testing::WithParamInterface<std::string> {
protected:
    void runCase();

private:
    struct Outcome {
        bool raised = false;
        int32_t code = 0;
        Seen value;
        int32_t leftOnStack = 0;
    };

    void fail(int line, const std::string& message) {
        ADD_FAILURE_AT(path_.c_str(), line) << message;
    }
    bool compile(const FrontEnd& fe, const std::string& text, const Expectations& ex);
    // The nameId a name or a written number stands for; -1 (after a failure) when none.
    int32_t nameId(const std::string& nameOrNumber, int line);
    bool toScriptValue(const CaseValue& v, int line, ScriptValue* out);
    bool expected(const CaseValue& v, int line, Seen* out);
    Outcome callHandler(const Step& st, const std::vector<ScriptValue>& args, bool wantResult);
    void runStep(const Step& st);

    std::string path_;
    skvScript* script_ = nullptr;
};

void ScriptCase::runCase() {
    path_ = (kCaseDir / GetParam()).string();
    const FrontEnd* fe = frontEndFor(path_);
    ASSERT_NE(fe, nullptr) << path_;
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        fail(0, "cannot read the case file");
        return;
    }
    std::stringstream buf;
    buf << in.rdbuf();
    const std::string text = buf.str();

    Expectations ex = readExpectations(text, fe->comment);
    for (const Problem& p : ex.problems)
        fail(p.line, p.message);
    if (!ex.problems.empty()) return;
    if (ex.steps.empty()) {
        fail(1, std::string("the case expects nothing: write at least one '") + fe->comment +
                    " expect' line (see tests/script/cases/README.md)");
        return;
    }
    if (!compile(*fe, text, ex)) return;
    for (const Step& st : ex.steps)
        runStep(st);
}

// Builds the file's script and lists it (as a score script, not a movie script). False when the
// text does not compile, whether or not the case expected that.
bool ScriptCase::compile(const FrontEnd& fe, const std::string& text, const Expectations& ex) {
    const Step* wantError = nullptr;
    for (const Step& st : ex.steps)
        if (st.kind == StepKind::kAssemblyError) wantError = &st;

    std::vector<std::string> names; // the file names everything it uses
    std::vector<uint8_t> block;
    SourceError err;
    const bool ok = fe.compile(text, &names, &block, &err);
    if (wantError) {
        if (ok) {
            fail(wantError->line, "the text assembled, but an error at line " +
                                      std::to_string(wantError->errorLine) + " was expected");
        } else if (err.line != wantError->errorLine) {
            fail(wantError->line, "the first error is at line " + std::to_string(err.line) +
                                      ", not " + std::to_string(wantError->errorLine) + ": " +
                                      err.message);
        } else if (err.message.find(wantError->errorMessage) == std::string::npos) {
            fail(wantError->line, "the error says \"" + err.message + "\", without \"" +
                                      wantError->errorMessage + "\"");
        }
        return false;
    }
    if (!ok) {
        fail(err.line, "the text does not assemble: " + err.message);
        return false;
    }
    engine.names.assign(names);
    // A loop that never ends (a jump the compiler got wrong) fails its run instead of hanging
    // the suite: a million backward jumps and calls are far more than any case makes.
    engine.setStepLimit(1000000);
    script_ = addBlock(1, block);
    attach(); // after the names: one global per name
    return true;
}

int32_t ScriptCase::nameId(const std::string& nameOrNumber, int line) {
    if (!nameOrNumber.empty() &&
        (std::isdigit(static_cast<unsigned char>(nameOrNumber[0])) || nameOrNumber[0] == '-'))
        return static_cast<int32_t>(std::stol(nameOrNumber));
    int32_t id = engine.nameIdOf(nameOrNumber);
    if (id < 0) fail(line, "'" + nameOrNumber + "' is not in the script's name table");
    return id;
}

bool ScriptCase::toScriptValue(const CaseValue& v, int line, ScriptValue* out) {
    switch (v.type) {
    case vtString:
        *out = makeString(v.text);
        return true;
    case vtLiteral:
        *out = ScriptValue::borrowed(v.text.c_str());
        return true;
    case vtSymbol: {
        int32_t id = v.name.empty() ? v.num : nameId(v.name, line);
        if (id < 0 && !v.name.empty()) return false;
        *out = ScriptValue::of(vtSymbol, id);
        return true;
    }
    default:
        *out = ScriptValue::of(v.type, v.num);
        return true;
    }
}

bool ScriptCase::expected(const CaseValue& v, int line, Seen* out) {
    int32_t num = v.num;
    if (v.type == vtSymbol && !v.name.empty()) {
        num = nameId(v.name, line);
        if (num < 0) return false;
    }
    *out = Seen{v.type, num, v.text};
    return true;
}

// Runs the handler with the arguments as the fixture's call and errorOf do; the stack is empty
// afterwards whatever happened.
ScriptCase::Outcome ScriptCase::callHandler(const Step& st, const std::vector<ScriptValue>& args,
                                            bool wantResult) {
    Outcome o;
    try {
        for (const ScriptValue& a : args)
            engine.push(a); // the stack owns them from here
        engine.runHandler(script_, st.handler, static_cast<int32_t>(args.size()), wantResult);
        if (wantResult) {
            ScriptValue r = engine.pop();
            o.value = see(r);
            releaseValue(r);
        }
    } catch (const ScriptError& e) {
        o.raised = true;
        o.code = e.code;
    }
    o.leftOnStack = engine.stackTop();
    engine.resetStack();
    return o;
}

void ScriptCase::runStep(const Step& given) {
    Step st = given;
    if (!st.handlerName.empty()) {
        const int32_t id = engine.nameIdOf(st.handlerName);
        st.handler = id < 0 ? -1 : script_->findHandler(id);
        if (st.handler < 0) {
            fail(st.line, "the script has no handler named '" + st.handlerName + "'");
            return;
        }
    }
    const std::string who =
        st.handlerName.empty() ? "handler " + std::to_string(st.handler) : st.handlerName;
    // Each run starts as an event does; "abort" in one run must not reach into the next.
    engine.abortFlag = false;

    switch (st.kind) {
    case StepKind::kReturns:
    case StepKind::kRaises: {
        Seen want;
        if (st.kind == StepKind::kReturns && !expected(st.value, st.line, &want)) return;
        std::vector<ScriptValue> args;
        for (const CaseValue& a : st.args) {
            ScriptValue v;
            if (!toScriptValue(a, st.line, &v)) {
                for (ScriptValue& made : args)
                    releaseValue(made);
                return;
            }
            args.push_back(v);
        }
        const Outcome o = callHandler(st, args, st.kind == StepKind::kReturns);
        if (st.kind == StepKind::kReturns) {
            if (o.raised)
                fail(st.line, who + " raised error " + std::to_string(o.code) + "; expected " +
                                  describe(st.value));
            else if (!(o.value == want))
                fail(st.line, who + " returned " +
                                  describe(o.value.type, o.value.num, o.value.text) +
                                  "; expected " + describe(st.value));
            else if (o.leftOnStack != 0)
                fail(st.line,
                     who + " left " + std::to_string(o.leftOnStack) + " values on the stack");
        } else if (!o.raised) {
            fail(st.line,
                 who + " ended without an error; expected error " + std::to_string(st.code));
        } else if (o.code != st.code) {
            fail(st.line, who + " raised error " + std::to_string(o.code) + "; expected error " +
                              std::to_string(st.code));
        }
        return;
    }
    case StepKind::kEvent: {
        const bool completed = engine.runEvent(script_, st.handler);
        if (completed != st.completes)
            fail(st.line, "the event of " + who +
                              (completed ? " completed" : " was ended by an error") +
                              "; expected it to " + (st.completes ? "complete" : "fail"));
        if (engine.stackTop() != 0)
            fail(st.line, "the event of " + who + " left " + std::to_string(engine.stackTop()) +
                              " values on the stack");
        return;
    }
    case StepKind::kGlobal: {
        const int32_t id = nameId(st.global, st.line);
        Seen want;
        if (id < 0 || !expected(st.value, st.line, &want)) return;
        const Seen got = see(engine.global(id));
        if (!(got == want))
            fail(st.line, "global " + st.global + " holds " +
                              describe(got.type, got.num, got.text) + "; expected " +
                              describe(st.value));
        return;
    }
    case StepKind::kAssemblyError:
        return; // checked when the text was compiled
    }
}

TEST_P(ScriptCase, Runs) {
    runCase();
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptCase, ::testing::ValuesIn(caseFiles()), testNameOf);
// An empty folder is reported by the test below rather than as a suite without instances.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ScriptCase);

TEST(ScriptCases, TheCaseFolderHoldsCases) {
    // A wrong folder would otherwise pass by running nothing.
    EXPECT_FALSE(caseFiles().empty()) << "no case files in " << kCaseDir;
}

} // namespace
