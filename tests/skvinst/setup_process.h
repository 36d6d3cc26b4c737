// skvinst.exe started as a user starts it, inside a job object, so that a test sees every
// process it starts in turn (the program the shell opens the release notes with) and none
// outlives the test.
#pragma once

#include <windows.h>

#include <string>

namespace skvinst_test {

class SetupProcess {
public:
    SetupProcess() = default;
    ~SetupProcess();
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    // Starts program with the given arguments, in workingDir. False, with the reason, if it
    // could not be started.
    bool start(const std::string& program, const std::string& arguments,
               const std::string& workingDir, std::string* why);

    DWORD id() const { return id_; }
    bool running() const;
    // Waits up to timeoutMs for Setup to end; false if it is still running then.
    bool waitForExit(DWORD timeoutMs);
    DWORD exitCode() const;

    // Waits up to timeoutMs until no process of the job runs any more.
    bool waitForAllToEnd(DWORD timeoutMs);
    // How many processes the job has held: Setup and every one it started.
    DWORD processesStarted() const;

private:
    HANDLE job_ = nullptr;
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

} // namespace skvinst_test
