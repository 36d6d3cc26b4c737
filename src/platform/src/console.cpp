// Console control events over POSIX signals. The signal handler only writes the signal number to a
// pipe; a dispatcher thread reads it and calls the handlers, so handlers may take locks, set
// events and close sockets like any other code.
//
// The dispatcher is a plain system thread, not one made by CreateThread: it spends its life
// blocked in a read the virtual clock cannot see, and must not count as a running participant.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wincon.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Console {
    std::mutex mu;
    std::vector<PHANDLER_ROUTINE> handlers;
    bool ignoreCtrlC = false;
    int pipeRead = -1;
    int pipeWrite = -1;
};

Console& console() {
    static Console* c = new Console; // never destroyed: the dispatcher outlives main
    return *c;
}

// Written once before the signal handlers are installed; read only by them.
int gSignalPipe = -1;

extern "C" void onSignal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe means events are already waiting; dropping this one loses nothing useful.
    ssize_t ignored = write(gSignalPipe, &byte, 1);
    (void)ignored;
    errno = saved;
}

DWORD eventFor(int sig) {
    return sig == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT;
}

void dispatch(int sig) {
    Console& c = console();
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard<std::mutex> lk(c.mu);
        if (sig == SIGINT && c.ignoreCtrlC) return;
        handlers = c.handlers;
    }
    DWORD type = eventFor(sig);
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
        if ((*it)(type)) return;
    // Nobody handled it: end the process as the signal would have.
    signal(sig, SIG_DFL);
    raise(sig);
}

void dispatcherMain(int fd) {
    for (;;) {
        unsigned char byte = 0;
        ssize_t n = read(fd, &byte, 1);
        if (n == 1)
            dispatch(byte);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return;
    }
}

// Installs the signal handlers and starts the dispatcher on first use; false when the system
// refuses a pipe.
bool ensureStarted(Console& c) {
    if (c.pipeRead >= 0) return true;
    int fds[2];
    if (pipe(fds) != 0) return false;
    for (int fd : fds)
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    c.pipeRead = fds[0];
    c.pipeWrite = fds[1];
    gSignalPipe = fds[1];
    std::thread(dispatcherMain, fds[0]).detach();
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        sigaction(sig, &sa, nullptr);
    return true;
}

} // namespace

extern "C" SKV_PLATFORM_API BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    Console& c = console();
    std::lock_guard<std::mutex> lk(c.mu);
    if (!ensureStarted(c)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!handler) {
        c.ignoreCtrlC = add != FALSE;
        return TRUE;
    }
    if (add) {
        c.handlers.push_back(handler);
        return TRUE;
    }
    auto it = std::find(c.handlers.rbegin(), c.handlers.rend(), handler);
    if (it == c.handlers.rend()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    c.handlers.erase(std::next(it).base());
    return TRUE;
}
