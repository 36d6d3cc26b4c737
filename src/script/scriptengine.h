// ScriptEngine: the movie-wide script tables and the interpreter that runs handlers on them.
//
// One engine per skvScriptRuntime. The stream fills the tables (script list, name table, frame
// labels, cast names); attach() links the engine to the score, which answers script lookups, and
// to the player, and creates the globals. Handlers then run on a value stack of 1024 slots (slot 0
// unused), which is empty between events. The engine runs on the player's thread only and has no
// locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/win32.h"
#include "script/framelabels.h"
#include "script/nametables.h"
#include "script/scripthost.h"
#include "script/scriptvalue.h"

namespace skv {

class skvObject;
class skvPlayer;
class skvScript;
class uArchive;
struct HandlerInfo;
class ScriptBlock;
struct ScriptError;

// The score's object lookup, through which scripts are found by identifier.
class ScriptObjectLookup {
public:
    virtual ~ScriptObjectLookup() = default;
    virtual skvObject* lookupObject(const GUID& objectId) = 0;
};

struct ScriptEntry {
    int32_t key = 0;       // the score element a non-movie script belongs to
    int32_t scriptRef = 0; // which skvScript
    int32_t isMovieScript = 0;
};

// What the movie script search found.
struct MovieHandler {
    enum State { kNotFound, kScriptAbsent, kFound };
    State state = kNotFound;
    skvScript* script = nullptr;
    int32_t index = -1;
};

class ScriptEngine {
public:
    static constexpr int32_t kStackSlots = 1024;
    static constexpr int32_t kMaxValues = kStackSlots - 1;
    // Nested handler calls each take a native frame; the engine thread's stack is small.
    static constexpr int32_t kMaxCallDepth = 100;

    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // --- tables ---------------------------------------------------------------------------

    // The engine's part of the runtime's stream body: script list, names, labels, cast names.
    void serializeBody(uArchive& ar);

    std::vector<ScriptEntry> scripts;
    NameTable names;
    FrameLabelTable labels;
    bool hasLabels = false; // false: the stream carried no label table
    CastNameTable castNames;

    // The skvScript of a scriptRef, or null while it has not arrived (or before attach).
    skvScript* scriptFor(int32_t scriptRef) const;
    int32_t nameIdOf(std::string_view text) const { return names.nameIdOf(text); }
    const char* nameOf(int32_t nameId) const { return names.nameOf(nameId); }

    // The first movie script with a handler for nameId (searched in script list order).
    MovieHandler findMovieHandler(int32_t nameId) const;

    // --- links and state ------------------------------------------------------------------

    // Stores both links; the first time also creates the globals (one per name then in the table)
    // and gives the host its player. Later calls keep the globals.
    void attach(ScriptObjectLookup* score, skvPlayer* player);
    bool initialised() const { return initialised_; }
    ScriptObjectLookup* score() const { return score_; }
    skvPlayer* player() const { return player_; }

    ScriptHost& host() { return *host_; }
    void setHost(std::unique_ptr<ScriptHost> host);

    int32_t globalCount() const { return static_cast<int32_t>(globals_.size()); }
    // vtNone for an id without a global.
    const ScriptValue& global(int32_t nameId) const;
    void setGlobal(int32_t nameId, const ScriptValue& value); // stores a copy
    void clearGlobals();

    ScriptValue result = ScriptValue::voidValue();
    bool abortFlag = false;

    // Ends a run (an outermost handler and all it calls) after this many backward jumps and calls
    // with error 8005 (0: no limit), so that
    // an untrusted script cannot hold a caller forever. For tools and tests; the player sets none.
    void setStepLimit(uint64_t steps) { stepLimit_ = steps; }

    // --- running --------------------------------------------------------------------------

    // Runs handler `index` of `script` with the top `argc` stack values as its arguments. A
    // handler that is absent runs as an empty one. Errors propagate as ScriptError / CoreError.
    void runHandler(skvScript* script, int32_t index, int32_t argc, bool wantResult);
    // callExternal: a movie script's handler, a special name or a built-in. True when the calling
    // handler must stop ("return", "exit").
    bool callByName(int32_t nameId, int32_t argc, bool wantResult, int32_t callerArgc);
    // The event catch point: runs a handler with no arguments and no result; any error ends it
    // silently (its reason goes to core/abandon.h, a script error also to *error). The stack is
    // empty afterwards. False when an error ended it.
    bool runEvent(skvScript* script, int32_t index, ScriptError* error = nullptr);
    // Fills in where an error that is not yet located happened: the instruction the interpreter
    // last wrote its state back at, in the handler that was running then.
    void locate(ScriptError& error) const;

    // --- the value stack ------------------------------------------------------------------

    int32_t stackTop() const { return top_; }
    // Slot i (1 .. stackTop()).
    const ScriptValue& slot(int32_t i) const { return stack_[static_cast<size_t>(i)]; }
    // Push and pop move values; a full or empty stack raises 8005.
    void push(const ScriptValue& v);
    ScriptValue pop();
    // Removes n values, releasing them.
    void drop(int32_t n);
    // Releases everything on the stack.
    void resetStack();

private:
    // One running handler: its frame on the stack and the call it is preparing.
    struct Activation {
        skvScript* script = nullptr;
        int32_t argc = 0; // what it was called with
        int32_t paramBase = 0;
        int32_t paramSlots = 0; // declared parameters or arguments, whichever are more
        int32_t localBase = 0;
        int32_t localCount = 0;
        int32_t pendingArgc = 0;
        bool pendingWant = false;
    };
    // A handler that callLocal started inside the running loop: its activation and what the
    // caller continues with when it ends. One per call depth, so the loop needs no native frame
    // for calls within a script.
    struct LocalCall {
        Activation act;
        Activation* callerAct = nullptr;
        const HandlerInfo* callerHandler = nullptr;
        uint32_t callerPc = 0;
        int32_t savedTop = 0;
        bool wantResult = false;
    };
    // Where the running handler was when the interpreter last wrote its state back (SKV_SYNC):
    // before every call, host operation and error. An error raised then, in the loop or in what
    // it called, happened there; a handler called natively gives its caller's place back when it
    // returns.
    struct Place {
        const skvScript* script = nullptr;
        const HandlerInfo* handler = nullptr;
        const uint8_t* ip = nullptr;
    };

    void execute(Activation& act, const ScriptBlock& block, const HandlerInfo& h);
    void countStep();
    void unwindTo(int32_t savedTop);
    [[noreturn]] void fail(int32_t code);

    // Slow paths of the loop, each working on the synchronised stack.
    void getChunkOp();
    void putChunkOp(Activation& act, int32_t mode);
    void deleteChunkOp(Activation& act);
    bool localIsLive(const Activation& act, uint32_t index) const;
    void propertyOp(uint8_t op, int32_t operand, int32_t formatVersion);
    ScriptValue specialOrBuiltin(const char* name, int32_t argc, int32_t callerArgc);

    std::unique_ptr<ScriptValue[]> stack_;
    int32_t top_ = 0;
    std::vector<ScriptValue> globals_;
    std::unique_ptr<ScriptHost> host_;
    ScriptObjectLookup* score_ = nullptr;
    skvPlayer* player_ = nullptr;
    bool initialised_ = false;
    int32_t globalsWanted_ = 0; // the name count when the tables were last loaded
    int32_t depth_ = 0;
    std::unique_ptr<LocalCall[]> localCalls_; // indexed by depth_
    uint64_t stepLimit_ = 0;
    uint64_t steps_ = 0;
    Place place_;
};

} // namespace skv
