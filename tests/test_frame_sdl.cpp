// test_frame_sdl.cpp: smoke test of the window backend under the dummy video
// driver: open, show, resize, quit; and starts that must fail. The one test
// that sees SDL.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include "frame/frame.h"

// No display, no sound, no external chooser: nothing may block or show.
static void dummyvideo(const char *driver) {
    setenv("SDL_VIDEODRIVER", driver, 1), setenv("SDL_AUDIODRIVER", "dummy", 1), setenv("PATH", "", 1);
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
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
        signal(SIGHUP, SIG_DFL);  // as a terminal leaves it, also when the tests run under nohup
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

// A scale asked for that would make the window bigger than the display keeps
// its pixels: the drawing area shrinks until the window fits.
TEST(SdlInit, AScaleAskedForShrinksTheAreaToFitTheDisplay)
{
    dummyvideo("dummy");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    SDL_Rect r;
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &r), 0);
    uiscale = 2;
    ASSERT_EQ(initapp(r.w, r.h), 1);
    EXPECT_EQ(pixscale, 2);
    EXPECT_EQ(xres, r.w / 2);
    EXPECT_EQ(yres, r.h / 2);
    uninitapp();
    uiscale = 0;
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
    quitcancel();
    raise(SIGHUP);  // the terminal going away asks to quit, as the close button does
    EXPECT_NE(breath(), 0);
    quitcancel();
    EXPECT_EQ(breath(), 0);
}

// While a message box holds the program, what was typed, clicked or wheeled
// at its window is dropped when the box goes; what comes after gets through.
TEST_F(SdlFrame, InputMeantForTheWindowDuringABoxIsDropped)
{
    SDL_Event e = {};
    e.type = SDL_KEYDOWN, e.key.keysym.scancode = SDL_SCANCODE_D, e.key.keysym.sym = SDLK_d;
    SDL_PushEvent(&e);
    e = {}, e.type = SDL_MOUSEBUTTONDOWN, e.button.button = SDL_BUTTON_LEFT, e.button.x = 10, e.button.y = 10;
    SDL_PushEvent(&e);
    e = {}, e.type = SDL_MOUSEWHEEL, e.wheel.y = 1;
    SDL_PushEvent(&e);
    const int32_t z = dmousz;
    msgbox_ok("box", "velto test");  // no display here: the text goes to the terminal
    breath();
    EXPECT_EQ(keyfifw, keyfifr);
    EXPECT_EQ(bstatus & 1, 0);
    EXPECT_EQ(dmousz, z);
    e = {}, e.type = SDL_KEYDOWN, e.key.keysym.scancode = SDL_SCANCODE_D, e.key.keysym.sym = SDLK_d;
    SDL_PushEvent(&e);
    breath();
    EXPECT_NE(keyfifw, keyfifr);
}

// A key gives the character its layout produced: printable ASCII as it is,
// the micro sign as u, anything else none, never the US keyboard's
// character of that place (AZERTY's e acute sits where the 2 is).
TEST_F(SdlFrame, KeysTypeTheCharacterTheirLayoutGives)
{
    const struct { SDL_Scancode place; SDL_Keycode sym; const char *text; int32_t want; } keys[] = {
        {SDL_SCANCODE_2, 0xE9, "\xC3\xA9", 0}, {SDL_SCANCODE_3, '"', "\"", '"'},
        {SDL_SCANCODE_M, 'm', "\xC2\xB5", 'u'}, {SDL_SCANCODE_M, 'm', "\xCE\xBC", 'u'},
    };
    for (const auto &k : keys) {
        SDL_Event e = {};
        e.type = SDL_KEYDOWN, e.key.keysym.scancode = k.place, e.key.keysym.sym = k.sym;
        SDL_PushEvent(&e);
        e = {}, e.type = SDL_TEXTINPUT;
        strcpy(e.text.text, k.text);
        SDL_PushEvent(&e);
        breath();
        ASSERT_EQ(keyfifw - keyfifr, 1u) << k.text;
        EXPECT_EQ(keyread() & 255, k.want) << k.text;
    }
}
