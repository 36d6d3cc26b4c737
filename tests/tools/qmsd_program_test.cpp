// The built qmsd program: its command line, its port file, serving and a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "netio.h"
#include "platform/winsock.h"

namespace fs = std::filesystem;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1; // the child's standard output
    int err = -1; // the child's standard error
};

Child launch(const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    EXPECT_EQ(pipe(errPipe), 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QMSD_PROGRAM));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        execv(QMSD_PROGRAM, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    return {pid, outPipe[0], errPipe[0]};
}

// Reads one line (blocking until it arrives); empty at the end of output.
std::string readLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1) {
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

std::string readAll(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, size_t(n));
    return s;
}

int finish(Child& c, std::string* out, std::string* err) {
    *out = readAll(c.out);
    *err = readAll(c.err);
    close(c.out);
    close(c.err);
    int status = 0;
    waitpid(c.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class QmsdProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("qmsd_prog_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "movies");
        std::ofstream(dir_ / "movies" / "m.skm", std::ios::binary) << "QMS movie bytes";
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

} // namespace

TEST_F(QmsdProgram, HelpAndUsageErrors) {
    std::string out, err;
    Child help = launch({"--help"});
    EXPECT_EQ(finish(help, &out, &err), 0);
    EXPECT_NE(out.find("usage: qmsd [--port N] [--http-port M] [options] DIR"), std::string::npos);
    EXPECT_NE(out.find("--drop-after"), std::string::npos);

    Child noDir = launch({"--port", "0"});
    EXPECT_EQ(finish(noDir, &out, &err), 2);
    EXPECT_NE(err.find("name the directory"), std::string::npos) << err;

    Child missing = launch({"--port", "0", (dir_ / "nothere").string()});
    EXPECT_EQ(finish(missing, &out, &err), 1);
    EXPECT_NE(err.find("not a directory"), std::string::npos) << err;
}

TEST_F(QmsdProgram, ServesOnRunTimePortsAndStopsOnSigterm) {
    std::string portFile = (dir_ / "ports").string();
    Child c = launch({"--port", "0", "--http-port", "0", "--bind", "127.0.0.1", "--port-file",
                      portFile, (dir_ / "movies").string()});
    // The start line comes after the port file is in place.
    std::string first = readLine(c.out);
    ASSERT_NE(first.find("qmsd: serving"), std::string::npos) << first;
    std::ifstream in(portFile);
    std::string word;
    unsigned nativePort = 0, httpPort = 0;
    in >> word >> nativePort;
    ASSERT_EQ(word, "native");
    in >> word >> httpPort;
    ASSERT_EQ(word, "http");

    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(nativePort));
    a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
    ASSERT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    uint8_t rec[256] = {100, 0, 4, 0, 0, 0};
    std::memcpy(rec + 6, "m.skm", 6);
    ASSERT_TRUE(qmsd::sendAll(s, rec, sizeof rec));
    char reply[64] = {};
    size_t got = qmsd::recvAll(s, reply, sizeof reply);
    closesocket(s);
    WSACleanup();
    ASSERT_EQ(got, 4u + 11u);
    EXPECT_EQ(reply[0], 15);
    EXPECT_EQ(std::string(reply + 4, 11), "movie bytes");

    // The request's log line arrives before the server is told to stop.
    std::string logLine = readLine(c.out);
    EXPECT_NE(logLine.find(" native \"m.skm\" offset=4 length=15 sent=11"), std::string::npos)
        << logLine;
    kill(c.pid, SIGTERM);
    std::string out, err;
    EXPECT_EQ(finish(c, &out, &err), 0) << err;
    EXPECT_NE(out.find("qmsd: stopped"), std::string::npos) << out;
}
