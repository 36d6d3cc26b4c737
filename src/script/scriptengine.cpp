#include "script/scriptengine.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/abandon.h"
#include "core/archive.h"
#include "core/errors.h"
#include "core/guid.h"
#include "script/script.h"
#include "script/scripterror.h"

namespace skv {

namespace {

// A count read from the stream beyond this is corruption, not a movie.
constexpr int32_t kMaxTableCount = 1 << 20;

int32_t readCount(uArchive& ar) {
    int32_t n = ar.readInt32();
    if (n < 0 || n > kMaxTableCount) {
        abandoned("ScriptEngine::serializeBody", "a table count of %d is outside 0 to %d", int(n),
                  int(kMaxTableCount));
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
    return n;
}

} // namespace

ScriptEngine::ScriptEngine()
    : stack_(std::make_unique<ScriptValue[]>(kStackSlots)), host_(std::make_unique<ScriptHost>()),
      localCalls_(std::make_unique<LocalCall[]>(kMaxCallDepth)) {}

ScriptEngine::~ScriptEngine() {
    resetStack();
    for (ScriptValue& g : globals_)
        releaseValue(g);
    releaseValue(result);
}

void ScriptEngine::serializeBody(uArchive& ar) {
    if (ar.isStoring()) {
        ar.writeInt32(static_cast<int32_t>(scripts.size()));
        for (const ScriptEntry& e : scripts)
            ar.writeInt32(e.key).writeInt32(e.scriptRef).writeInt32(e.isMovieScript);
        ar.writeInt32(names.count());
        for (const std::string& n : names.names())
            ar.writeString(n.c_str());
        const std::vector<uint8_t>& lb = labels.bytes();
        int32_t k = hasLabels ? static_cast<int32_t>(lb.size()) : 0;
        ar.writeInt32(k);
        if (k) ar.write(lb.data(), k);
        ar.writeInt32(static_cast<int32_t>(castNames.entries().size()));
        for (const auto& entry : castNames.entries()) {
            ar.writeString(entry.first.c_str());
            ar.writeInt32(castNames.castNumberOf(entry.first));
        }
        return;
    }

    scripts.clear();
    names.clear();
    labels = FrameLabelTable();
    hasLabels = false;
    castNames.clear();

    int32_t s = readCount(ar);
    for (int32_t i = 0; i < s; ++i) {
        ScriptEntry e;
        e.key = ar.readInt32();
        e.scriptRef = ar.readInt32();
        e.isMovieScript = ar.readInt32();
        scripts.push_back(e);
    }

    int32_t m = readCount(ar);
    std::vector<std::string> nameList;
    for (int32_t i = 0; i < m; ++i)
        nameList.emplace_back(ar.readStringNew().get());
    names.assign(std::move(nameList));
    globalsWanted_ = m;

    int32_t k = ar.readInt32();
    if (k < 0 || k > (64 << 20)) {
        abandoned("ScriptEngine::serializeBody", "the label table's length %d is outside 0 to %d",
                  int(k), 64 << 20);
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
    if (k > 0) {
        // Grow as the bytes arrive: a lying length on a short stream fails at the short read.
        std::vector<uint8_t> bytes;
        size_t have = 0;
        while (have < size_t(k)) {
            size_t chunk = std::min<size_t>(size_t(k) - have, std::max<size_t>(have, 4096));
            bytes.resize(have + chunk);
            ar.read(bytes.data() + have, static_cast<int32_t>(chunk));
            have += chunk;
        }
        labels = FrameLabelTable(std::move(bytes));
        hasLabels = true;
    }

    int32_t c = readCount(ar);
    std::vector<std::pair<std::string, int32_t>> cast;
    for (int32_t i = 0; i < c; ++i) {
        std::string name = ar.readStringNew().get();
        int32_t number = ar.readInt32();
        cast.emplace_back(std::move(name), number);
    }
    castNames.assign(std::move(cast));
}

skvScript* ScriptEngine::scriptFor(int32_t scriptRef) const {
    if (!score_) return nullptr;
    // Another kind of object under a script's identifier is no script.
    return dynamic_cast<skvScript*>(score_->lookupObject(memberGuid(scriptRef)));
}

MovieHandler ScriptEngine::findMovieHandler(int32_t nameId) const {
    MovieHandler r;
    for (const ScriptEntry& e : scripts) {
        if (!e.isMovieScript) continue;
        skvScript* s = scriptFor(e.scriptRef);
        r.state = MovieHandler::kScriptAbsent;
        if (!s) continue;
        int32_t index = s->findHandler(nameId);
        if (index >= 0) return {MovieHandler::kFound, s, index};
        r.state = MovieHandler::kNotFound;
    }
    return r;
}

void ScriptEngine::attach(ScriptObjectLookup* score, skvPlayer* player) {
    score_ = score;
    player_ = player;
    if (initialised_) return;
    globals_.assign(static_cast<size_t>(std::max(globalsWanted_, names.count())), ScriptValue{});
    releaseValue(result);
    result = ScriptValue::voidValue();
    host_->setPlayer(player);
    initialised_ = true;
}

void ScriptEngine::setHost(std::unique_ptr<ScriptHost> host) {
    host_ = host ? std::move(host) : std::make_unique<ScriptHost>();
    if (initialised_) host_->setPlayer(player_);
}

const ScriptValue& ScriptEngine::global(int32_t nameId) const {
    static const ScriptValue kNone{};
    if (nameId < 0 || nameId >= globalCount()) return kNone;
    return globals_[static_cast<size_t>(nameId)];
}

void ScriptEngine::setGlobal(int32_t nameId, const ScriptValue& value) {
    if (nameId < 0 || nameId >= globalCount()) return;
    ScriptValue& g = globals_[static_cast<size_t>(nameId)];
    ScriptValue c = copyValue(value);
    releaseValue(g);
    g = c;
}

void ScriptEngine::clearGlobals() {
    for (ScriptValue& g : globals_) {
        releaseValue(g);
        g = ScriptValue{};
    }
}

void ScriptEngine::push(const ScriptValue& v) {
    if (top_ >= kMaxValues) throw ScriptError{kScriptStackLimit};
    stack_[static_cast<size_t>(++top_)] = v;
}

ScriptValue ScriptEngine::pop() {
    if (top_ <= 0) throw ScriptError{kScriptStackLimit};
    return stack_[static_cast<size_t>(top_--)];
}

void ScriptEngine::drop(int32_t n) {
    if (n < 0 || n > top_) throw ScriptError{kScriptStackLimit};
    while (n-- > 0)
        releaseValue(stack_[static_cast<size_t>(top_--)]);
}

void ScriptEngine::resetStack() {
    while (top_ > 0)
        releaseValue(stack_[static_cast<size_t>(top_--)]);
}

void ScriptEngine::locate(ScriptError& error) const {
    const HandlerInfo* h = place_.handler;
    const skvScript* s = place_.script;
    if (!h || !s) return;
    // A script is stored under the identifier its number makes.
    error.script = static_cast<int32_t>(s->objectId.Data1);
    const char* name = nameOf(h->nameId);
    error.handler = name ? name : "";
    const ScriptBlock* block = s->block.get();
    if (!block) return;
    for (int32_t i = 0; i < block->handlerCount(); ++i)
        if (block->handler(i) == h) error.handlerIndex = i;
    // Compared as addresses: a place noted in another block (one replaced since) gives none.
    const uintptr_t ip = reinterpret_cast<uintptr_t>(place_.ip);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(block->data()) + h->codeOffset;
    if (ip >= begin && ip - begin <= block->length())
        error.offset = static_cast<int32_t>(ip - begin);
}

bool ScriptEngine::runEvent(skvScript* script, int32_t index, ScriptError* error) {
    abortFlag = false;
    bool ok = false;
    // Any failure ends the event; the next one starts clean.
    try {
        runHandler(script, index, 0, false);
        ok = true;
    } catch (const ScriptError& e) {
        abandoned("runEvent", "%s", scriptErrorText(e).c_str());
        if (error) *error = e;
    } catch (...) {
        abandoned("runEvent", "%s", caughtScriptExceptionText().c_str());
    }
    resetStack();
    depth_ = 0;
    steps_ = 0;
    return ok;
}

} // namespace skv
