#include "logger.h"

#include <ctime>

namespace qmsd {

namespace {

// Paths come from the network: keep control characters and quotes from forging log lines.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

} // namespace

std::string Logger::format(const RequestRecord& r) {
    std::string s = r.peer + " " + r.protocol + " " + quoted(r.path) +
                    " offset=" + std::to_string(r.offset) + " " + r.reply +
                    " sent=" + std::to_string(r.sent);
    if (r.note && *r.note) s += std::string(" ") + r.note;
    return s;
}

void Logger::request(const RequestRecord& r) {
    if (quiet_) return;
    line(format(r));
}

void Logger::info(const std::string& text) {
    if (quiet_) return;
    line(text);
}

void Logger::line(const std::string& text) {
    std::lock_guard<std::mutex> lk(mu_);
    // gmtime's buffer is shared; the lock covers it.
    std::time_t now = std::time(nullptr);
    char stamp[32] = "-";
    if (const std::tm* tm = std::gmtime(&now))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", tm);
    std::fprintf(out_, "%s %s\n", stamp, text.c_str());
    std::fflush(out_);
}

} // namespace qmsd
