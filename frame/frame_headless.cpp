// frame_headless.cpp: the frame without a window, driven by a test script.
#include "frame/frame.h"
