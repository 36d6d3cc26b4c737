// The instructions that work on several stack values at once: chunk expressions and the
// property opcodes. Each runs with the engine's stack top up to date.
#include <cstdio>
#include <string>

#include "script/chunks.h"
#include "script/opcodes.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

namespace {

// A value that is released when it goes out of scope.
struct Held {
    ScriptValue v;
    ~Held() { releaseValue(v); }
};

ChunkBounds boundsFrom(const ScriptValue* eight) {
    ChunkBounds b;
    b.charFirst = eight[0].asInt();
    b.charLast = eight[1].asInt();
    b.wordFirst = eight[2].asInt();
    b.wordLast = eight[3].asInt();
    b.itemFirst = eight[4].asInt();
    b.itemLast = eight[5].asInt();
    b.lineFirst = eight[6].asInt();
    b.lineLast = eight[7].asInt();
    return b;
}

} // namespace

// A local exists while its slot lies at or below the top: a handler that popped below its frame
// has moved the values of the slots above.
bool ScriptEngine::localIsLive(const Activation& act, uint32_t index) const {
    return index < static_cast<uint32_t>(act.localCount) &&
           int64_t(act.localBase) + index <= int64_t(top_);
}

void ScriptEngine::getChunkOp() {
    Held text{pop()};
    ChunkBounds b = boundsFrom(stack_.get() + top_ - 7);
    drop(8);
    Held t{toText(text.v)};
    std::string_view s = t.v.text();
    ChunkRange r = findChunk(s, b, host_->itemDelimiter(), false);
    push(makeString(s.substr(r.start, r.end - r.start)));
}

void ScriptEngine::putChunkOp(Activation& act, int32_t mode) {
    Held ref{pop()};
    ChunkBounds b = boundsFrom(stack_.get() + top_ - 7);
    drop(8);
    Held insert{pop()};
    if (mode != 0x15 && mode != 0x25 && mode != 0x35) fail(kScriptBadChunkMode);
    uint32_t index = static_cast<uint32_t>(ref.v.asInt()) >> 3;
    if (!localIsLive(act, index)) return;
    ScriptValue& local = stack_[static_cast<size_t>(act.localBase) + index];
    Held oldText{toText(local)};
    Held newText{toText(insert.v)};
    std::string_view t = oldText.v.text();
    ChunkRange r = findChunk(t, b, host_->itemDelimiter(), false);
    std::string out;
    switch (mode) {
    case 0x15:
        out.append(t.substr(0, r.start)).append(newText.v.text()).append(t.substr(r.end));
        break;
    case 0x25:
        out.append(t.substr(0, r.end)).append(newText.v.text()).append(t.substr(r.end));
        break;
    default:
        out.append(t.substr(0, r.start)).append(newText.v.text()).append(t.substr(r.start));
        break;
    }
    ScriptValue replaced = makeString(out);
    releaseValue(local);
    local = replaced;
}

void ScriptEngine::deleteChunkOp(Activation& act) {
    Held ref{pop()};
    ChunkBounds b = boundsFrom(stack_.get() + top_ - 7);
    drop(8);
    uint32_t index = static_cast<uint32_t>(ref.v.asInt()) >> 3;
    if (!localIsLive(act, index)) return;
    ScriptValue& local = stack_[static_cast<size_t>(act.localBase) + index];
    Held oldText{toText(local)};
    std::string_view t = oldText.v.text();
    ChunkRange r = findChunk(t, b, host_->itemDelimiter(), true);
    std::string out(t.substr(0, r.start));
    out.append(t.substr(r.end));
    ScriptValue replaced = makeString(out);
    releaseValue(local);
    local = replaced;
}

void ScriptEngine::propertyOp(uint8_t op, int32_t n, int32_t formatVersion) {
    const char* name = nameOf(n);
    switch (opBase(op)) {
    case opGetEntity: {
        ScriptValue v = host_->getEntity(*this, n, formatVersion);
        if (top_ >= kMaxValues) {
            releaseValue(v);
            fail(kScriptStackLimit);
        }
        push(v);
        return;
    }
    case opSetEntity:
        host_->setEntity(*this, n, formatVersion);
        return;
    case opGetNamedProp:
    case opGetNamedPropAlt: {
        if (top_ >= kMaxValues) fail(kScriptStackLimit);
        ScriptValue v;
        // An unknown name reads as the current result.
        if (!name || !host_->getNamedProp(*this, name, &v)) v = copyValue(result);
        push(v);
        return;
    }
    case opSetNamedProp: {
        Held v{pop()};
        if (name) host_->setNamedProp(*this, name, v.v);
        return;
    }
    case opGetObjectProp: {
        Held object{pop()};
        ScriptValue v = ScriptValue::voidValue();
        if (name) host_->getObjectProp(*this, name, object.v, &v);
        push(v); // there is room: the object's slot was just freed
        return;
    }
    case opSetObjectProp: {
        Held v{pop()};
        Held object{pop()};
        if (name) host_->setObjectProp(*this, name, v.v);
        return;
    }
    default:
        return;
    }
}

} // namespace skv
