// The frame every transition effect runs in: its state record, the timer that paces its steps,
// the first step called directly, the wait for the last one, and the pixel helpers the
// families share.
//
// An effect is a family object (its progress record) with three operations: whether it
// composes a work picture, `start` (step sizing: the delay between steps, and the chunk and
// rate it settles on) and `step` (one step drawn; false when the effect has ended, after which
// the frame draws the whole new picture and signals the done event). Steps run under the
// state's step lock, so a tick that arrives while the first step is still setting up the timer
// waits for it rather than being lost.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "gfx/dib.h"
#include "gfx/transition.h"
#include "platform/mmsystem.h"
#include "platform/win32.h"

namespace skv::effects {

struct EffectState {
    HDC dc = nullptr;
    nDIB* newPicture = nullptr;
    nDIB* oldPicture = nullptr;
    std::unique_ptr<nDIB> work; // composing effects only; null when it could not be made
    uint32_t duration = 250;    // ms
    int32_t rate = 30;          // steps a second asked for; 15 once capped
    int32_t chunk = 1;
    int32_t extra = 0;
    std::atomic<UINT> timer{0}; // the periodic timer, 0 before the first step
    HANDLE done = nullptr;      // manual reset, signalled by the last step
    void* progress = nullptr;   // the family

    int32_t width = 0, height = 0; // of the new picture
    UINT delay = 1;                // ms between steps
    UINT resolution = 0;
    int32_t steps = 0; // steps drawn so far
    bool finished = false;
    const TransitionStepHook* hook = nullptr;
    std::mutex stepLock;
    std::atomic<int> inStep{0}; // steps running now; the state lives until none is
};

class EffectFamily {
public:
    virtual ~EffectFamily() = default;
    virtual bool composes() const = 0;
    // Sets the step delay; may change the chunk and the rate.
    virtual void start(EffectState& s) = 0;
    // Draws one step. False when the effect has ended: nothing was drawn and the frame draws
    // the whole new picture.
    virtual bool step(EffectState& s) = 0;
};

// The common frame: state, work picture, timer resolution, the first step, the wait, the
// clean-up. 1 when done, -1 when the timer resolution cannot be set.
int32_t runEffect(HDC dc, nDIB* newPicture, nDIB* oldPicture, int32_t rate, uint32_t duration,
                  int32_t chunk, int32_t extra, EffectFamily& family, LPTIMECALLBACK routine);
// One step from the timer `id` (0: the direct first call); ticks of other timers are ignored.
void stepEffect(UINT id, EffectState& s, LPTIMECALLBACK routine);

// The routine of one effect number in one family, with the step routine's own busy flag: a
// tick that comes while the previous one of the same routine still runs returns at once. The
// first step, called directly by the effect's own thread, never waits on the flag: another
// stage's effect of the same number may be drawing a tick of its own on the timer's thread at
// that moment, and an effect whose first step were dropped would never start its timer.
template <class Family, int32_t Effect> struct Routine {
    static void CALLBACK step(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
        static volatile LONG busy = 0;
        auto& s = *reinterpret_cast<EffectState*>(user);
        if (id == 0) {
            stepEffect(id, s, &step);
            return;
        }
        if (InterlockedExchange(&busy, 1)) return;
        stepEffect(id, s, &step);
        InterlockedExchange(&busy, 0);
    }
    static int32_t run(HDC dc, nDIB* newPicture, nDIB* oldPicture, int32_t rate, uint32_t duration,
                       int32_t chunk, int32_t extra) {
        Family family(Effect);
        return runEffect(dc, newPicture, oldPicture, rate, duration, chunk, extra, family, &step);
    }
};

// Puts the family's routine for each of the effect numbers into the table.
template <class Family, int32_t... Effects> void fill(TransitionTable& table) {
    ((table.slots[Effects] = &Routine<Family, Effects>::run), ...);
}

// ---- step sizing --------------------------------------------------------------------------

// Wipes, pushes, uncovers and covers along one axis of `size` pixels: the chunk is at most
// 128; more than 15 strips a second makes the effect 15 steps a second with a chunk to match.
// Sets the delay for size / chunk steps.
void sizeSteps(EffectState& s, int32_t size);
// duration / count, at least 1 ms.
UINT delayFor(uint32_t duration, int32_t count);

// ---- drawing (y counted from the top, as on the window) -------------------------------------

// The whole picture at (0, 0) of the DC.
void drawWhole(HDC dc, const nDIB& picture);
// The part (x, y, w, h) of the picture at the same place in the DC, clipped to the picture.
void drawArea(HDC dc, const nDIB& picture, int32_t x, int32_t y, int32_t w, int32_t h);

// ---- composing (rows as in memory: row 0 is the bottom of the picture) ----------------------

// Copies the source's pixels shifted by (dx, dy) (dy upward) into the target, clipped to both.
void copyShifted(nDIB& target, const nDIB& source, int32_t dx, int32_t dy);
// Copies the rectangle from x, memory row `row`, w x h, in place (same position), clipped.
void copyInPlace(nDIB& target, const nDIB& source, int32_t x, int32_t row, int32_t w, int32_t h);

// The hook and the cut-short event runTransition was given for the effect it runs on the
// calling thread (none: null).
const TransitionStepHook* stepHookOfThisThread();
HANDLE cutShortOfThisThread();

// The families, each filling its slots of the table.
void fillMovingEffects(TransitionTable& table);   // 1-4, 11-22, 29-36
void fillCentreEffects(TransitionTable& table);   // 5-10
void fillBandEffects(TransitionTable& table);     // 27, 28, 37, 38, 39-46, 49
void fillDissolveEffects(TransitionTable& table); // 23-26, 50-52
void fillZoomEffects(TransitionTable& table);     // 47, 48

} // namespace skv::effects
