// The common frame of every transition effect and the pixel helpers the families share.
#include "gfx/effectframe.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace skv::effects {

namespace {

// The timer resolution: the device's smallest period, at least 5 ms and at most its largest;
// 0 when the device cannot be asked, which timeBeginPeriod refuses.
UINT timerResolution() {
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
    return std::min(std::max<UINT>(caps.wPeriodMin, 5), caps.wPeriodMax);
}

// The work picture starts as the old picture, at the new picture's size.
std::unique_ptr<nDIB> makeWorkPicture(const nDIB& newPicture, const nDIB* oldPicture) {
    auto work = std::make_unique<nDIB>();
    if (!newPicture.hasHeader() ||
        !work->create(newPicture.width(), newPicture.height(), nullptr, newPicture.colours()))
        return nullptr;
    if (oldPicture && oldPicture->hasHeader() && oldPicture->bits() &&
        oldPicture->bitCount() == 8) {
        std::memcpy(work->colours(), oldPicture->colours(), sizeof(RGBQUAD) * 256);
        copyShifted(*work, *oldPicture, 0, 0);
    }
    return work;
}

void notify(EffectState& s) {
    ++s.steps;
    if (s.hook && *s.hook) (*s.hook)(s.steps);
}

// The last step: the timer goes and the whole new picture is drawn. Done is signalled by the
// caller once it has let go of the step lock.
void finish(EffectState& s) {
    if (const UINT t = s.timer.load()) timeKillEvent(t);
    drawWhole(s.dc, *s.newPicture);
    s.finished = true;
    notify(s);
}

} // namespace

int32_t runEffect(HDC dc, nDIB* newPicture, nDIB* oldPicture, int32_t rate, uint32_t duration,
                  int32_t chunk, int32_t extra, EffectFamily& family, LPTIMECALLBACK routine) {
    if (!newPicture || !newPicture->hasHeader() || !newPicture->bits()) return 1;
    EffectState s;
    s.dc = dc;
    s.newPicture = newPicture;
    s.oldPicture = oldPicture;
    s.duration = duration ? duration : 250;
    s.rate = rate;
    s.chunk = chunk;
    s.extra = extra;
    s.progress = &family;
    s.width = newPicture->width();
    s.height = newPicture->height();
    s.hook = stepHookOfThisThread();
    s.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!s.done) return 1; // the frame shows at once
    // A composing effect whose work picture cannot be made draws nothing until its last step.
    if (family.composes()) s.work = makeWorkPicture(*newPicture, oldPicture);
    family.start(s);

    s.resolution = timerResolution();
    if (timeBeginPeriod(s.resolution) != TIMERR_NOERROR) {
        CloseHandle(s.done);
        return -1;
    }
    routine(0, 0, reinterpret_cast<DWORD_PTR>(&s), 0, 0);
    const HANDLE cutShort = cutShortOfThisThread();
    const HANDLE ends[2] = {s.done, cutShort};
    const bool cut =
        WaitForMultipleObjects(cutShort ? 2 : 1, ends, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
    // No step may be running when the state goes. Killing the timer stops the ticks (and a
    // synchronous kill waits for one in progress), but the last step killed its own timer, and
    // on Windows a second kill of that timer returns at once: so wait until the step that
    // signalled done, or any other, has returned as well.
    if (const UINT t = s.timer.load()) timeKillEvent(t);
    while (s.inStep.load() != 0)
        std::this_thread::yield();
    if (cut) {
        std::lock_guard<std::mutex> g(s.stepLock);
        if (!s.finished) {
            drawWhole(s.dc, *s.newPicture);
            s.finished = true;
        }
    }
    const bool ended = timeEndPeriod(s.resolution) == TIMERR_NOERROR;
    CloseHandle(s.done);
    return ended ? 1 : -1;
}

