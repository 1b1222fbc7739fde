// selection.cpp: what the Edit menu and its keys do with the selected nodes:
// select all, delete, copy to and paste from the clipboard as circuit text
// (it pastes into another VELTO or a text editor), and the undo and redo
// handlers. Depends on edit.h, the circuit texts of the model and the frame's
// clipboard. A paste is repaired as a loaded file would be.
#include "edit/edit.h"
#include <stdlib.h>
#include <string.h>

// === selection ===

void selectall(void)
{
    int32_t all = 1;
    for (int32_t i = 0; i < numnodes; i++) all &= node[i].selected != 0;
    for (int32_t i = 0; i < numnodes; i++) node[i].selected = (int8_t)!all;
    grabrect = -1;
}

static int32_t anyselected(void)
{
    for (int32_t i = 0; i < numnodes; i++)
        if (node[i].selected) return 1;
    return 0;
}

// every wire at a selected node, then the selected nodes left
int32_t deleteselection(void)
{
    if (!anyselected()) return 0;
    if (drawwiremode) cancelwire();
    for (int32_t w = numwires - 1; w >= 0; w--)
        if (w < numwires && (node[wire[w].node1].selected || node[wire[w].node2].selected)) removewire(w);
    for (int32_t n = numnodes - 1; n >= 0; n--)
        if (node[n].selected) deletenode(n);
    grabnode = -1;
    return 1;
}

// === clipboard ===

int32_t copyselection(void)
{
    if (!anyselected()) {
        SysBeep(32);
        return 0;
    }
    size_t n;
    char *t = vsmselectiontext(&n);
    clipboard_write(t, (int32_t)n);
    free(t);
    return 1;
}

void cutselection(void)
{
    if (copyselection()) deleteselection();
}

// the pasted nodes from first on moved so that their top-left corner lands
// on the mouse (a grid point in grid mode)
static void placepaste(int32_t first)
{
    int32_t minx = INT32_MAX, miny = INT32_MAX;
    for (int32_t i = first; i < numnodes; i++) {
        if (node[i].x < minx) minx = node[i].x;
        if (node[i].y < miny) miny = node[i].y;
    }
    const int64_t dx = (int64_t)mousexquant - minx, dy = (int64_t)mouseyquant - miny;
    for (int32_t i = first; i < numnodes; i++) {
        node[i].x = (int32_t)(node[i].x + dx);
        node[i].y = (int32_t)(node[i].y + dy);
    }
}

int32_t pasteclipboard(void)
{
    int32_t n = 0;
    char *t = clipboard_read(&n);
    if (drawwiremode && t) cancelwire();
    const int32_t first = t ? vsmpaste(t, (size_t)n) : -1;
    free(t);
    if (first < 0) {
        SysBeep(32);
        return 0;
    }
    if (first < numnodes) placepaste(first);
    if (vsmrepairs) {
        releasectrl();
        msgbox_ok(vsmrepairmsg(), prognam);
    }
    return 1;
}

// === the Edit menu ===

void menuundo(int32_t) { undo(); }
void menuredo(int32_t) { redo(); }
void menucut(int32_t) { cutselection(); }
void menucopy(int32_t) { copyselection(); }
void menupaste(int32_t) { pasteclipboard(); }
void menudeleteselection(int32_t) { deleteselection(); }
void menuselectall(int32_t) { selectall(); }
