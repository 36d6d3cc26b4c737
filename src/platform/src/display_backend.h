// The interface a display backend implements, and what the window system asks of the running one.
#pragma once

#include <memory>
#include <string>

#include "platform/display.h"

namespace skv::platform::display {

class Backend {
public:
    virtual ~Backend() = default;
    virtual DisplayBackend kind() const = 0;
    // See pumpDisplay.
    virtual void pump() {}
    // Shows a message box and answers the button chosen (0 on failure).
    virtual int messageBox(const MessageBoxRecord& box) = 0;
    virtual bool windowPosition(int* x, int* y) { return false; }
};

// The SDL2 backend; null, with the reason in `error`, when it cannot open its window.
std::unique_ptr<Backend> makeSdlBackend(std::string* error);

// Starts the default backend if none runs yet (called when the first window is made).
void ensureBackend();

// The buttons of a message box type, and the one it gives by default.
int defaultAnswer(UINT type);
bool isAnswerOf(UINT type, int answer);

} // namespace skv::platform::display
