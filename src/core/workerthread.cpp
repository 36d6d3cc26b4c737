#include "core/workerthread.h"

#include <typeinfo>

#include "core/abandon.h"

namespace skv {

WorkerThread::~WorkerThread() {
    // By now run() belongs to a destroyed subclass; all that is left is to reap the thread.
    join();
}

void WorkerThread::suspend() {
    if (HANDLE h = thread_.load()) SuspendThread(h);
}

void WorkerThread::resume() {
    if (HANDLE h = thread_.load()) ResumeThread(h);
}

bool WorkerThread::start() {
    NMTX_SCOPED(guard, &mutex_);
    if (started_) return false;
    HANDLE h =
        CreateThread(nullptr, kStackSize, &WorkerThread::entry, this, CREATE_SUSPENDED, &threadId_);
    if (!h) return false;
    started_ = true;
    thread_.store(h);
    ResumeThread(h);
    return true;
}

void WorkerThread::join() {
    HANDLE h = thread_.exchange(nullptr);
    if (!h) return;
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    threadId_ = 0;
}

bool WorkerThread::isRunning() const {
    HANDLE h = thread_.load();
    return h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
}

DWORD WINAPI WorkerThread::entry(LPVOID self) {
    auto* worker = static_cast<WorkerThread*>(self);
    try {
        worker->run();
    } catch (...) {
        // A worker's failure ends the worker, never the process.
        abandoned("WorkerThread", "%s ended by %s", typeNameText(typeid(*worker)).c_str(),
                  caughtExceptionText().c_str());
    }
    return 0;
}

} // namespace skv
