// The effect table and runTransition.
#include "gfx/transition.h"

#include <atomic>

#include "gfx/effectframe.h"

namespace skv {

namespace {

// The context of the effect the thread is setting up or running its first step in.
thread_local TransitionContext* tlsContext = nullptr;

// Without a context: atomic, as two players may set up effects at the same time.
std::atomic<uint32_t> sharedRandomState{1};

// The C runtime's linear congruential generator, so that every build draws the same orders.
uint32_t nextRandom(uint32_t state) {
    return state * 214013u + 2531011u;
}

int32_t randomOf(uint32_t state) {
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

} // namespace

namespace effects {

const TransitionStepHook* stepHookOfThisThread() {
    return tlsContext && tlsContext->stepHook ? &tlsContext->stepHook : nullptr;
}

HANDLE cutShortOfThisThread() {
    return tlsContext ? tlsContext->cutShort : nullptr;
}

} // namespace effects

int32_t transitionRand() {
    if (tlsContext) {
        tlsContext->randomState = nextRandom(tlsContext->randomState);
        return randomOf(tlsContext->randomState);
    }
    uint32_t cur = sharedRandomState.load(std::memory_order_relaxed), next;
    do {
        next = nextRandom(cur);
    } while (!sharedRandomState.compare_exchange_weak(cur, next, std::memory_order_relaxed));
    return randomOf(next);
}

void buildTransitionTable(TransitionTable& table) {
    table = TransitionTable{};
    effects::fillMovingEffects(table);
    effects::fillCentreEffects(table);
    effects::fillBandEffects(table);
    effects::fillDissolveEffects(table);
    effects::fillZoomEffects(table);
}

int32_t runTransition(const TransitionTable& table, int32_t effect, HDC dc, nDIB* newPicture,
                      nDIB* oldPicture, int32_t rate, uint32_t duration, int32_t chunk,
                      int32_t extra, TransitionContext* context) {
    if (effect < 0 || effect > 52) return 0;
    const TransitionRoutine routine = table.slots[effect];
    if (!routine) return 0;
    TransitionContext* outer = tlsContext;
    tlsContext = context;
    routine(dc, newPicture, oldPicture, rate, duration ? duration : 250, chunk, extra);
    tlsContext = outer;
    return 1;
}

} // namespace skv
