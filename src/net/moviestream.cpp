#include "net/moviestream.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/classids.h"
#include "core/codecthread.h"
#include "core/filepipe.h"
#include "core/objectmanager.h"
#include "core/pipepipe.h"
#include "core/status.h"
#include "net/networkthread.h"
#include "net/ratemap.h"
#include "net/serversource.h"
#include "net/statussink.h"

namespace skv {

static_assert(MovieStream::kDefaultReceiveTimeoutMs == ServerSource::kDefaultReceiveTimeoutMs);

namespace {

// One mutex for every stream's status posting, so that no message can be posted after stop()
// has taken the receiver away.
nmtx& statusMutex() {
    static nmtx m;
    return m;
}

} // namespace

std::string cachePathForUrl(const char* url) {
    std::string u = url ? url : "";
    size_t cut = u.find_last_of(":\\/");
    std::string name = cut == std::string::npos ? u : u.substr(cut + 1);
    if (name.empty()) name = "SkYvOrA";
    // Only the file name is folded to lower case: on a case-sensitive file system the cache
    // directory must keep the spelling it was created with.
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t ext = name.find(".qms");
    if (ext != std::string::npos) name = name.substr(0, ext) + ".qmc";
    return cacheDirectory() + name;
}

MovieStream::MovieStream(const char* url, bool persistentCache) {
    objectManager_ = new qmsObjectManager();
    if (!url) return;
    cachePath_ = cachePathForUrl(url);
    uint32_t flags = persistentCache ? 0 : (uFilePipe::kCreate | uFilePipe::kDeleteOnClose);
    filePipe_ = new uFilePipe(cachePath_.c_str(), flags);
    osPipe_ = new uPipePipe(kOsPipeCapacity);
    if (filePipe_->openStatus() != 0 || osPipe_->openStatus() != 0) {
        post(statusInt(stsErrorConstructingStream));
        return;
    }
    netThread_ = new NetworkThread(this, url, filePipe_);
    codecThread_ = new CodecThread(this, filePipe_, osPipe_);
    serializeThread_ = new SerializeThread(this, osPipe_, objectManager_);
}

MovieStream::~MovieStream() {
    stop();
    delete serializeThread_;
    delete codecThread_;
    delete netThread_;
    delete osPipe_;
    delete filePipe_;
    if (objectManager_) objectManager_->destroy();
}

void MovieStream::setObjectManager(qmsObjectManager* manager) {
    objectManager_ = manager;
}

bool MovieStream::start() {
    if (!netThread_) {
        // The construction failure could not be reported then: nobody was listening yet.
        if (filePipe_) post(statusInt(stsErrorConstructingStream));
        return false;
    }
    return startNetThread();
}

void MovieStream::setStatusWindow(StatusSink* sink) {
    NMTX_SCOPED(guard, &statusMutex());
    statusWindow_ = sink;
}

bool MovieStream::startNetThread() {
    return netThread_ && netThread_->start();
}

bool MovieStream::startCodecThread() {
    return codecThread_ && codecThread_->start();
}

void MovieStream::startSerializeThread() {
    if (!serializeThread_) return;
    objectManager_->beginStreaming();
    serializeThread_->start();
}

void MovieStream::stopNetThread() {
    if (netThread_) netThread_->requestStop();
}

void MovieStream::stopCodecThread() {
    if (codecThread_) codecThread_->requestStop();
}

void MovieStream::stopSerializeThread() {
    if (serializeThread_) serializeThread_->requestStop();
}

void MovieStream::stop() {
    stopped_.store(1);
    if (objectManager_) objectManager_->endStreaming();
    setStatusWindow(nullptr);
    // Each thread is stopped and joined before the next, in the order data flows: a codec thread
    // blocked on the cache file wakes when the network thread's stop closes it, and a serialize
    // thread blocked on the OS pipe wakes when the codec thread closes that on its way out.
    if (netThread_) {
        stopNetThread();
        netThread_->join();
        delete netThread_;
        netThread_ = nullptr;
    }
    if (codecThread_) {
        stopCodecThread();
        codecThread_->join();
        delete codecThread_;
        codecThread_ = nullptr;
    }
    if (serializeThread_) {
        stopSerializeThread();
        serializeThread_->join();
        endReason_ = serializeThread_->endReason();
        endClassId_ = serializeThread_->endClassId();
        delete serializeThread_;
        serializeThread_ = nullptr;
    }
    rateMap_.store(nullptr);
    if (objectManager_) objectManager_->clear();
}

void MovieStream::post(int32_t code) {
    NMTX_SCOPED(guard, &statusMutex());
    if (stopped_.load() || !statusWindow_) return;
    // The host shows every error it is told of; after an early end the one error is the end.
    if (code == statusInt(stsErrorSerialzingObject) && endedEarly_.load()) return;
    if (code != statusInt(stsUpdate)) {
        statusWindow_->postStatus(kMsgStreamStatus, code, this);
        return;
    }
    // Progress updates never pile up: one waiting is enough, and none once buffering is done.
    if (bufferingComplete_.load() || statusWindow_->isWaiting(kMsgStreamUpdate)) return;
    statusWindow_->postStatus(kMsgStreamUpdate, code, this);
}

bool MovieStream::onProgress(uint32_t consumed, uint32_t produced) {
    bytesConsumed_.exchange(static_cast<int32_t>(consumed));
    bytesProduced_.exchange(static_cast<int32_t>(produced));
    if (!bufferingComplete_.load()) post(statusInt(stsUpdate));
    if (ready_.load() && !bufferingComplete_.load()) {
        MovieStreamStats s = snapshot();
        if (s.bytesConsumed >= s.bufferTarget) declareBufferingComplete();
    }
    return !(codecThread_ && codecThread_->stopRequested());
}

void MovieStream::declareBufferingComplete() {
    // Posted once, whether the buffer target or the end of inflating gets there first.
    if (bufferingComplete_.load()) return;
    post(statusInt(stsBufferingComplete));
    bufferingComplete_.store(1);
}

void MovieStream::setRateMap(skvObject* rateMap) {
    rateMap_.store(dynamic_cast<skvRateMap*>(rateMap));
}

void MovieStream::objectRead(skvObject* object) {
    if (observer_) observer_(object);
}

MovieStreamStats MovieStream::snapshot() const {
    MovieStreamStats s;
    s.lastRate = lastRate_.load();
    s.smoothedRate = smoothedRate_.load();
    s.secondsToStart = secondsToStart_.load();
    s.bufferTarget = bufferTarget_.load();
    s.bytesReceived = bytesReceived_.load();
    s.bytesConsumed = bytesConsumed_.load();
    s.bytesProduced = bytesProduced_.load();
    int64_t sum = 0;
    for (const auto& v : samples_)
        sum += v.load();
    s.averageRate = std::max<int32_t>(1, static_cast<int32_t>(sum / kSamples));
    return s;
}

void MovieStream::updateRate(int32_t rate, int32_t received) {
    skvRateMap* map = rateMap_.load();
    if (!map && objectManager_)
        map = dynamic_cast<skvRateMap*>(objectManager_->find(CLSID_skvRateMap));

    for (int i = kSamples - 1; i > 0; --i)
        samples_[i].store(samples_[i - 1].load());
    samples_[0].store(rate);
    lastRate_.exchange(rate);
    int32_t smoothed = smoothedRate_.load();
    if (smoothed < rate) smoothed += (rate - smoothed) / 4;
    if (rate < smoothed) smoothed = rate;
    if (smoothed == 0) smoothed = 1;
    smoothedRate_.exchange(smoothed);
    sampleCount_.fetch_add(1);
    rateSum_.fetch_add(rate);
    bytesReceived_.exchange(received);
    if (!map) return;

    int32_t avg = snapshot().averageRate;
    int64_t deficit = map->maxDeficit(std::min(avg, 20480));
    // A rate map with huge entries must not wrap the target round to something small.
    int32_t target = static_cast<int32_t>(std::min<int64_t>(deficit + deficit / 4, INT32_MAX));
    bufferTarget_.exchange(target);
    int64_t remaining = int64_t{target} - bytesConsumed_.load();
    secondsToStart_.exchange(remaining <= 1 ? 1 : static_cast<int32_t>(remaining / avg));
}

SerializeThread::EndReason MovieStream::serializeEndReason() const {
    return serializeThread_ ? serializeThread_->endReason() : endReason_;
}

GUID MovieStream::serializeEndClassId() const {
    return serializeThread_ ? serializeThread_->endClassId() : endClassId_;
}

} // namespace skv
