// skvplay: a small browser for the Skyvora plug-in, and the program people run to watch a movie.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "session.h"

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: skvplay [options] PAGE-OR-ADDRESS\n"
        "\n"
        "Plays a Skyvora movie through the npskyv32 plug-in, as a browser does.\n"
        "PAGE-OR-ADDRESS is an HTML page (every <embed> of type application/vnd.skyvora or\n"
        "with a .skm src gets the plug-in), a movie address (file:, qmsp://host/movie, or a\n"
        "path to a movie file) or an embed source file (a text whose first line is the address).\n"
        "\n"
        "options:\n"
        "  --headless         no window, on the virtual clock (the default without a display);\n"
        "                     without --seconds it stops after 600 s of movie time\n"
        "  --window           a window, never headless: without a display (DISPLAY or\n"
        "                     WAYLAND_DISPLAY) it stops with exit status 1\n"
        "  --frames DIR       save every frame shown as DIR/frame-NNNNN.png (NNNNN counts the\n"
        "                     frames shown, from 1)\n"
        "  --contact-sheet F  write the frames side by side into the PNG file F: at most 32,\n"
        "                     spread evenly over the run, each numbered with its count of\n"
        "                     frames shown (the NNNNN of frame-NNNNN.png)\n"
        "  --contact-sheet-every N\n"
        "                     put every Nth frame shown on the contact sheet instead: frames\n"
        "                     N, 2N, 3N, ... (the first 128 of them)\n"
        "  --steps            also keep the window after every step of a transition, as\n"
        "                     DIR/frame-NNNNN-step-SSS.png (NNNNN: the frame they lead to)\n"
        "                     and on the contact sheet, numbered NNNNN-S\n"
        "  --max-frames N     stop after N frames\n"
        "  --seconds S        stop after S seconds of (virtual, when headless) time\n"
        "  --input FILE       an input script (docs/input-script.md), started with playback\n"
        "  --log FILE         JSON lines: status codes and texts, message boxes, URL requests,\n"
        "                     controller states, script events, frames\n"
        "  --old-browser      pretend to be a browser that cannot notify (version 0.8)\n"
        "  --plugin NAME      the plug-in module to load (default npskyv32, beside skvplay)\n"
        "  --work DIR         where written pages, embed sources and fetched streams go\n"
        "  --help             this text\n"
        "\n"
        "Exit status:\n"
        "  0  a movie played\n"
        "  1  no window could be opened\n"
        "  2  bad arguments, or a page, file, log or input script that cannot be used\n"
        "  3  the plug-in showed an error box (skvplay also says what a local file holds)\n"
        "  4  nothing played: not one frame was shown\n"
        "  5  the source an embed of the page names could not be fetched\n"
        "  6  the movie's server could not be reached (not found, refused, no answer)\n",
        out);
}

bool needValue(int i, int argc, const char* name) {
    if (i + 1 < argc) return true;
    std::fprintf(stderr, "skvplay: %s needs a value (see skvplay --help)\n", name);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    skvplay::SessionOptions o;
    bool forceWindow = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--steps") {
            o.steps = true;
        } else if (a == "--window") {
            forceWindow = true;
        } else if (a == "--old-browser") {
            o.oldBrowser = true;
        } else if (a == "--frames" || a == "--contact-sheet" || a == "--max-frames" ||
                   a == "--seconds" || a == "--input" || a == "--log" || a == "--plugin" ||
                   a == "--work" || a == "--contact-sheet-every") {
            if (!needValue(i, argc, a.c_str())) return 2;
            const std::string v = argv[++i];
            if (a == "--frames") o.framesDir = v;
            if (a == "--contact-sheet") o.contactSheet = v;
            if (a == "--input") o.inputPath = v;
            if (a == "--log") o.logPath = v;
            if (a == "--plugin") o.pluginName = v;
            if (a == "--work") o.workDir = v;
            if (a == "--contact-sheet-every") {
                o.contactSheetEvery = std::atoi(v.c_str());
                if (o.contactSheetEvery <= 0) {
                    std::fprintf(stderr,
                                 "skvplay: --contact-sheet-every needs a positive number\n");
                    return 2;
                }
            }
            if (a == "--max-frames") {
                o.maxFrames = std::atoi(v.c_str());
                if (o.maxFrames <= 0) {
                    std::fprintf(stderr, "skvplay: --max-frames needs a positive number\n");
                    return 2;
                }
            }
            if (a == "--seconds") {
                o.seconds = std::atof(v.c_str());
                if (o.seconds <= 0) {
                    std::fprintf(stderr, "skvplay: --seconds needs a positive number\n");
                    return 2;
                }
            }
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "skvplay: unknown option %s (see skvplay --help)\n", a.c_str());
            return 2;
        } else if (o.target.empty()) {
            o.target = a;
        } else {
            std::fprintf(stderr, "skvplay: give one page or address (see skvplay --help)\n");
            return 2;
        }
    }
    if (o.target.empty()) {
        usage(stderr);
        return 2;
    }
    if (o.contactSheetEvery > 0 && o.contactSheet.empty()) {
        std::fprintf(stderr, "skvplay: --contact-sheet-every needs --contact-sheet FILE, the "
                             "PNG file to write the sheet to\n");
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool hasDisplay = (display && *display) || (wayland && *wayland);
    // Without a display the window library finds one that draws off the screen, where nobody
    // would see the movie play; asked for a window, say that none can be opened.
    if (forceWindow && !o.headless && !hasDisplay) {
        std::fprintf(stderr, "skvplay: cannot open a window: no display is set (DISPLAY and "
                             "WAYLAND_DISPLAY are empty); run it in a desktop session, or "
                             "with --headless\n");
        return skvplay::kNoWindow;
    }
    if (!forceWindow && !hasDisplay) o.headless = true;

    const skvplay::SessionResult r = skvplay::runSession(o);
    if (!r.error.empty()) std::fprintf(stderr, "skvplay: %s\n", r.error.c_str());
    for (const std::string& text : r.boxTexts)
        std::fprintf(stderr, "skvplay: the plug-in showed an error box: %s\n", text.c_str());
    for (const std::string& text : r.explanations)
        std::fprintf(stderr, "skvplay: %s\n", text.c_str());
    if (r.stoppedAtLimit)
        std::fprintf(stderr,
                     "skvplay: stopped at the headless limit of %d s of movie time; give "
                     "--seconds N to play longer\n",
                     skvplay::kHeadlessLimitSeconds);
    if (r.exitCode == 0 || r.exitCode == 3) {
        std::printf("skvplay: %d frames shown%s\n", r.framesShown,
                    r.completed ? ", the movie played to its end" : "");
        if (!o.framesDir.empty())
            std::printf("skvplay: %d frames saved in %s\n", r.framesSaved, o.framesDir.c_str());
        if (!o.framesDir.empty() && o.steps)
            std::printf("skvplay: %d transition steps saved in %s\n", r.stepsSaved,
                        o.framesDir.c_str());
        if (!o.contactSheet.empty() && !r.sheetNumbers.empty())
            std::printf("skvplay: contact sheet %s: %zu pictures, numbered %s to %s\n",
                        o.contactSheet.c_str(), r.sheetNumbers.size(),
                        r.sheetNumbers.front().c_str(), r.sheetNumbers.back().c_str());
        if (r.sheetLeftOut > 0)
            std::printf("skvplay: %d more frames chosen did not fit on the contact sheet; a "
                        "larger --contact-sheet-every spreads it over the whole run\n",
                        r.sheetLeftOut);
    }
    return r.exitCode;
}
