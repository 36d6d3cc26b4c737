#include "dump.h"

#include <cctype>
#include <cstring>
#include <string>

#include "core/filepipe.h"
#include "core/guid.h"
#include "core/moviecheck.h"
#include "core/objectmanager.h"
#include "core/registry.h"
#include "core/status.h"
#include "net/moviestream.h"
#include "net/netclasses.h"
#include "net/statuscodes.h"
#include "net/statussink.h"

namespace skvc {

// A dump waits for a server as long as the player does unless told otherwise.
static_assert(DumpUrlOptions{}.receiveTimeoutMs == skv::MovieStream::kDefaultReceiveTimeoutMs);

namespace {

const char* kDumpHelp =
    "usage: skvc dump [--status] [--keep-cache] [--receive-timeout SECONDS] FILE|URL\n"
    "\n"
    "Lists what a movie stream (.skm) holds: its header (movie identifier and stream\n"
    "version), one line per object (index, class, object identifier, size hint) and how\n"
    "the stream ended (for a file cut short: after how many bytes, and in which object).\n"
    "\n"
    "FILE is read directly. A URL (qmsp://host[:port]/path for a streaming server, or\n"
    "file:///path) is fetched the way the player fetches it, through the movie cache.\n"
    "  --status      print each status code of the transfer, with its name, as it arrives\n"
    "  --keep-cache  keep the cache file afterwards (a later dump resumes from it)\n"
    "  --receive-timeout SECONDS\n"
    "                give up on a streaming server that sends nothing for SECONDS\n"
    "                (default 60, as the player; 0 waits for ever, at most 86400): the\n"
    "                transfer ends early and the cache keeps what arrived\n"
    "\n"
    "exit status: 0 ended with an end marker, 1 ended early (truncated or corrupt),\n"
    "             2 bad command line, 3 not readable or not a movie stream (it says\n"
    "             what the file is instead: a picture, text, a movie source, a folder),\n"
    "             4 an object of an unknown class, 5 the movie could not be fetched\n"
    "             (no answer, an error reply, or a cache file that cannot be opened)\n";

constexpr uint32_t kMaxReceiveTimeoutSeconds = 86400;

bool isUrl(const std::string& s) {
    auto starts = [&](const char* scheme) {
        size_t n = std::strlen(scheme);
        if (s.size() < n) return false;
        for (size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(s[i])) != scheme[i]) return false;
        return true;
    };
    return starts("qmsp:") || starts("file:");
}

void printHeader(const GUID& movieId, int32_t streamVersion, std::FILE* out) {
    std::fprintf(out, "movie %s  stream version %d\n", skv::guidText(movieId).c_str(),
                 streamVersion);
}

void printObject(size_t index, const GUID& classId, const GUID& objectId, int32_t size,
                 std::FILE* out) {
    std::fprintf(out, "%6zu  %-18s %s  size %d\n", index, skv::classNameOf(classId),
                 skv::guidText(objectId).c_str(), size);
}

void printUnknownClass(size_t index, const GUID& classId, std::FILE* out) {
    std::fprintf(out,
                 "end: object %zu has an unknown class %s; the stream cannot be read "
                 "past it\n",
                 index, skv::guidText(classId).c_str());
}

// The object lines and the verdict on how a fetched stream ended.
int printObjects(const std::vector<skv::skvObject*>& objects, skv::SerializeThread::EndReason end,
                 const GUID& endClassId, std::FILE* out) {
    using skv::SerializeThread;
    for (size_t i = 0; i < objects.size(); ++i)
        printObject(i, objects[i]->classId, objects[i]->objectId, objects[i]->storedSizeHint, out);
    switch (end) {
    case SerializeThread::EndReason::Marker:
        std::fprintf(out, "end: %s after %zu objects\n", skv::classNameOf(endClassId),
                     objects.size());
        return kDumpOk;
    case SerializeThread::EndReason::UnknownClass:
        printUnknownClass(objects.size(), endClassId, out);
        return kDumpUnknownClass;
    default:
        std::fprintf(out,
                     "end: the stream stops after %zu objects without an end marker "
                     "(truncated or corrupt)\n",
                     objects.size());
        return kDumpTruncated;
    }
}

// "status 0x80000FA3 stsUnknownError: <its message>" for an error, "status 4001
// stsInternetThreadStopped" for progress.
std::string statusLine(int32_t code) {
    uint32_t c = static_cast<uint32_t>(code);
    const char* name = skv::statusName(c);
    char line[600];
    if (c & 0x80000000u) {
        char text[512];
        skv::errorText(c, text, sizeof text);
        std::snprintf(line, sizeof line, "status 0x%08X %s: %s", c, name ? name : "(error)", text);
    } else {
        std::snprintf(line, sizeof line, "status %u %s", c, name ? name : "");
    }
    return line;
}

void printStatus(int32_t code, std::FILE* out) {
    std::fprintf(out, "%s\n", statusLine(code).c_str());
}

// A whole number of seconds within the limits, as the receive time-out in milliseconds.
bool parseReceiveTimeout(const std::string& text, uint32_t* milliseconds) {
    if (text.empty() || text.size() > 6) return false;
    uint32_t seconds = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        seconds = seconds * 10 + static_cast<uint32_t>(c - '0');
    }
    if (seconds > kMaxReceiveTimeoutSeconds) return false;
    *milliseconds = seconds * 1000;
    return true;
}

} // namespace

