// Calls by name: a movie script's handler first, then the special names the interpreter answers
// itself, then the host's built-in table.
#include <cstddef>
#include <cstdlib>

#include "core/abandon.h"
#include "script/script.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

namespace {

// Exact, case-sensitive comparison with a special name, inline: calls by name run for every
// "return" of a handler.
template <size_t N> bool isName(const char* name, const char (&special)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (name[i] != special[i]) return false;
    return true;
}

} // namespace

bool ScriptEngine::callByName(int32_t nameId, int32_t argc, bool wantResult, int32_t callerArgc) {
    MovieHandler found = findMovieHandler(nameId);
    if (found.state == MovieHandler::kFound) {
        runHandler(found.script, found.index, argc, wantResult);
        return false;
    }
    // The movie script that would have it has not arrived: the call does nothing yet.
    if (found.state == MovieHandler::kScriptAbsent) return false;

    const char* name = nameOf(nameId);
    if (!name) fail(kScriptNameWithoutText);
    if (argc < 0 || argc > top_) fail(kScriptStackLimit);

    if (isName(name, "return")) {
        if (argc >= 1) {
            ScriptValue v = pop();
            ScriptValue c = copyValue(v);
            releaseValue(v);
            releaseValue(result);
            result = c;
        }
        return true; // the caller's frame is restored when it ends, arguments and all
    }

    ScriptValue value = specialOrBuiltin(name, argc, callerArgc);
    drop(argc);
    if (wantResult) {
        if (top_ >= kMaxValues) {
            releaseValue(value);
            fail(kScriptStackLimit);
        }
        push(value);
    } else {
        releaseValue(value);
    }
    return isName(name, "exit");
}

ScriptValue ScriptEngine::specialOrBuiltin(const char* name, int32_t argc, int32_t callerArgc) {
    const ScriptValue* args = stack_.get() + (top_ - argc + 1);
    const ScriptValue first = argc >= 1 ? args[0] : ScriptValue{};
    auto is = [name](const auto& special) { return isName(name, special); };
    auto flag = [](bool b) { return ScriptValue::integer(b ? 1 : 0); };

    if (is("abort")) {
        abortFlag = true;
        return {};
    }
    if (is("pause")) {
        host_->pause();
        return {};
    }
    if (is("continue")) {
        host_->resume();
        return {};
    }
    if (is("clearGlobals")) {
        clearGlobals();
        return {};
    }
    if (is("delay")) {
        host_->delay(first.asInt());
        return {};
    }
    if (is("ilk")) return ScriptValue::integer(1);
    if (is("integerp")) return flag(first.type == vtInteger);
    if (is("floatp")) return flag(first.type == vtFloat);
    if (is("param")) {
        // The k-th argument of the running handler, when only its arguments lie below this
        // call's own; anything outside the stack reads as vtNone.
        int64_t at = int64_t(top_) + 1 - argc - callerArgc + first.asInt() - 1;
        if (at < 1 || at > top_) return {};
        return copyValue(stack_[static_cast<size_t>(at)]);
    }
    if (is("paramCount")) return ScriptValue::integer(callerArgc);
    if (is("result")) return copyValue(result);
    if (is("stringp")) return flag(first.isText());
    if (is("symbolp")) return flag(first.type == vtSymbol);
    if (is("voidp")) return flag(first.type == vtVoid);
    if (is("abs")) {
        int32_t v = first.asInt();
        uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        return ScriptValue::of(first.holdsPointer() ? uint32_t(vtInteger) : first.type,
                               static_cast<int32_t>(magnitude));
    }
    if (is("put")) return ScriptValue::integer(0);
    if (is("exit")) return {};

    try {
        return host_->callBuiltin(*this, name, args, argc);
    } catch (const ProxyError& e) {
        ScriptError call;
        locate(call);
        const ReasonText where = placeText(call);
        abandoned("built-in", "%s gives void: ProxyError %d (%s)%s%s", name, int(e.code),
                  scriptErrorMeaning(e.code), where.text[0] ? ", called" : "", where.c_str());
        return ScriptValue::voidValue();
    }
}

} // namespace skv