namespace {

// One step under the step lock; true when it was the last.
bool stepLocked(UINT id, EffectState& s, LPTIMECALLBACK routine) {
    std::lock_guard<std::mutex> g(s.stepLock);
    if (s.finished || id != s.timer.load()) return false;
    auto& family = *static_cast<EffectFamily*>(s.progress);
    if (!family.step(s)) {
        finish(s);
        return true;
    }
    notify(s);
    if (id == 0) {
        const UINT t = timeSetEvent(s.delay, s.resolution, routine, reinterpret_cast<DWORD_PTR>(&s),
                                    TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
        // Without a timer no further step would come: the effect ends here.
        if (!t) {
            finish(s);
            return true;
        }
        s.timer.store(t);
    }
    return false;
}

} // namespace

void stepEffect(UINT id, EffectState& s, LPTIMECALLBACK routine) {
    s.inStep.fetch_add(1);
    if (stepLocked(id, s, routine)) SetEvent(s.done);
    s.inStep.fetch_sub(1); // the step's last touch of the state
}

UINT delayFor(uint32_t duration, int32_t count) {
    const uint32_t d = duration / static_cast<uint32_t>(std::max(count, 1));
    return std::max<uint32_t>(d, 1);
}

void sizeSteps(EffectState& s, int32_t size) {
    s.chunk = std::clamp(s.chunk, 1, 128);
    const int64_t strips = (size / s.chunk) * int64_t{1000} / s.duration;
    if (strips >= 16) {
        s.rate = 15;
        s.chunk =
            std::max<int32_t>(1, static_cast<int32_t>(int64_t{size} * 1000 / s.duration / 15));
    }
    s.delay = delayFor(s.duration, size / s.chunk);
}

void drawWhole(HDC dc, const nDIB& picture) {
    const int32_t w = picture.width(), h = picture.height();
    StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, picture.bits(),
                  reinterpret_cast<const BITMAPINFO*>(picture.info()), DIB_RGB_COLORS, SRCCOPY);
}

void drawArea(HDC dc, const nDIB& picture, int32_t x, int32_t y, int32_t w, int32_t h) {
    const int32_t pw = picture.width(), ph = picture.height();
    const int32_t left = std::max(x, 0), top = std::max(y, 0);
    const int32_t right = std::min(x + w, pw), bottom = std::min(y + h, ph);
    if (right <= left || bottom <= top) return;
    // Source rows count from the bottom of the bottom-up picture.
    StretchDIBits(dc, left, top, right - left, bottom - top, left, ph - bottom, right - left,
                  bottom - top, picture.bits(), reinterpret_cast<const BITMAPINFO*>(picture.info()),
                  DIB_RGB_COLORS, SRCCOPY);
}

void copyShifted(nDIB& target, const nDIB& source, int32_t dx, int32_t dy) {
    if (!target.bits() || !source.bits()) return;
    const int32_t tw = target.width(), th = target.height();
    const int32_t sw = source.width(), sh = source.height();
    // Target columns [x0, x1) take source columns [x0 - dx, x1 - dx); rows likewise.
    const int32_t x0 = std::max(0, dx), x1 = std::min(tw, sw + dx);
    const int32_t y0 = std::max(0, dy), y1 = std::min(th, sh + dy);
    if (x1 <= x0 || y1 <= y0) return;
    const size_t ts = static_cast<size_t>(target.stride()),
                 ss = static_cast<size_t>(source.stride());
    for (int32_t row = y0; row < y1; ++row)
        std::memmove(target.bits() + row * ts + x0, source.bits() + (row - dy) * ss + (x0 - dx),
                     static_cast<size_t>(x1 - x0));
}

void copyInPlace(nDIB& target, const nDIB& source, int32_t x, int32_t row, int32_t w, int32_t h) {
    if (!target.bits() || !source.bits()) return;
    const int32_t x0 = std::max(x, 0), y0 = std::max(row, 0);
    const int32_t x1 = std::min({x + w, target.width(), source.width()});
    const int32_t y1 = std::min({row + h, target.height(), source.height()});
    if (x1 <= x0 || y1 <= y0) return;
    const size_t ts = static_cast<size_t>(target.stride()),
                 ss = static_cast<size_t>(source.stride());
    for (int32_t r = y0; r < y1; ++r)
        std::memcpy(target.bits() + r * ts + x0, source.bits() + r * ss + x0,
                    static_cast<size_t>(x1 - x0));
}

} // namespace skv::effects
