// The plug-in driven through its exports by a minimal browser: the entry point tables, the one
// current instance, the embed element's size, and set window.
#include <cstring>
#include <string>

#include "plugin_fixture.h"

using namespace skvtest;

namespace {

std::vector<std::string> g_status;
void status(NPP, const char* text) {
    g_status.push_back(text);
}
NPError geturlnotify(NPP, const char*, const char*, void*) {
    return NPERR_NO_ERROR;
}

class PluginInstance : public ::testing::Test {
protected:
    void SetUp() override {
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        ASSERT_NE(pluginModule(), nullptr) << PLUGIN_MODULE;
        installObserver(&observer);
        getEntryPoints = pluginExport<NP_GetEntryPointsFunc>("NP_GetEntryPoints");
        initialize = pluginExport<NP_InitializeFunc>("NP_Initialize");
        shutdown = pluginExport<NP_ShutdownFunc>("NP_Shutdown");
        ASSERT_TRUE(getEntryPoints && initialize && shutdown);
        funcs.size = sizeof funcs;
        browser.size = sizeof browser;
        browser.status = status;
        browser.geturlnotify = geturlnotify;
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "PluginTestHost";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "PluginTestHost", "", WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                 nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        installObserver(nullptr);
        g_status.clear();
    }
    void start(uint16_t version = 9) {
        ASSERT_EQ(getEntryPoints(&funcs), NPERR_NO_ERROR);
        browser.version = version;
        ASSERT_EQ(initialize(&browser), NPERR_NO_ERROR);
    }
    NPError create(NPP_t* instance, std::vector<std::string> names,
                   std::vector<std::string> values) {
        std::vector<char*> n, v;
        for (auto& s : names)
            n.push_back(s.data());
        for (auto& s : values)
            v.push_back(s.data());
        char type[] = "application/vnd.skyvora";
        return funcs.newp(type, instance, NP_EMBED, static_cast<int16_t>(n.size()), n.data(),
                          v.data(), nullptr);
    }

    RecordingObserver observer;
    NP_GetEntryPointsFunc getEntryPoints = nullptr;
    NP_InitializeFunc initialize = nullptr;
    NP_ShutdownFunc shutdown = nullptr;
    NPPluginFuncs funcs{};
    NPNetscapeFuncs browser{};
    HWND window = nullptr;
};

} // namespace

TEST_F(PluginInstance, EntryPointsCheckTheirTablesAndTheBrowserVersion) {
    EXPECT_EQ(getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    ASSERT_EQ(getEntryPoints(&funcs), NPERR_NO_ERROR);
    EXPECT_EQ(funcs.version, 9);
    EXPECT_TRUE(funcs.newp && funcs.destroy && funcs.setwindow && funcs.asfile && funcs.write);
    EXPECT_EQ(funcs.event, nullptr);

    // A browser of minor version 8 cannot notify: no URL-notify callback.
    browser.version = 8;
    ASSERT_EQ(initialize(&browser), NPERR_NO_ERROR);
    EXPECT_EQ(funcs.urlnotify, nullptr);
    browser.version = 9;
    ASSERT_EQ(initialize(&browser), NPERR_NO_ERROR);
    EXPECT_NE(funcs.urlnotify, nullptr);
    browser.version = 0x0109;
    EXPECT_EQ(initialize(&browser), NPERR_INCOMPATIBLE_VERSION_ERROR);
    EXPECT_EQ(shutdown(), NPERR_NO_ERROR);

    auto mime = pluginExport<NP_GetMIMEDescriptionFunc>("NP_GetMIMEDescription");
    ASSERT_NE(mime, nullptr);
    EXPECT_STREQ(mime(), "application/vnd.skyvora:skm:Skyvora Animation Stream (*.skm)");
}

TEST_F(PluginInstance, OneInstanceAtATimeAndOthersAreRefused) {
    start();
    NPP_t first{}, second{};
    EXPECT_EQ(funcs.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    ASSERT_EQ(create(&first, {"src"}, {"a.skm"}), NPERR_NO_ERROR);
    ASSERT_NE(first.pdata, nullptr);
    // The second embed gets no instance; its callbacks are refused.
    EXPECT_EQ(create(&second, {"src"}, {"b.skm"}), NPERR_NO_ERROR);
    EXPECT_EQ(second.pdata, nullptr);
    NPWindow w{};
    w.window = window;
    EXPECT_EQ(funcs.setwindow(&second, &w), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs.destroy(&second, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(funcs.setwindow(&first, nullptr), NPERR_GENERIC_ERROR);
    NPWindow noHandle{};
    EXPECT_EQ(funcs.setwindow(&first, &noHandle), NPERR_NO_ERROR);
    EXPECT_EQ(observer.players.load(), 0);
    EXPECT_EQ(funcs.destroy(&first, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(funcs.destroy(&first, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    // With the first gone, a new embed gets an instance again.
    NPP_t third{};
    ASSERT_EQ(create(&third, {}, {}), NPERR_NO_ERROR);
    EXPECT_NE(third.pdata, nullptr);
    EXPECT_EQ(funcs.destroy(&third, nullptr), NPERR_NO_ERROR);
    shutdown();
}

TEST_F(PluginInstance, SizeAttributesInAnyCaseAndOneWindowSetUp) {
    start();
    NPP_t inst{};
    ASSERT_EQ(create(&inst, {"SRC", "WiDtH", "HEIGHT", "sw1", "flag"},
                     {"x.skm", "320", "240", "tracking", ""}),
              NPERR_NO_ERROR);
    NPWindow w{};
    w.window = window;
    w.x = 7;
    w.y = 9;
    ASSERT_EQ(funcs.setwindow(&inst, &w), NPERR_NO_ERROR);
    ASSERT_EQ(funcs.setwindow(&inst, &w), NPERR_NO_ERROR);
    EXPECT_EQ(observer.players.load(), 1); // the second set window made no second player
    // The window was subclassed and names the instance.
    EXPECT_EQ(GetPropA(window, "ThisPlugIn"), static_cast<HANDLE>(&inst));
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);

    skv::BrowserLink* link = observer.link.load();
    ASSERT_NE(link, nullptr);
    std::string v;
    EXPECT_TRUE(link->parameter("Sw1", &v));
    EXPECT_EQ(v, "tracking");
    EXPECT_FALSE(link->parameter("flag", &v)); // written without a value: nothing kept
    EXPECT_EQ(link->getLatestNetID(), -1);
    EXPECT_EQ(link->netDone(3), 1);

    EXPECT_EQ(funcs.destroy(&inst, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(GetPropA(window, "ThisPlugIn"), nullptr);
    EXPECT_EQ(observer.link.load(), nullptr);
    shutdown();
}
