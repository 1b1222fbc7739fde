// test_frame_sdl.cpp: smoke test of the window backend under the dummy video
// driver: open, show, resize, pushed keys and mouse, the in-window path
// prompt, quit; and starts that must fail. The one test that sees SDL.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <string>
#include "frame/frame.h"

// No display, no sound, no external chooser: nothing may block or show.
static void dummyvideo(const char *driver) {
    setenv("SDL_VIDEODRIVER", driver, 1), setenv("SDL_AUDIODRIVER", "dummy", 1), setenv("PATH", "", 1);
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
}

// a key event (with the text it types, if any) or a bare event of that type
static void push(Uint32 type, SDL_Scancode sc = SDL_SCANCODE_UNKNOWN, SDL_Keycode sym = 0, Uint16 mod = 0,
                 const char *text = nullptr) {
    SDL_Event e = {};
    e.type = type, e.key.keysym.scancode = sc, e.key.keysym.sym = sym, e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
    for (size_t i = 0; text && i < strlen(text); i += 16) {
        e = {}, e.type = SDL_TEXTINPUT;
        snprintf(e.text.text, sizeof(e.text.text), "%.16s", text + i);
        SDL_PushEvent(&e);
    }
}

static void windowevent(Uint8 what) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT, e.window.event = what;
    SDL_PushEvent(&e);
}

struct SdlFrame : ::testing::Test {
    void SetUp() override {
        dummyvideo("dummy");
        prognam = "velto test";
        ASSERT_EQ(initapp(320, 200), 1);
        breath();
        keyfifr = keyfifw;
    }
    void TearDown() override { uninitapp(); }
};

// No video driver, a nonsense size, and (with no display at all) the window
// layer's fallback to an invisible offscreen window, which counts as no window.
TEST(SdlInit, FailsWithoutAVisibleWindowOrWithANonsenseSize)
{
    dummyvideo("nonexistent");
    EXPECT_EQ(initapp(320, 200), -1);
    dummyvideo("dummy");
    EXPECT_EQ(initapp(0, 200), -1);
    if (access("/dev/dri", F_OK) == 0) GTEST_SKIP() << "a console display (/dev/dri) could open here";
    unsetenv("SDL_VIDEODRIVER"), unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(initapp(320, 200), -1);
}

TEST_F(SdlFrame, ShowsFramesFollowsAResizeAndQuits)
{
    tiletype t;
    ASSERT_EQ(startdirectdraw(&t.f, &t.p, &t.x, &t.y), 1);
    EXPECT_EQ(t.x, 320);
    EXPECT_EQ(t.y, 200);
    drawrectfill(&t, 0, 0, t.x, t.y, 0x0000AA), nextpage();
    SDL_Window *w = nullptr;
    for (Uint32 id = 1; !w && id < 256; id++) w = SDL_GetWindowFromID(id);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(w), "velto test");
    SDL_SetWindowSize(w, 640, 480);
    EXPECT_EQ(breath(), 0);
    startdirectdraw(&t.f, &t.p, &t.x, &t.y);
    EXPECT_EQ(t.x, 640);
    EXPECT_EQ(t.y, 480);
    EXPECT_EQ(t.p, 2560);
    drawrectfill(&t, 0, 0, t.x, t.y, 0xFFFFFF), nextpage(), setcurs(CURS_HAND), Sleep(0);
    windowevent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_NE(breath(), 0);
    uninitapp();
    ASSERT_EQ(initapp(320, 200), 1);  // opens again; quitloop ends the loop too
    EXPECT_EQ(breath(), 0);
    quitloop();
    EXPECT_NE(breath(), 0);
}

