#include "scriptcheck.h"

#include <set>

#include "script/asmnames.h"
#include "script/builtins.h"

namespace skvc {

namespace {

bool isMovieScript(const CompiledMember& m) {
    for (const ScriptAttachment& a : m.attached)
        if (a.isMovieScript) return true;
    return false;
}

// "the sprite or frame script 10 (square.sks)", "the script of member 1 (member 8, ball.sks)".
std::string scriptName(const CompiledMember& m) {
    if (m.spriteScript)
        return "the sprite or frame script " + std::to_string(m.number) + " (" + m.scriptFile + ")";
    std::string s = "the script of member";
    for (size_t i = 0; i < m.attached.size(); ++i)
        s += (i ? ", " : " ") + std::to_string(m.attached[i].key);
    return s + " (member " + std::to_string(m.number) + ", " + m.scriptFile + ")";
}

} // namespace

void checkScripts(const std::map<int32_t, const CompiledMember*>& members,
                  std::vector<BuildWarning>* warnings) {
    std::vector<const CompiledMember*> scripts;
    for (const auto& [number, m] : members)
        if (m->kind == MemberKindId::Script) scripts.push_back(m);

    std::set<std::string> movieHandlers, called, mentioned;
    for (const CompiledMember* s : scripts) {
        if (isMovieScript(*s))
            for (const skv::AsmName& h : s->scriptUses.handlers)
                movieHandlers.insert(h.name);
        for (const skv::AsmName& c : s->scriptUses.calls)
            called.insert(c.name);
        mentioned.insert(s->scriptUses.mentioned.begin(), s->scriptUses.mentioned.end());
    }

    for (const CompiledMember* s : scripts) {
        for (const skv::AsmName& c : s->scriptUses.calls) {
            if (movieHandlers.count(c.name) || skv::asmIsCallable(c.name)) continue;
            const SourcePlace place{s->scriptFile, c.line, ""};
            for (const CompiledMember* other : scripts)
                for (const skv::AsmName& h : other->scriptUses.handlers)
                    if (h.name == c.name)
                        throw BuildError(place, "'" + c.name + "' is a handler of " +
                                                    scriptName(*other) +
                                                    ", and a call by name reaches the handlers "
                                                    "of movie scripts only: move it to a script "
                                                    "with attach = \"movie\", or call it from its "
                                                    "own script" +
                                                    (s->scriptFile.ends_with(".sky")
                                                         ? std::string()
                                                         : std::string(" with callLocal")));
            std::vector<std::string_view> candidates(movieHandlers.begin(), movieHandlers.end());
            for (std::string_view n : skv::asmInterpreterNames())
                candidates.push_back(n);
            for (int32_t i = 0; i < skv::builtinCount(); ++i)
                candidates.push_back(skv::builtinTable()[i].name);
            const std::string near = skv::asmNearName(c.name, candidates);
            throw BuildError(place, "'" + c.name + "' is no handler of a movie script and no " +
                                        "built-in" +
                                        (near.empty() ? ": write the handler in a script with "
                                                        "attach = \"movie\""
                                                      : "; did you mean " + near + "?"));
        }
    }

    for (const CompiledMember* s : scripts)
        for (const skv::AsmName& h : s->scriptUses.handlers) {
            if (called.count(h.name) || mentioned.count(h.name)) continue;
            const std::string typo = skv::asmEventTypo(h.name);
            if (!typo.empty()) warnings->push_back({SourcePlace{s->scriptFile, h.line, ""}, typo});
        }
}

} // namespace skvc
