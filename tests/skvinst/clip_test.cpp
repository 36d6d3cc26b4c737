// The wait dialog's clip, skvinst.dat, as the system's animation control takes it: the control
// accepts only the plainest AVI files, and refuses anything else without a word.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>

#include "setup_fixture.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

class AnimationControl {
public:
    AnimationControl() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS};
        InitCommonControlsEx(&controls);
        window_ = CreateWindowA(ANIMATE_CLASSA, "", WS_POPUP | ACS_CENTER, 0, 0, 200, 60, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~AnimationControl() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }
    bool open(const std::string& path) {
        return SendMessageA(window_, ACM_OPENA, 0, reinterpret_cast<LPARAM>(path.c_str())) != 0;
    }
    bool show(int frame) {
        return SendMessageA(window_, ACM_PLAY, 1, MAKELPARAM(frame, frame)) != 0;
    }

private:
    HWND window_ = nullptr;
};

// The frame count its main header gives.
uint32_t totalFrames(const std::string& avi) {
    const size_t at = avi.find("avih");
    uint32_t frames = 0;
    if (at != std::string::npos && at + 8 + 20 <= avi.size())
        std::memcpy(&frames, avi.data() + at + 8 + 16, sizeof frames);
    return frames;
}

class ClipTest : public SetupTest {};

TEST_F(ClipTest, TheAnimationControlOpensItAndKnowsEveryFrame) {
    const std::string clip = builtFile("skvinst.dat");
    const auto bytes = readFile(clip);
    ASSERT_TRUE(bytes.has_value());
    const uint32_t frames = totalFrames(*bytes);
    ASSERT_GT(frames, 1u) << "a clip that moves needs frames";

    AnimationControl control;
    ASSERT_TRUE(control.get());
    ASSERT_TRUE(control.open(clip)) << "ACM_OPEN refused " << clip;
    EXPECT_TRUE(control.show(0));
    EXPECT_TRUE(control.show(static_cast<int>(frames - 1)));
    EXPECT_FALSE(control.show(static_cast<int>(frames))) << "the control saw more frames";
}

TEST_F(ClipTest, ABrokenClipIsRefused) {
    // The control is particular: the same clip cut short does not open.
    const auto bytes = readFile(builtFile("skvinst.dat"));
    ASSERT_TRUE(bytes.has_value());
    const std::string cut = setupFile("cut.avi");
    ASSERT_TRUE(writeFile(cut, bytes->substr(0, 200)));
    AnimationControl control;
    EXPECT_FALSE(control.open(cut));
}

} // namespace
} // namespace skvinst_test