TEST_F(SdlFrame, KeysBecomeScanCodesCharactersAndModifiersAndStayHeld)
{
    push(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT, "A");
    push(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN), push(SDL_KEYDOWN, SDL_SCANCODE_UP, SDLK_UP);
    push(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL);
    push(SDL_KEYDOWN, SDL_SCANCODE_Y, SDLK_z, 0, "z");            // a German layout: letters and
    push(SDL_KEYDOWN, SDL_SCANCODE_7, SDLK_7, KMOD_RSHIFT, "/");  // shifted symbols follow it
    push(SDL_KEYDOWN, SDL_SCANCODE_LGUI, SDLK_LGUI, KMOD_LGUI);
    push(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT);
    push(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    auto pass = [] { breath(), readkeyboard(); return keystatus[SC_RCTRL]; };
    EXPECT_EQ(pass(), 1);
    const int32_t want[] = {'A' | 0x1E00 | KEYSHIFT, 13 | 0x1C00, 0xC800, 'q' | 0x1000 | KEYCTRL | KEYCOMMAND,
                            'z' | 0x1500, '/' | 0x0800 | KEYSHIFT, 0xDB00 | KEYCOMMAND, 13 | 0x9C00 | KEYOPTION,
                            0x9D00 | KEYCTRL, 0};
    for (int32_t k : want) EXPECT_EQ(keyread(), k);
    keystatus[SC_RCTRL] = 0;  // the program swallows it
    EXPECT_EQ(pass(), 0);
    windowevent(SDL_WINDOWEVENT_FOCUS_LOST), keystatus[SC_RCTRL] = 1;
    EXPECT_EQ(pass() + ActiveApp, 0);
    windowevent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(pass(), 1);
    push(SDL_KEYUP, SDL_SCANCODE_RCTRL);
    EXPECT_EQ(pass(), 0);
}

TEST_F(SdlFrame, MouseClipboardAndUnshownQuestion)
{
    SDL_Event e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    for (Uint8 b : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE}) e.button.button = b, SDL_PushEvent(&e);
    e = {}, e.type = SDL_MOUSEMOTION, e.motion.xrel = 5, e.motion.yrel = -3;
    SDL_PushEvent(&e), SDL_PushEvent(&e);
    e = {}, e.type = SDL_MOUSEWHEEL, e.wheel.y = 2;
    SDL_PushEvent(&e);
    e = {}, e.type = SDL_MOUSEBUTTONUP, e.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&e);
    dmousx = dmousy = dmousz = 0;
    breath();
    EXPECT_EQ(bstatus, 3);  // the left click came and went in one breath: the program sees it once
    EXPECT_EQ(mousx, 0);
    breath();
    EXPECT_EQ(bstatus, 2);
    EXPECT_EQ(dmousx, 10);
    EXPECT_EQ(dmousy, -6);
    EXPECT_EQ(dmousz, 240);
    ASSERT_EQ(clipboard_write("4.7k and more", 4), 1);
    int32_t n = 0;
    char *c = clipboard_read(&n);
    EXPECT_EQ(std::string(c ? c : "", n), "4.7k");
    free(c);
    EXPECT_EQ(msgbox_yesno("Are you sure you want to clear?", prognam), 0);  // no box, no "Yes"
}

TEST_F(SdlFrame, PathPromptOpensExistingFilesAndSavesNewOnes)
{
    char dir[] = "/tmp/veltoframeXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string have = std::string(dir) + "/filter.VSM", fresh = std::string(dir) + "/out.BMP";
    fclose(fopen(have.c_str(), "w"));
    auto typed = [](std::string s, bool escape = false) {
        push(SDL_KEYDOWN, SDL_SCANCODE_U, SDLK_u, KMOD_LCTRL, s.c_str());  // Ctrl+U empties the line
        push(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);
        if (escape) push(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    };
    typed(have);
    char *p = loadfileselect("VSM file..", "*.VSM");
    EXPECT_EQ(std::string(p ? p : ""), have);
    typed(std::string(dir) + "/missing.VSM", true);  // refused: no such file
    EXPECT_EQ(loadfileselect("VSM file..", "*.VSM"), nullptr);
    typed(fresh);
    p = savefileselect("BMP file..", "*.BMP");
    EXPECT_EQ(std::string(p ? p : ""), fresh);
    typed(have, true);  // replacing needs a "Yes" nobody gives
    EXPECT_EQ(savefileselect("VSM file..", "*.VSM"), nullptr);
    const std::string proposed = std::string(dir) + "/untitled.vsm";
    push(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);  // the proposed path as it stands
    p = savefileselect("VSM file..", proposed.c_str());
    EXPECT_EQ(std::string(p ? p : ""), proposed);
    EXPECT_EQ(keyread(), 0);  // prompt keys never reach the program
    unlink(have.c_str()), rmdir(dir);
}
