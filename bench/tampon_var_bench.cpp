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
    // Takes from a full, never-emptied buffer: the read position walks the
    // fraction of the distance to the write position and wraps with it.
    TTamponVar buffer;
    for (std::int32_t i = 0; i < 65535; ++i)
        buffer.Ajout(i & 255);
    for (auto _ : state)
        benchmark::DoNotOptimize(buffer.ExtraitReadOnly());
}
BENCHMARK(BM_ExtraitReadOnly);

// One recorded position and one take, as a drag with one answer per move.
static void BM_AjoutThenExtrait(benchmark::State &state)
{
    TTamponVar buffer;
    std::int32_t v = 0;
    for (auto _ : state) {
        buffer.Ajout(v++ & 255);
        benchmark::DoNotOptimize(buffer.ExtraitReadOnly());
    }
}
BENCHMARK(BM_AjoutThenExtrait);

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
