// A platform thread for tests: created through CreateThread so that it takes part in the virtual
// clock from the moment it exists; joined when it goes out of scope.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/win32.h"

namespace skv::test {

class Worker {
public:
    explicit Worker(std::function<void()> body) : body_(std::move(body)) {
        handle_ = CreateThread(nullptr, 128 * 1024, &Worker::entry, this, 0, nullptr);
        EXPECT_NE(handle_, nullptr);
    }
    ~Worker() { join(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // False when the thread is still running after `ms` (virtual) milliseconds.
    bool finishedWithin(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }
    void join() {
        if (!handle_) return;
        EXPECT_EQ(WaitForSingleObject(handle_, INFINITE), WAIT_OBJECT_0);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    static DWORD WINAPI entry(LPVOID self) {
        static_cast<Worker*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

} // namespace skv::test
