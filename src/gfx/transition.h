// Transitions: the frame effects that take the stage window from the previous frame's picture to
// the new one, drawn straight to the window's DC on the multimedia timer while the rendering
// thread waits.
//
// The effect table has 60 slots; 1-52 hold a routine, 0 and 53-59 none:
//
// | effects              | family           | drawing                                        |
// |----------------------|------------------|------------------------------------------------|
// | 1, 2 / 3, 4          | wipe             | work picture; horizontal / vertical            |
// | 5, 7, 9              | centre out       | direct: a band or a rectangle grows from the   |
// |                      |                  | middle (5 columns, 7 rows, 9 both)             |
// | 6, 8, 10             | edges in         | work picture: 6 columns, 8 rows, 10 both       |
// | 11, 12 / 13, 14      | push             | work picture; horizontal / vertical            |
// | 15, 19 / 17, 21      | uncover          | work picture; vertical / horizontal            |
// | 16, 18, 20, 22       | uncover          | diagonal                                       |
// | 23-26, 50-52         | block dissolve   | work picture; all seven the same               |
// | 27 / 28              | random bands     | direct: rows / columns                         |
// | 29, 34 / 32, 33      | cover            | work picture; vertical / horizontal            |
// | 30, 31, 35, 36       | cover            | diagonal                                       |
// | 37 / 49              | blinds           | direct: 12 bands of rows / columns             |
// | 38                   | checkerboard     | work picture                                   |
// | 39, 40, 45, 46       | strips           | work picture: 16 columns                       |
// | 41-44                | strips           | work picture: 16 rows                          |
// | 47 / 48              | zoom             | direct: inverted outlines going out / in       |
//
// Every effect ends by drawing the whole new picture, so what the window shows afterwards does
// not depend on the steps.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/wingdi.h"

namespace skv {

class nDIB;

// An effect routine: (dc, new picture, old picture, steps a second asked for, duration in ms,
// chunk, extra). Answers 1 when done, -1 when the timer resolution cannot be set.
using TransitionRoutine = int32_t (*)(HDC dc, nDIB* newPicture, nDIB* oldPicture, int32_t rate,
                                      uint32_t duration, int32_t chunk, int32_t extra);

struct TransitionTable {
    static constexpr int32_t kSlots = 60;
    TransitionRoutine slots[kSlots] = {};
};

// Fills slots 1-52 and leaves the rest empty.
void buildTransitionTable(TransitionTable& table);

// Called after every step an effect has drawn to the window (the last one included), with the
// step's number counted from 1. It runs on the thread that drew the step: the rendering thread
// for the first step, the multimedia timer's thread for the others.
using TransitionStepHook = std::function<void(int32_t step)>;

// What the caller of a transition lends it: whom to tell of each step, and the state of the
// random numbers its band and dissolve orders are drawn from. The numbers are those of the C
// runtime's rand() (seeded with 1 they give the same orders as a program's first calls), kept
// per caller so that a stage's orders do not depend on what else the process has drawn.
//
// `cutShort`, when set, is an event whose signal ends a running effect at once (the player
// going away must not wait for the rest of a long transition): the timer stops, the whole new
// picture is drawn and the effect returns.
struct TransitionContext {
    TransitionStepHook stepHook;
    uint32_t randomState = 1;
    HANDLE cutShort = nullptr;
};

// Effect outside 0-52, or a slot without a routine (0): answers 0 and does nothing. Otherwise
// runs the routine with the duration (0 runs as 250 ms) and answers 1, whatever the routine
// answered. The context, when given, is used for the effect's steps and random numbers.
int32_t runTransition(const TransitionTable& table, int32_t effect, HDC dc, nDIB* newPicture,
                      nDIB* oldPicture, int32_t rate, uint32_t duration, int32_t chunk,
                      int32_t extra, TransitionContext* context = nullptr);

// The next random number of the running effect's context (0 to 32767); without a context, of
// one shared by the process.
int32_t transitionRand();

} // namespace skv
