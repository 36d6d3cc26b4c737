// The channel of abandoned operations: the one installed listener gets each reason until it is
// removed, removal waits for a call in progress, calls from many threads arrive whole, and a
// caught exception is named by its family and code.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/abandon.h"
#include "core/errors.h"

using namespace skv;

namespace {

struct Recorder : AbandonListener {
    void abandoned(const char* operation, const char* reason) override {
        lines.push_back(std::string(operation) + ": " + reason);
    }
    std::vector<std::string> lines;
};

// Installed for the test's span, removed however it ends.
struct Installed {
    explicit Installed(AbandonListener* l) : listener(l), ok(installAbandonListener(l)) {}
    ~Installed() { removeAbandonListener(listener); }
    AbandonListener* listener;
    bool ok;
};

TEST(AbandonChannel, TheInstalledListenerHearsEachReasonUntilItIsRemoved) {
    Recorder first, second;
    {
        Installed one(&first);
        ASSERT_TRUE(one.ok);
        // Only one listener at a time: a second is refused and hears nothing.
        EXPECT_FALSE(installAbandonListener(&second));
        abandoned("readBMP", "the width %d is not positive", -3);
        abandoned("NetworkThread", "%s: the transfer ended at %d of %d bytes", "file:/m.skm", 10,
                  20);
        // Removing a listener that is not the installed one leaves the installed one in place.
        removeAbandonListener(&second);
        abandoned("makeMask", "no pixels");
    }
    EXPECT_EQ(first.lines, (std::vector<std::string>{
                               "readBMP: the width -3 is not positive",
                               "NetworkThread: file:/m.skm: the transfer ended at 10 of 20 bytes",
                               "makeMask: no pixels"}));
    EXPECT_TRUE(second.lines.empty());

    // Removed: nothing more reaches it, and the place is free for another.
    abandoned("readBMP", "after removal");
    EXPECT_EQ(first.lines.size(), 3u);
    Installed two(&second);
    ASSERT_TRUE(two.ok);
    abandoned("readBMP", "to the second");
    EXPECT_EQ(second.lines, (std::vector<std::string>{"readBMP: to the second"}));
    EXPECT_EQ(first.lines.size(), 3u);
}

TEST(AbandonChannel, AListenerThatGivesUpItselfDoesNotHearItsOwnReason) {
    // Its own call reaches only the debug output; waiting for the lock its call holds would hang.
    struct Echo : AbandonListener {
        void abandoned(const char* operation, const char*) override {
            ++calls;
            skv::abandoned("echo", "of %s", operation);
        }
        int calls = 0;
    } echo;
    Installed in(&echo);
    ASSERT_TRUE(in.ok);
    abandoned("outer", "once");
    EXPECT_EQ(echo.calls, 1);
}

TEST(AbandonChannel, ThreadsReachTheListenerOneAtATimeAndRemovalWaitsForACallInProgress) {
    // The listener is not thread safe itself: calls must not overlap, and every line arrives
    // whole.
    struct Counter : AbandonListener {
        void abandoned(const char* operation, const char* reason) override {
            if (inside.exchange(true)) overlapped = true;
            lines.push_back(std::string(operation) + ":" + reason);
            inside = false;
        }
        std::atomic<bool> inside{false}, overlapped{false};
        std::vector<std::string> lines;
    } counter;
    constexpr int kThreads = 4, kEach = 250;
    {
        Installed in(&counter);
        ASSERT_TRUE(in.ok);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < kEach; ++i)
                    abandoned("worker", "thread %d, line %d", t, i);
            });
        for (std::thread& th : threads)
            th.join();
    }
    EXPECT_FALSE(counter.overlapped.load());
    ASSERT_EQ(counter.lines.size(), size_t{kThreads * kEach});
    for (const std::string& l : counter.lines)
        EXPECT_EQ(l.rfind("worker:thread ", 0), 0u) << l;

    // A thread keeps giving up while the listener is removed: once removal has returned, no call
    // to it is running and none starts.
    struct Slow : AbandonListener {
        void abandoned(const char*, const char*) override {
            inside = true;
            calls.fetch_add(1);
            // Long enough that removal usually comes while a call is running.
            for (int i = 0; i < 50; ++i)
                std::this_thread::yield();
            inside = false;
        }
        std::atomic<bool> inside{false};
        std::atomic<int> calls{0};
    } slow;
    ASSERT_TRUE(installAbandonListener(&slow));
    std::atomic<bool> stop{false};
    std::thread giver([&] {
        while (!stop.load())
            abandoned("worker", "again");
    });
    while (slow.calls.load() < 10)
        std::this_thread::yield();
    removeAbandonListener(&slow);
    const bool insideAfterRemoval = slow.inside.load();
    const int callsAtRemoval = slow.calls.load();
    stop = true;
    giver.join();
    EXPECT_FALSE(insideAfterRemoval);
    EXPECT_EQ(slow.calls.load(), callsAtRemoval);
}

TEST(AbandonChannel, ACaughtExceptionIsNamedByItsFamilyAndCode) {
    auto textOf = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return std::string(caughtExceptionText().c_str());
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(textOf([] { throw CoreError{kErrShortRead}; }), "CoreError 666 (short read)");
    EXPECT_EQ(textOf([] { throw CoreError{kErrAllocFailed}; }),
              "CoreError 2000 (allocation failed)");
    EXPECT_EQ(textOf([] { throw CoreError{42}; }), "CoreError 42");
    EXPECT_EQ(textOf([] { throw std::bad_alloc(); }), "std::bad_alloc (std::bad_alloc)");
    EXPECT_EQ(textOf([] { throw std::runtime_error("the pipe broke"); }),
              "std::runtime_error (the pipe broke)");
    EXPECT_EQ(textOf([] { throw 7; }), "an exception of unknown type");
    EXPECT_STREQ(caughtExceptionText().c_str(), "no exception");
}

} // namespace
