// qmsd: the streaming server. Serves the movie streams of one directory over the native protocol
// and, when asked, over HTTP/1.0.
#include <cstdio>
#include <string>
#include <vector>

#include "logger.h"
#include "options.h"
#include "platform/wincon.h"
#include "server.h"

namespace {

HANDLE gStopEvent = nullptr;

BOOL WINAPI onControl(DWORD type) {
    SetEvent(gStopEvent);
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    qmsd::Options options;
    std::string error;
    switch (qmsd::parseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    case qmsd::ParseOutcome::Help:
        std::fputs(qmsd::kHelpText, stdout);
        return 0;
    case qmsd::ParseOutcome::Error:
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    case qmsd::ParseOutcome::Run:
        break;
    }

    gStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!gStopEvent || !SetConsoleCtrlHandler(onControl, TRUE)) {
        std::fputs("qmsd: cannot set up the stop signal handling; the system is short of "
                   "resources.\n",
                   stderr);
        return 1;
    }
    qmsd::Logger log(stdout, options.quiet);
    qmsd::Server server(options, log);
    if (!server.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!options.portFile.empty() && !server.writePortFile(options.portFile, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        server.stop();
        return 1;
    }
    std::string ports;
    if (server.nativePort()) ports += " native port " + std::to_string(server.nativePort());
    if (server.httpPort())
        ports += std::string(ports.empty() ? "" : ",") + " HTTP port " +
                 std::to_string(server.httpPort());
    log.info("qmsd: serving " + options.directory + " on " + options.bindAddress + ports);

    WaitForSingleObject(gStopEvent, INFINITE);
    log.info("qmsd: stopping");
    server.stop();
    log.info("qmsd: stopped");
    CloseHandle(gStopEvent);
    return 0;
}
