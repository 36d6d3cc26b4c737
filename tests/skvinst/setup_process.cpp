#include "setup_process.h"

namespace skvinst_test {

namespace {

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (job)
        QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                  nullptr);
    return info;
}

} // namespace

SetupProcess::~SetupProcess() {
    if (job_) {
        TerminateJobObject(job_, 1);
        CloseHandle(job_);
    }
    if (process_) {
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
}

bool SetupProcess::start(const std::string& program, const std::string& arguments,
                         const std::string& workingDir, std::string* why) {
    job_ = CreateJobObjectA(nullptr, nullptr);
    if (!job_) {
        *why = "cannot make a job object (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, workingDir.c_str(), &startup, &info)) {
        *why = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (!AssignProcessToJobObject(job_, info.hProcess)) {
        *why = "cannot put Setup into a job (error " + std::to_string(GetLastError()) + ")";
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return false;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool SetupProcess::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool SetupProcess::waitForExit(DWORD timeoutMs) {
    return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD SetupProcess::exitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_, &code);
    return code;
}

bool SetupProcess::waitForAllToEnd(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (accounting(job_).ActiveProcesses != 0) {
        if (GetTickCount64() > deadline) return false;
        Sleep(20);
    }
    return true;
}

DWORD SetupProcess::processesStarted() const {
    return accounting(job_).TotalProcesses;
}

} // namespace skvinst_test
