// Input scripts: the thread that delivers the events on time.
#include <atomic>
#include <mutex>

#include "kernel.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace skv::platform {

namespace {

// The delivering thread: one at a time.
struct Runner {
    std::mutex mu;
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;
    std::atomic<size_t> pending{0};
};

Runner& runner() {
    static auto* r = new Runner;
    return *r;
}

struct Job {
    std::vector<InputEvent> events;
    uint64_t startMs;
    HANDLE stop;
};

void deliver(const InputEvent& e) {
    switch (e.kind) {
    case InputEvent::Kind::Move:
        injectMouseMove(e.x, e.y);
        break;
    case InputEvent::Kind::ButtonDown:
    case InputEvent::Kind::ButtonUp:
        injectMouseButton(e.button, e.kind == InputEvent::Kind::ButtonDown, e.x, e.y);
        break;
    case InputEvent::Kind::KeyDown:
    case InputEvent::Kind::KeyUp:
        injectKey(e.virtualKey, e.kind == InputEvent::Kind::KeyDown);
        break;
    }
}

DWORD WINAPI runScript(LPVOID param) {
    std::unique_ptr<Job> job(static_cast<Job*>(param));
    {
        kernel::Lock lk = kernel::lockScheduler();
        kernel::currentThread().clockFirst = true;
    }
    for (const InputEvent& e : job->events) {
        for (;;) {
            const uint64_t now = clockNowMs();
            const uint64_t at = job->startMs + e.atMs;
            if (now >= at) break;
            const uint64_t wait = std::min<uint64_t>(at - now, 0x7FFFFFFF);
            if (WaitForSingleObject(job->stop, static_cast<DWORD>(wait)) == WAIT_OBJECT_0) return 0;
        }
        if (WaitForSingleObject(job->stop, 0) == WAIT_OBJECT_0) return 0;
        deliver(e);
        runner().pending--;
    }
    return 0;
}

} // namespace

void runInputScript(std::vector<InputEvent> events) {
    Runner& r = runner();
    std::lock_guard<std::mutex> g(r.mu);
    if (r.thread) {
        SetEvent(r.stop);
        WaitForSingleObject(r.thread, INFINITE);
        CloseHandle(r.thread);
        CloseHandle(r.stop);
        r.thread = r.stop = nullptr;
    }
    r.pending = events.size();
    if (events.empty()) return;
    r.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto* job = new Job{std::move(events), clockNowMs(), r.stop};
    r.thread = CreateThread(nullptr, 128 * 1024, runScript, job, 0, nullptr);
    if (!r.thread) {
        delete job;
        r.pending = 0;
    }
}

size_t pendingInputEvents() {
    return runner().pending.load();
}

} // namespace skv::platform
