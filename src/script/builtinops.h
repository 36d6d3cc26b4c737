// The operations of the built-in table, by the file that holds them. Each takes the call's host,
// engine and argument payloads and returns the result's payload in a value; the table gives the
// result its type.
#pragma once

#include "script/builtins.h"

namespace skv::builtin {

// Shared by the operations that only exist so that scripts for a richer environment run.
ScriptValue nothing(BuiltinCall& c);
// The unsupported forms (other movies, running text as script).
[[noreturn]] ScriptValue unsupported(BuiltinCall& c);

// builtins_text.cpp
ScriptValue chars(BuiltinCall& c);
ScriptValue charToNum(BuiltinCall& c);
ScriptValue numToChar(BuiltinCall& c);
ScriptValue length(BuiltinCall& c);
ScriptValue offsetText(BuiltinCall& c);
ScriptValue integerSame(BuiltinCall& c);
ScriptValue integerText(BuiltinCall& c);
ScriptValue integerUnsupported(BuiltinCall& c);
ScriptValue stringInteger(BuiltinCall& c);
ScriptValue stringText(BuiltinCall& c);
ScriptValue stringSymbol(BuiltinCall& c);
ScriptValue stringPoint(BuiltinCall& c);
ScriptValue stringRect(BuiltinCall& c);

// builtins_points.cpp
ScriptValue point(BuiltinCall& c);
ScriptValue rect(BuiltinCall& c);
ScriptValue rectOfPoints(BuiltinCall& c);
ScriptValue inflate(BuiltinCall& c);
ScriptValue inside(BuiltinCall& c);
ScriptValue intersect(BuiltinCall& c);
ScriptValue unionRect(BuiltinCall& c);
ScriptValue offsetRect(BuiltinCall& c);

// builtins_movie.cpp
ScriptValue goFrame(BuiltinCall& c);
ScriptValue goLabel(BuiltinCall& c);
ScriptValue goMarker(BuiltinCall& c);
ScriptValue playFrame(BuiltinCall& c);
ScriptValue playLabel(BuiltinCall& c);
ScriptValue label(BuiltinCall& c);
ScriptValue marker(BuiltinCall& c);
ScriptValue halt(BuiltinCall& c);
ScriptValue updateStage(BuiltinCall& c);
ScriptValue castByNumber(BuiltinCall& c);
ScriptValue castByName(BuiltinCall& c);
ScriptValue puppetSprite(BuiltinCall& c);
ScriptValue puppetSpriteGlobal(BuiltinCall& c);
ScriptValue puppetPaletteByName(BuiltinCall& c);
ScriptValue puppetSoundByName(BuiltinCall& c);
ScriptValue puppetSoundSecondName(BuiltinCall& c);
ScriptValue puppetSoundOff(BuiltinCall& c);
ScriptValue puppetTransition(BuiltinCall& c);
ScriptValue rollOver(BuiltinCall& c);
ScriptValue rollOverGlobal(BuiltinCall& c);
ScriptValue soundFadeOrStop(BuiltinCall& c);
ScriptValue soundPlayFile(BuiltinCall& c);
ScriptValue soundFadeTicks(BuiltinCall& c);
ScriptValue soundBusy(BuiltinCall& c);
ScriptValue cursor(BuiltinCall& c);

// builtins_system.cpp
ScriptValue alert(BuiltinCall& c);
ScriptValue beep(BuiltinCall& c);
ScriptValue random(BuiltinCall& c);
ScriptValue startTimer(BuiltinCall& c);
ScriptValue pass(BuiltinCall& c);
ScriptValue dontPassEvent(BuiltinCall& c);

// builtins_net.cpp
ScriptValue gotoNetPage(BuiltinCall& c);
ScriptValue getNetText(BuiltinCall& c);
ScriptValue preloadNetThing(BuiltinCall& c);
ScriptValue netDoneLatest(BuiltinCall& c);
ScriptValue netDone(BuiltinCall& c);
ScriptValue netTextResult(BuiltinCall& c);
ScriptValue getLatestNetID(BuiltinCall& c);
ScriptValue netGravityLog(BuiltinCall& c);

} // namespace skv::builtin
