// frame_sdl.cpp: the frame over SDL2.
#include "frame/frame.h"
#include <SDL.h>
