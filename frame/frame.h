// frame.h: the application frame, the program's only contact with the window
// system: window and frame buffer, input, clock, dialogs, clipboard, cursor.
#pragma once
#include <stdint.h>
