#include "player/eventlog.h"

#include "platform/clock.h"

namespace skv {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

EventLog::EventLog() : startMs_(platform::clockNowMs()) {
    listening_ = installAbandonListener(this);
}

void EventLog::restartClock() {
    startMs_.store(platform::clockNowMs());
}

EventLog::~EventLog() {
    // First: a thread giving up right now finishes its line before the file goes.
    if (listening_) removeAbandonListener(this);
    if (file_) std::fclose(file_);
}

bool EventLog::openFile(const std::string& path) {
    std::lock_guard<std::mutex> g(mutex_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void EventLog::add(const std::string& body) {
    const uint64_t t = platform::clockNowMs() - startMs_.load();
    std::string line = "{\"t\":" + std::to_string(t) + "," + body + "}";
    std::lock_guard<std::mutex> g(mutex_);
    if (file_) {
        std::fputs(line.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
    lines_.push_back(std::move(line));
}

void EventLog::onStatus(int32_t code, int32_t data) {
    std::string body = "\"status\":" + std::to_string(code);
    if (data) body += ",\"data\":" + std::to_string(data);
    add(body);
    if (statusHook_) statusHook_(code, data);
}

void EventLog::onState(int32_t state) {
    add("\"state\":" + std::to_string(state));
}

void EventLog::eventDelivered(const EventReport& r) {
    std::string body = "\"event\":" + jsonString(r.event);
    if (r.spriteScript >= 0) {
        body += ",\"sprite\":" + std::to_string(r.sprite);
        body += ",\"spriteScript\":" + std::to_string(r.spriteScript);
    }
    if (r.castMember >= 0) body += ",\"cast\":" + std::to_string(r.castMember);
    if (r.frameScript >= 0) body += ",\"frameScript\":" + std::to_string(r.frameScript);
    body += ",\"ran\":[";
    for (size_t i = 0; i < r.ran.size(); ++i) {
        const HandlerRun& h = r.ran[i];
        if (i) body += ",";
        body += "{\"role\":" + jsonString(roleName(h.role)) +
                ",\"handler\":" + jsonString(h.handler) +
                ",\"script\":" + std::to_string(h.script) + "}";
    }
    body += "]";
    if (!r.dispatched) body += ",\"dispatched\":false";
    if (r.failed) body += ",\"failed\":true";
    if (r.failed && r.error.code != 0) {
        const ScriptError& e = r.error;
        body += ",\"error\":" + std::to_string(e.code);
        if (!e.handler.empty())
            body += ",\"handler\":" + jsonString(e.handler);
        else if (e.handlerIndex >= 0)
            body += ",\"script\":" + std::to_string(e.script) +
                    ",\"handlerIndex\":" + std::to_string(e.handlerIndex);
        if (e.offset >= 0) body += ",\"offset\":" + std::to_string(e.offset);
    }
    add(body);
}

void EventLog::frameShown(int32_t frame, int32_t counter) {
    add("\"frame\":" + std::to_string(frame) + ",\"counter\":" + std::to_string(counter));
}

void EventLog::transitionStep(int32_t frame, int32_t step) {
    add("\"step\":" + std::to_string(step) + ",\"frame\":" + std::to_string(frame));
}

void EventLog::played(int32_t result) {
    add("\"play\":" + std::to_string(result));
}

void EventLog::entry(const std::string& key, const std::string& text) {
    add(jsonString(key) + ":" + jsonString(text));
}

void EventLog::abandoned(const char* operation, const char* reason) {
    add("\"abandoned\":" + jsonString(operation ? operation : "") +
        ",\"reason\":" + jsonString(reason ? reason : ""));
}

void EventLog::note(const std::string& text) {
    add("\"note\":" + jsonString(text));
}

std::vector<std::string> EventLog::lines() const {
    std::lock_guard<std::mutex> g(mutex_);
    return lines_;
}

} // namespace skv
