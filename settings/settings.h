// settings.h: the user's preferences: the settings record every room reads
// (vopts), velto.ini where it lives, read, corrected and written back, and
// where the help file is. Sits on the circuit layer (paths, file
// replacement) and the analysis's table of time-scale resolutions.
#pragma once
#include <stdint.h>
#include "circuit/circuit.h"    // PATHMAX

// === settings (velto.ini, section [VELTO]) ===
enum { NUMFONTS = 10 };        // fonts the program carries: 4x6 .. 12x16 (fontlist)
enum { RECENTMAX = 8 };        // circuit files the File menu's Recent files lists

struct voptstype {             // the keys in file order
    int32_t xres, yres;        // client size at exit (the value read is not applied)
    int32_t fullscreen;        // kept and written back
    int32_t ismaxxed;          // kept and written back
    int32_t circfont;          // font 0..9 of the schematic, help windows and text entry
    int32_t showcirchelp;      // element help picture at the right edge
    int32_t palinverted;       // inverted colours
    int32_t gridmode;          // dot grid, nodes snap to it
    int32_t showcircles;       // nodes drawn as circles
    int32_t showanimation;     // moving current dashes
    int32_t showresults;       // solved volts and amps on the schematic
    int32_t usewingui;         // 1: keyboard menu off (always 0 here)
    int32_t sampsperpix;       // transient sub-steps per column: 1, 4, 16, .. 4096
    int32_t autoyscale;        // transient value axis follows the trace
    int32_t cpuusage;          // pause per pass: 0 none, 1 Sleep(1), 2 Sleep(100)
    int32_t uiscale;           // window pixels per pixel: 0 as the screen's density calls for, 1..4
    int32_t engunits;          // 1: the schematic's numbers with SI prefix and unit ("4.7 kOhm");
                               // 0 bare ("4700"); a file without the key: 1
    char recent[RECENTMAX][PATHMAX];  // recent1..recent8: absolute paths of the circuit files last
                               // opened or saved, most recent first, no two alike, "" after the last
};
extern voptstype vopts;        // the settings in force (the menu handlers write them)
extern voptstype ovopts;       // as read at start-up: written back at exit only if they differ
extern char veltoinifilnam[PATHMAX];  // the settings file: beside the program when that folder is
                                      // writable, else $XDG_CONFIG_HOME/velto/velto.ini

void setinipath(void);         // chooses veltoinifilnam and helpdir
int32_t inipathfor(char *out, int32_t siz, const char *exedir, const char *confighome,
                   const char *home);  // exedir/velto.ini when a file can be made there, else
                               // confighome/velto/velto.ini (absolute only), else
                               // home/.config/velto/velto.ini; 1 when it fit
void helpdirfor(char *out, int32_t siz, const char *exedir);  // folder of velto.txt: exedir, else
                               // exedir/../share/velto where the file is, else exedir
int32_t exefolder(char *out, int32_t siz);  // folder of the running program; 0 unknown ("")
int32_t joinpath(char *out, int32_t siz, const char *dir, const char *name);  // dir/name; 1 fit
int32_t fullpath(char *out, int32_t siz, const char *path);  // path from the root, links
                               // resolved where the file exists; 1 fit
int32_t circfontindex(void);   // the font everything draws in: vopts.circfont, 1 when out of range
void defaultopts(voptstype *o);
void readini(const char *path, voptstype *o);  // the file's [VELTO] keys over o; no file: o stays
void fixopts(voptstype *o);    // values out of range brought to the nearest valid one
int32_t saveini(void);         // vopts into veltoinifilnam, other sections kept: 1 written; 0 the
                               // old file is untouched. The recent list merges with the file's:
                               // the files opened or saved since it was read or written go first
int32_t configfile(char *out, int32_t siz, const char *name);  // name beside veltoinifilnam, its
                               // folders made; 1 when it fit

// === recent files (vopts.recent) ===
void recentadd(const char *path);  // path made absolute goes first; an older copy of it goes, the
                               // ninth falls off; a path velto.ini cannot hold is not listed
void recentprune(void);        // entries whose files are gone are dropped
int32_t recentcount(void);     // entries in the list

// === the help file ===
extern char helpdir[PATHMAX];  // folder of velto.txt (setinipath); empty: found from the program's
void helpfilename(char *out, int32_t siz, const char *inipath);  // velto.ini path -> velto.txt path
int32_t helpfilepath(char *out, int32_t siz);  // velto.txt where the help window reads it; 1 fit
