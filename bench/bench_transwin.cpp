// bench_transwin.cpp: four transient windows, 500 x 360 each in a 1024 x 768
// frame, on a 50-section RC ladder (R 1k, C 1u, PULSE source) at 4096
// sub-steps a column, drawn one pass after another while their runs compute.
// Targets: no transient call over 12 ms (counter slowest_ms: the windows
// share 20 ms a pass, each at most 10 ms, and a deadline is checked every 16
// sub-steps) and 30 passes a second or more (passes_per_s). The clock and the
// figures run on this thread's processor time, as in bench_plots.cpp.
#include <benchmark/benchmark.h>
#include <math.h>
#include <time.h>
#include <vector>
#include "tests/testcircuit.h"
#include "edit/edit.h"

enum { FRAMEW = 1024, FRAMEH = 768, VIEWW = 500, VIEWH = 360, SECTIONS = 50, WINDOWS = 4, SAMPS = 4096 };

static double now(void)
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static std::vector<uint32_t> frame(FRAMEW * FRAMEH);

// the ladder and four fresh windows in the frame's corners, probing the
// capacitors at a quarter, half, three quarters and the end of the ladder
static void setup(void)
{
    static int32_t decoded = 0;
    if (!decoded) decodepictures(), decoded = 1;
    defaultopts(&vopts);
    vopts.sampsperpix = SAMPS, vopts.autoyscale = 0;
    colbits = 32, colbytes = 4, drawpixp = drawpix32;
    memcpy(vpal, ovpal, sizeof vpal);
    plotclock = now;
    int32_t last = tcladder(SECTIONS, "PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)", 'R', "1000", 'C', "1E-6");
    numplots = WINDOWS;
    for (int32_t i = 0; i < WINDOWS; i++) {
        plottype &r = plot[i];
        free(r.colmin), free(r.colmax), free(r.savestate);
        memset(&r, 0, sizeof r);
        r.kind = PLOT_TRANS, r.plotwire = last - 2 * ((SECTIONS - 1) * (WINDOWS - 1 - i) / WINDOWS), r.plotsense = 1;
        r.reset = -1, r.xscale = 1e-4, r.yscale = 1, r.yoffset = VIEWH / 2;
        r.xoffset = -2, r.firstcol = -2, r.cura = r.curb = NAN;  // as a window opens
        r.left = i & 1 ? FRAMEW - VIEWW : 0, r.top = i & 2 ? FRAMEH - VIEWH : 0;
        r.right = r.left + VIEWW, r.bottom = r.top + VIEWH;
    }
}

// one pass: each window's view cleared and drawn; the slowest call into *slowest
static void pass(double *slowest)
{
    for (int32_t i = 0; i < WINDOWS; i++) {
        plottype &r = plot[i];
        gplot = &r;
        gdd = {(intptr_t)&frame[(int32_t)r.top * FRAMEW + (int32_t)r.left], FRAMEW * 4, VIEWW, VIEWH};
        drawrectfill(&gdd, 0, 0, VIEWW, VIEWH, (int32_t)vpal[PAL_BLACK]);
        double t0 = now();
        transplot(r.plotwire, r.plotsense, 1);
        double dt = now() - t0;
        if (dt > *slowest) *slowest = dt;
    }
}

// passes while the four runs compute
static void BM_FourWindowsComputing(benchmark::State &st)
{
    setup();
    fmousx = 250, fmousy = 100;
    double slowest = 0, spent = 0;
    int64_t passes = 0;
    for (auto _ : st) {
        double t0 = now();
        pass(&slowest);
        spent += now() - t0, passes++;
    }
    st.counters["slowest_ms"] = slowest * 1000;
    st.counters["passes_per_s"] = passes / spent;
    st.counters["columns"] = plot[0].numcols;
}
BENCHMARK(BM_FourWindowsComputing)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(3);

// the runs done (the view and one view ahead, at one sub-step a column to get
// there quickly): a pass only redraws, and the columns stay where they stopped
static void BM_FourWindowsDone(benchmark::State &st)
{
    setup();
    vopts.sampsperpix = 1;
    plotclock = [] { return 0.0; };
    double slowest = 0;
    pass(&slowest);
    plotclock = now, slowest = 0;
    for (auto _ : st) pass(&slowest);
    st.counters["slowest_ms"] = slowest * 1000;
    st.counters["columns"] = plot[0].numcols;
}
BENCHMARK(BM_FourWindowsDone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
