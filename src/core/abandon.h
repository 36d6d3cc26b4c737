// Abandoned operations: why something was given up.
//
// The player meets bad input and failures all the time and is built to carry on: a picture that
// does not decode stays blank, a stream that breaks off ends, a handler that fails ends its event.
// Each such place returns a null, a code or a status, and abandoned() says which check failed or
// what was thrown, so that the reason is not lost with it:
//
//     abandoned("readBMP", "the width %d is not positive", w);
//
// The line goes to the debug output ("abandoned readBMP: the width -3 is not positive", shown on
// standard error when SKV_DEBUG is set) and to the one listener a higher layer may install (the
// event log writes it as a line of its own). It may be called from any thread.
#pragma once

#include "platform/win32.h"
#include <cstddef>
#include <typeinfo>

namespace skv {

class AbandonListener {
public:
    // On the thread that gave up; calls never overlap. A call made from inside it reaches only
    // the debug output.
    virtual void abandoned(const char* operation, const char* reason) = 0;

protected:
    ~AbandonListener() = default;
};

// Records that `operation` was given up, and why (printf-style; cut at 1000 characters). It
// never throws: it is called in the handlers that keep a failure from going further.
void abandoned(const char* operation, const char* format, ...) noexcept
    __attribute__((format(SKV_PRINTF_FORMAT, 2, 3)));

// Makes `listener` the process's listener. False, and nothing changes, when one is installed.
bool installAbandonListener(AbandonListener* listener);
// Removes `listener` if it is the one installed. Once this returns no call to it is running, and
// none will start.
void removeAbandonListener(AbandonListener* listener);

// A reason's text in a buffer of its own, so that it can be made in a handler of bad_alloc too:
// only the demangling of a type's name asks for memory, and when none comes the mangled name is
// used.
struct ReasonText {
    static constexpr size_t kSize = 400;
    char text[kSize] = {};
    const char* c_str() const { return text; }
};

// The exception being handled, for a reason: "CoreError 666 (short read)", "std::bad_alloc
// (std::bad_alloc)", "an exception of unknown type". Call it inside a handler only; a layer with
// exception families of its own handles those first and then falls back to this.
ReasonText caughtExceptionText() noexcept;
// A type's name as it is written in the source ("skv::NetworkThread").
ReasonText typeNameText(const std::type_info& type) noexcept;
// The meaning of a CoreError code, "" for one that is not the core's.
const char* coreErrorMeaning(int code);

} // namespace skv
