// A score put on a started test stage the way the player does when its movie starts: the
// compositor attached to the view, the score's compositor made the stage's score, the object
// store given and the buffers made at the stage's size.
#pragma once

#include <gtest/gtest.h>

#include "gfx/animation.h"
#include "movie/scorecompositor.h"
#include "stage_fixture.h"

namespace skv::test {

inline ::testing::AssertionResult putScoreOnStage(TestStage& s, ScoreCompositor& onStage,
                                                  qmsObjectManager& store, int width, int height,
                                                  bool draw) {
    s.movie = true;
    s.animating = true;
    NMTX_SCOPED(g, s.viewMutex());
    nAnimation& a = s.compositor();
    a.reset();
    a.attachView(&s);
    s.setStageScore(&onStage);
    a.setObjectStore(&store);
    if (a.createBuffers(width, height, 8) != 1)
        return ::testing::AssertionFailure() << "the stage's buffers could not be made";
    if (draw) s.redraw(0, 0);
    return ::testing::AssertionSuccess();
}

} // namespace skv::test