// The listing of a checked stream: its header, its objects and how it ends.
int printChecked(const skv::MovieCheck& c, std::FILE* out) {
    using skv::MovieFinding;
    printHeader(c.header.movieId, c.header.streamVersion, out);
    for (size_t i = 0; i < c.objects.size(); ++i)
        printObject(i, c.objects[i].classId, c.objects[i].objectId, c.objects[i].sizeHint, out);
    switch (c.finding) {
    case MovieFinding::Movie:
        std::fprintf(out, "end: %s after %zu objects\n", skv::classNameOf(c.endClassId),
                     c.objects.size());
        return kDumpOk;
    case MovieFinding::UnknownClass:
        printUnknownClass(c.objects.size(), c.endClassId, out);
        return kDumpUnknownClass;
    default:
        std::fprintf(out, "end: the stream stops after %zu objects without an end marker: %s\n",
                     c.objects.size(), c.reason().c_str());
        return kDumpTruncated;
    }
}

int dumpBytes(const std::vector<unsigned char>& bytes, std::FILE* out) {
    const skv::MovieCheck c = skv::checkMovieBytes(bytes);
    if (!c.isStream()) {
        std::fprintf(out, "not a movie stream: %s\n", c.reason().c_str());
        return kDumpNotAStream;
    }
    return printChecked(c, out);
}

