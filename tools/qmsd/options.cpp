#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace qmsd {

const char* const kHelpText =
    "usage: qmsd [--port N] [--http-port M] [options] DIR\n"
    "\n"
    "Serves the movie streams (.skm files) in DIR to players: a request names a file by its path\n"
    "relative to DIR, and no request can reach a file outside DIR.\n"
    "\n"
    "options:\n"
    "  --port N            native protocol port (default 537; 0 picks a free port)\n"
    "  --http-port M       also answer HTTP/1.0 requests on port M (default: no HTTP port;\n"
    "                      players fall back to HTTP on port 80 or through their proxy)\n"
    "  --bind ADDR         address to listen on (default 0.0.0.0, every interface;\n"
    "                      127.0.0.1 keeps the server to this machine)\n"
    "  --limit BYTES       send at most BYTES bytes per second on each connection\n"
    "  --refuse-native     do not open the native port: players' connections are refused\n"
    "  --ignore-native     accept native connections and close them without an answer, so\n"
    "                      players fall back to HTTP\n"
    "  --drop-after N      close each connection after N bytes of movie data (for tests)\n"
    "  --max-clients N     answer 'busy' beyond N connections at once (default 100)\n"
    "  --port-file FILE    once listening, write the ports in use to FILE, one per line as\n"
    "                      'native N' and 'http M' (useful with port 0)\n"
    "  --quiet             no log lines on standard output\n"
    "  --help              this text\n"
    "\n"
    "Each request is logged on standard output: time, peer, protocol, path, offset, reply and\n"
    "bytes sent. Stop the server with Ctrl+C or SIGTERM.\n";

namespace {

bool parseNumber(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

} // namespace

ParseOutcome parseOptions(const std::vector<std::string>& args, Options* out, std::string* error) {
    Options o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasInlineValue = false;
        if (arg.starts_with("--")) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        // Fetches the option's value, from "--opt=value" or the next argument.
        auto takeValue = [&](const char* what) -> bool {
            if (hasInlineValue) return true;
            if (i + 1 >= args.size()) {
                *error = "qmsd: " + arg + " needs " + what + "; run 'qmsd --help' for the usage.";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto number = [&](const char* what, int64_t lo, int64_t hi, int64_t* target) -> bool {
            if (!takeValue(what)) return false;
            if (!parseNumber(value, lo, hi, target)) {
                *error = "qmsd: " + arg + " needs " + what + ", not '" + value + "'.";
                return false;
            }
            return true;
        };
        int64_t n = 0;
        if (arg == "--help" || arg == "-h") {
            return ParseOutcome::Help;
        } else if (arg == "--port") {
            if (!number("a port number from 0 to 65535 (0 picks a free port)", 0, 65535, &n))
                return ParseOutcome::Error;
            o.nativePort = static_cast<int>(n);
        } else if (arg == "--http-port") {
            if (!number("a port number from 0 to 65535 (0 picks a free port)", 0, 65535, &n))
                return ParseOutcome::Error;
            o.httpPort = static_cast<int>(n);
        } else if (arg == "--bind") {
            if (!takeValue("an address such as 127.0.0.1")) return ParseOutcome::Error;
            o.bindAddress = value;
        } else if (arg == "--limit") {
            if (!number("a rate in bytes per second, at least 1", 1, INT32_MAX, &n))
                return ParseOutcome::Error;
            o.limitBytesPerSecond = n;
        } else if (arg == "--drop-after") {
            if (!number("a byte count", 0, INT64_MAX, &n)) return ParseOutcome::Error;
            o.dropAfter = n;
        } else if (arg == "--max-clients") {
            if (!number("a number of connections from 1 to 10000", 1, 10000, &n))
                return ParseOutcome::Error;
            o.maxClients = static_cast<int>(n);
        } else if (arg == "--port-file") {
            if (!takeValue("a file name")) return ParseOutcome::Error;
            o.portFile = value;
        } else if (arg == "--refuse-native" || arg == "--ignore-native" || arg == "--quiet") {
            if (hasInlineValue) {
                *error = "qmsd: " + arg + " takes no value.";
                return ParseOutcome::Error;
            }
            if (arg == "--refuse-native")
                o.refuseNative = true;
            else if (arg == "--ignore-native")
                o.ignoreNative = true;
            else
                o.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "qmsd: unknown option '" + arg + "'; run 'qmsd --help' for the list.";
            return ParseOutcome::Error;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1) {
        *error =
            positional.empty()
                ? "qmsd: name the directory of movies to serve, e.g. 'qmsd --port 5370 "
                  "movies/'; run 'qmsd --help' for the usage."
                : "qmsd: give exactly one directory to serve; run 'qmsd --help' for the usage.";
        return ParseOutcome::Error;
    }
    if (o.refuseNative && o.ignoreNative) {
        *error = "qmsd: --refuse-native and --ignore-native exclude each other; choose one.";
        return ParseOutcome::Error;
    }
    if (o.refuseNative && o.httpPort < 0) {
        *error = "qmsd: --refuse-native leaves no port to serve on; add --http-port M.";
        return ParseOutcome::Error;
    }
    o.directory = positional[0];
    *out = std::move(o);
    return ParseOutcome::Run;
}

} // namespace qmsd
