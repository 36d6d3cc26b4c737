// The player's streaming source against qmsd: every road a movie can take from the server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "logger.h"
#include "net/serversource.h"
#include "net/source.h"
#include "options.h"
#include "platform/clock.h"
#include "saved_env.h"
#include "server.h"

namespace fs = std::filesystem;

namespace {

struct SourceDeleter {
    void operator()(skv::Source* s) const {
        if (s) s->destroy();
    }
};
using SourcePtr = std::unique_ptr<skv::Source, SourceDeleter>;

class QmsdInterop : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("qmsd_interop_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "movies");
        movie_.resize(50000);
        for (size_t i = 0; i < movie_.size(); ++i)
            movie_[i] = char(i * 7 + i / 251);
        std::ofstream(dir_ / "movies" / "a.skm", std::ios::binary)
            .write(movie_.data(), std::streamsize(movie_.size()));
        options_.bindAddress = "127.0.0.1";
        options_.nativePort = 0;
        options_.httpPort = 0;
        options_.directory = (dir_ / "movies").string();
    }

    void TearDown() override {
        if (server_) server_->stop();
        server_.reset();
        std::fclose(logFile_);
        fs::remove_all(dir_);
    }

    void start() {
        server_ = std::make_unique<qmsd::Server>(options_, log_);
        std::string error;
        ASSERT_TRUE(server_->start(&error)) << error;
    }

    // qmsp://127.0.0.1:<native port>/<path>, its HTTP fallback aimed at qmsd's HTTP port.
    SourcePtr source(const std::string& path, uint16_t nativePort) {
        std::string url = "qmsp://127.0.0.1:" + std::to_string(nativePort) + "/" + path;
        SourcePtr s(skv::openSource(url.c_str()));
        auto* server = dynamic_cast<skv::ServerSource*>(s.get());
        EXPECT_NE(server, nullptr);
        if (server) server->setHttpPort(server_->httpPort());
        return s;
    }

    static std::string readRest(skv::Source& s, int32_t n) {
        std::string out(size_t(n), '\0');
        int32_t got = s.read(out.data(), n);
        out.resize(got > 0 ? size_t(got) : 0);
        return out;
    }

    skv::test::SavedProxyEnvironment environment_; // no proxy unless a test names one
    fs::path dir_;
    std::string movie_;
    qmsd::Options options_;
    FILE* logFile_ = std::fopen("/dev/null", "w");
    qmsd::Logger log_{logFile_, false};
    std::unique_ptr<qmsd::Server> server_;
};

} // namespace

TEST_F(QmsdInterop, NativeTransferResumeAndMissingMovie) {
    start();
    SourcePtr s = source("a.skm", server_->nativePort());
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(s->contentLength(), 50000);
    EXPECT_EQ(readRest(*s, 50000), movie_);
    s->close();

    ASSERT_EQ(s->request(45000), 0);
    EXPECT_EQ(s->contentLength(), 50000);
    EXPECT_EQ(readRest(*s, 5000), movie_.substr(45000));
    s->close();

    SourcePtr missing = source("none.skm", server_->nativePort());
    EXPECT_EQ(missing->request(0), -404);
    SourcePtr beyond = source("a.skm", server_->nativePort());
    EXPECT_EQ(beyond->request(50001), -400);
}

TEST_F(QmsdInterop, SilentNativePortFallsBackToHttp) {
    options_.ignoreNative = true;
    start();
    SourcePtr s = source("a.skm", server_->nativePort());
    ASSERT_EQ(s->request(100), 0);
    EXPECT_EQ(s->contentLength(), 50000);
    EXPECT_EQ(readRest(*s, 49900), movie_.substr(100));
    s->close();
    SourcePtr missing = source("none.skm", server_->nativePort());
    EXPECT_EQ(missing->request(0), -404); // HTTP 404
}

TEST_F(QmsdInterop, HttpFallbackThroughTheProxy) {
    options_.ignoreNative = true;
    start();
    // qmsd answers the proxy form itself, so it can stand in for the proxy.
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server_->httpPort())).c_str(), 1);
    SourcePtr s = source("a.skm", server_->nativePort());
    if (auto* server = dynamic_cast<skv::ServerSource*>(s.get())) server->setHttpPort(1);
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(readRest(*s, 50000), movie_);
}

TEST_F(QmsdInterop, DroppedConnectionDeliversOnlyWhatWasSent) {
    options_.dropAfter = 3000;
    start();
    SourcePtr s = source("a.skm", server_->nativePort());
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(s->contentLength(), 50000);
    EXPECT_EQ(readRest(*s, 50000), movie_.substr(0, 3000));
}

TEST_F(QmsdInterop, RefusedNativePortIsFinalAfterTheRetries) {
    // A free port: bound by the system, then released, then left closed by qmsd.
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
    ASSERT_EQ(bind(probe, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    int len = sizeof a;
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len), 0);
    closesocket(probe);
    options_.nativePort = ntohs(a.sin_port);
    options_.refuseNative = true;
    start();
    skv::platform::setVirtualClock(true, 1000000);
    SourcePtr s = source("a.skm", uint16_t(options_.nativePort));
    EXPECT_EQ(s->request(0), -604); // no HTTP attempt, though qmsd would answer there
    EXPECT_GE(skv::platform::clockNowMs() - 1000000, 30000u);
    skv::platform::setVirtualClock(false);
    skv::platform::leaveVirtualClock();
    WSACleanup();
}