int dumpUrl(const std::string& url, const DumpUrlOptions& options, std::FILE* out, std::FILE* err) {
    skv::registerCoreClasses();
    skv::registerNetClasses();
    skv::StatusQueue queue;
    skv::MovieStream stream(url.c_str(), options.keepCache);
    std::vector<skv::skvObject*> objects; // in stream order, filled on the serialize thread
    skv::nmtx objectsLock;
    stream.setObjectObserver([&](skv::skvObject* o) {
        NMTX_SCOPED(guard, &objectsLock);
        objects.push_back(o);
    });
    stream.setReceiveTimeout(options.receiveTimeoutMs);
    stream.setStatusWindow(&queue);
    if (!stream.start()) {
        // No thread was started, so none will say it has stopped: what the stream had to tell
        // (that it could not be built) is already in the queue, and waiting for more would be
        // waiting for ever.
        int32_t error = 0;
        skv::StatusMessage m;
        while (queue.take(&m, 0)) {
            if (m.message == skv::kMsgStreamUpdate) continue;
            if (options.showStatus) printStatus(m.code, out);
            if (m.code < 0 && !error) error = m.code;
        }
        if (!error) error = skv::statusInt(skv::stsErrorConstructingStream);
        std::fprintf(err, "skvc: cannot fetch %s: %s\n", url.c_str(), statusLine(error).c_str());
        if (stream.cacheFile() && stream.cacheFile()->openStatus() != 0)
            std::fprintf(err,
                         "skvc: the cache file %s cannot be opened: another viewer may be using "
                         "it, or its folder cannot be made\n",
                         stream.cachePath().c_str());
        stream.stop();
        return kDumpFetchFailed;
    }

    // The transfer is over once the network thread has ended and, if it got as far as starting
    // the codec thread, inflating has ended and the objects have all been read (those two end
    // in either order).
    bool connected = false, netDone = false, objectsDone = false, codecDone = false, failed = false;
    int32_t firstError = 0;
    skv::StatusMessage m;
    while (!(netDone && ((objectsDone && codecDone) || !connected))) {
        if (!queue.take(&m, INFINITE)) break;
        if (m.message == skv::kMsgStreamUpdate) continue;
        if (options.showStatus) printStatus(m.code, out);
        if (m.code < 0 && m.code != skv::statusInt(skv::stsErrorSerialzingObject)) {
            failed = true;
            if (!firstError) firstError = m.code;
        }
        connected |= m.code == skv::statusInt(skv::stsServerConnectionEstablished);
        netDone |= m.code == skv::statusInt(skv::stsInternetThreadStopped);
        objectsDone |= m.code == skv::statusInt(skv::stsSerializeThreadStopped);
        codecDone |= m.code == skv::statusInt(skv::stsCodecThreadStopped);
    }
    if (!connected) {
        std::fprintf(
            err, "skvc: cannot fetch %s: %s\n", url.c_str(),
            statusLine(firstError ? firstError : skv::statusInt(skv::stsUnknownError)).c_str());
        stream.stop();
        return kDumpFetchFailed;
    }
    if (firstError)
        std::fprintf(err, "skvc: the transfer of %s did not complete: %s\n", url.c_str(),
                     statusLine(firstError).c_str());
    printHeader(stream.header().movieId, stream.header().streamVersion, out);
    int status;
    {
        NMTX_SCOPED(guard, &objectsLock);
        status =
            printObjects(objects, stream.serializeEndReason(), stream.serializeEndClassId(), out);
    }
    stream.stop();
    if (failed && status == kDumpOk) status = kDumpFetchFailed;
    return status;
}

int dumpCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kDumpHelp, stdout);
        return kDumpOk;
    }
    DumpUrlOptions options;
    bool urlOnly = false; // an option given that only fetching a URL takes
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--status") {
            options.showStatus = urlOnly = true;
        } else if (a == "--keep-cache") {
            options.keepCache = urlOnly = true;
        } else if (a == "--receive-timeout" || a.rfind("--receive-timeout=", 0) == 0) {
            std::string value;
            if (a.size() > std::strlen("--receive-timeout")) {
                value = a.substr(std::strlen("--receive-timeout="));
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                std::fputs("skvc dump: --receive-timeout needs a number of seconds\n", stderr);
                return kDumpUsage;
            }
            if (!parseReceiveTimeout(value, &options.receiveTimeoutMs)) {
                std::fprintf(
                    stderr,
                    "skvc dump: --receive-timeout takes whole seconds from 0 to %u, not '%s'\n",
                    kMaxReceiveTimeoutSeconds, value.c_str());
                return kDumpUsage;
            }
            urlOnly = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "skvc dump: unknown option '%s' (see 'skvc dump --help')\n",
                         a.c_str());
            return kDumpUsage;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 1) {
        std::fputs("skvc dump: give exactly one movie file or URL, e.g. 'skvc dump demo.skm'\n",
                   stderr);
        return kDumpUsage;
    }
    if (isUrl(rest[0])) return dumpUrl(rest[0], options, stdout, stderr);
    if (urlOnly) {
        std::fputs("skvc dump: --status, --keep-cache and --receive-timeout apply to URLs only "
                   "(qmsp:// or file://)\n",
                   stderr);
        return kDumpUsage;
    }
    const skv::MovieCheck c = skv::checkMovieFile(rest[0]);
    if (!c.isStream()) {
        std::fprintf(stderr, "skvc: %s\n", c.sentence(rest[0]).c_str());
        return kDumpNotAStream;
    }
    return printChecked(c, stdout);
}

} // namespace skvc
