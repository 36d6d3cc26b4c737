#include "core/localstream.h"

#include "core/status.h"

namespace skv {

LocalStream::LocalStream(std::vector<uint8_t> bytes)
    : bytes_(std::move(bytes)), manager_(std::make_unique<qmsObjectManager>()) {}

LocalStream::~LocalStream() {
    stop();
    serialize_.reset();
    codec_.reset();
    osPipe_.reset();
    if (input_) input_->release();
    manager_->clear();
}

bool LocalStream::run() {
    if (!StreamHeader::decode(bytes_.data(), bytes_.size(), &header_)) {
        post(statusInt(stsBadStreamHeader));
        return false;
    }
    input_ =
        new MemoryPipe(std::vector<uint8_t>(bytes_.begin() + StreamHeader::kSize, bytes_.end()));
    // Nothing more will be appended: the codec thread treats the end of the bytes as the end.
    input_->close();
    osPipe_ = std::make_unique<uPipePipe>(kOsPipeCapacity);
    codec_ = std::make_unique<CodecThread>(this, input_, osPipe_.get());
    serialize_ = std::make_unique<SerializeThread>(this, osPipe_.get(), manager_.get());
    if (!codec_->start()) {
        post(statusInt(stsErrorConstructingStream));
        return false;
    }
    codec_->join();
    serialize_->join();
    return true;
}

void LocalStream::stop() {
    stopped_.store(true);
    if (manager_) manager_->endStreaming();
    if (codec_) codec_->requestStop();
    if (serialize_) serialize_->requestStop();
}

SerializeThread::EndReason LocalStream::endReason() const {
    return serialize_ ? serialize_->endReason() : SerializeThread::EndReason::None;
}

GUID LocalStream::endClassId() const {
    return serialize_ ? serialize_->endClassId() : GUID{};
}

std::vector<int32_t> LocalStream::statuses() const {
    std::lock_guard<std::mutex> g(mu_);
    return statuses_;
}

std::vector<skvObject*> LocalStream::objects() const {
    std::lock_guard<std::mutex> g(mu_);
    return objects_;
}

void LocalStream::post(int32_t code) {
    if (stopped_.load()) return;
    std::lock_guard<std::mutex> g(mu_);
    statuses_.push_back(code);
}

bool LocalStream::onProgress(uint32_t, uint32_t) {
    return !(codec_ && codec_->stopRequested());
}

void LocalStream::declareBufferingComplete() {
    if (!bufferingComplete_.exchange(true)) post(statusInt(stsBufferingComplete));
}

void LocalStream::startSerializeThread() {
    manager_->beginStreaming();
    serialize_->start();
}

void LocalStream::stopSerializeThread() {
    if (serialize_) serialize_->requestStop();
}

void LocalStream::objectRead(skvObject* object) {
    std::lock_guard<std::mutex> g(mu_);
    objects_.push_back(object);
}

} // namespace skv
