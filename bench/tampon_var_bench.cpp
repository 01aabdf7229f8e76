// Cost of the write pacing buffer's two operations: recording a slider position
// (Ajout) and taking one (ExtraitReadOnly), as a drag and its answers call them.
#include "tampon_var.h"

#include <benchmark/benchmark.h>

using varnel::TTamponVar;

static void BM_Ajout(benchmark::State &state)
{
    TTamponVar buffer;
    std::int32_t v = 0;
    for (auto _ : state) {
        buffer.Ajout(v++ & 255);
        benchmark::DoNotOptimize(buffer.Pointeur_Write());
    }
}
BENCHMARK(BM_Ajout);

static void BM_ExtraitReadOnly(benchmark::State &state)
{
    TTamponVar buffer;
    std::int32_t v = 0;
    for (auto _ : state) {
        // One answer per four positions: the backlog a fast drag produces.
        state.PauseTiming();
        for (int i = 0; i < 4; ++i)
            buffer.Ajout(v++ & 255);
        state.ResumeTiming();
        benchmark::DoNotOptimize(buffer.ExtraitReadOnly());
    }
}
BENCHMARK(BM_ExtraitReadOnly);

// A whole drag: 255 positions, a take after every third, then the tail.
static void BM_Drag255(benchmark::State &state)
{
    TTamponVar buffer;
    for (auto _ : state) {
        for (std::int32_t p = 0; p < 255; ++p) {
            if (buffer.Vide())
                benchmark::DoNotOptimize(p);
            buffer.Ajout(p);
            if (p % 3 == 2 && !buffer.Vide())
                benchmark::DoNotOptimize(buffer.ExtraitReadOnly());
        }
        while (!buffer.Vide())
            benchmark::DoNotOptimize(buffer.ExtraitReadOnly());
    }
    state.SetItemsProcessed(state.iterations() * 255);
}
BENCHMARK(BM_Drag255);
