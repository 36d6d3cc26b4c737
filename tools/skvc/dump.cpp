#include "dump.h"

#include <cstring>

#include "core/guid.h"
#include "core/localstream.h"
#include "core/registry.h"

namespace skvc {

namespace {

const char* kDumpHelp =
    "usage: skvc dump FILE\n"
    "\n"
    "Lists what a movie stream (.skm) holds: its header (movie identifier and stream\n"
    "version), one line per object (index, class, object identifier, size hint) and how\n"
    "the stream ended.\n"
    "\n"
    "exit status: 0 ended with an end marker, 1 ended early (truncated or corrupt),\n"
    "             2 bad command line, 3 not readable or not a movie stream,\n"
    "             4 an object of an unknown class\n";

} // namespace

int dumpBytes(const std::vector<unsigned char>& bytes, std::FILE* out) {
    using skv::SerializeThread;
    skv::LocalStream stream(bytes);
    if (!stream.run()) {
        std::fprintf(out, "not a movie stream: it does not begin with the 32-byte \"QMS \" header\n");
        return kDumpNotAStream;
    }
    const auto& h = stream.header();
    std::fprintf(out, "movie %s  stream version %d\n", skv::guidText(h.movieId).c_str(),
                 h.streamVersion);
    auto objects = stream.objects();
    for (size_t i = 0; i < objects.size(); ++i) {
        skv::skvObject* o = objects[i];
        std::fprintf(out, "%6zu  %-18s %s  size %d\n", i, skv::classNameOf(o->classId),
                     skv::guidText(o->objectId).c_str(), o->storedSizeHint);
    }
    switch (stream.endReason()) {
    case SerializeThread::EndReason::Marker:
        std::fprintf(out, "end: %s after %zu objects\n", skv::classNameOf(stream.endClassId()),
                     objects.size());
        return kDumpOk;
    case SerializeThread::EndReason::UnknownClass:
        std::fprintf(out, "end: object %zu has an unknown class %s; the stream cannot be read "
                          "past it\n",
                     objects.size(), skv::guidText(stream.endClassId()).c_str());
        return kDumpUnknownClass;
    default:
        std::fprintf(out, "end: the stream stops after %zu objects without an end marker "
                          "(truncated or corrupt)\n",
                     objects.size());
        return kDumpTruncated;
    }
}

int dumpCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kDumpHelp, stdout);
        return kDumpOk;
    }
    if (args.size() != 1) {
        std::fputs("skvc dump: give exactly one movie file, e.g. 'skvc dump demo.skm'\n", stderr);
        return kDumpUsage;
    }
    std::vector<unsigned char> bytes;
    std::string error;
    if (!skv::readWholeFile(args[0], &bytes, &error)) {
        std::fprintf(stderr, "skvc: %s\n", error.c_str());
        return kDumpNotAStream;
    }
    return dumpBytes(bytes, stdout);
}

} // namespace skvc
