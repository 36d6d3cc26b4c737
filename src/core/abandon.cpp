#include "core/abandon.h"

#include <cxxabi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <typeinfo>

#include "core/errors.h"
#include "platform/win32.h"

namespace skv {

namespace {

// Constant-initialised, so that a thread that gives up while the module starts or ends finds it.
// The listener is called with it held: removal waits for a call in progress, and calls from
// several threads reach the listener one at a time.
std::mutex gListenerMutex;
AbandonListener* gListener = nullptr;
// A listener that itself gives up must not wait on the lock its own call holds.
thread_local bool tInListener = false;

// Calls the listener with the flag of this thread set, however the call ends.
void tell(AbandonListener& listener, const char* operation, const char* reason) noexcept {
    struct Flag {
        Flag() { tInListener = true; }
        ~Flag() { tInListener = false; }
    } flag;
    try {
        listener.abandoned(operation, reason);
    } catch (...) {
        // A listener that cannot take the line (out of memory) loses it; the debug output has it.
    }
}

} // namespace

void abandoned(const char* operation, const char* format, ...) noexcept {
    if (!operation) operation = "";
    char reason[1001];
    reason[0] = '\0';
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(reason, sizeof reason, format, args);
        va_end(args);
    }
    char line[sizeof reason + 200];
    std::snprintf(line, sizeof line, "abandoned %.150s: %s\n", operation, reason);
    OutputDebugStringA(line);

    if (tInListener) return;
    std::lock_guard<std::mutex> guard(gListenerMutex);
    if (gListener) tell(*gListener, operation, reason);
}

ReasonText typeNameText(const std::type_info& type) noexcept {
    // The mangled name when the readable one cannot be had.
    ReasonText out;
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::snprintf(out.text, sizeof out.text, "%s", status == 0 && name ? name : type.name());
    std::free(name);
    return out;
}

bool installAbandonListener(AbandonListener* listener) {
    std::lock_guard<std::mutex> guard(gListenerMutex);
    if (gListener || !listener) return false;
    gListener = listener;
    return true;
}

void removeAbandonListener(AbandonListener* listener) {
    std::lock_guard<std::mutex> guard(gListenerMutex);
    if (gListener == listener) gListener = nullptr;
}

const char* coreErrorMeaning(int code) {
    switch (code) {
    case kErrShortRead:
        return "short read";
    case kErrNullArgument:
        return "null argument";
    case kErrAllocFailed:
        return "allocation failed";
    default:
        return "";
    }
}

ReasonText caughtExceptionText() noexcept {
    ReasonText out;
    if (!std::current_exception()) {
        std::snprintf(out.text, sizeof out.text, "no exception");
        return out;
    }
    try {
        throw;
    } catch (const CoreError& e) {
        const char* meaning = coreErrorMeaning(e.code);
        if (*meaning)
            std::snprintf(out.text, sizeof out.text, "CoreError %d (%s)", int(e.code), meaning);
        else
            std::snprintf(out.text, sizeof out.text, "CoreError %d", int(e.code));
    } catch (const std::exception& e) {
        std::snprintf(out.text, sizeof out.text, "%.250s (%.140s)", typeNameText(typeid(e)).c_str(),
                      e.what());
    } catch (...) {
        std::snprintf(out.text, sizeof out.text, "an exception of unknown type");
    }
    return out;
}

} // namespace skv
