// Redrawing the settings window's LED panel, which happens on every property
// put, resize and show.

#include "DrawLed.h"
#include "ImageSurface.h"

#include <benchmark/benchmark.h>

namespace {

// The panel is 2175 x 375 twips; its surface leaves out the 80-twip strip.
constexpr double kSurfaceWidth = 2175;
constexpr double kSurfaceHeight = 375 - 80;

void BM_DrawLed(benchmark::State& state) {
    vxled::ImageSurface surface;
    surface.setBackColor(0x00000000);
    surface.setSize(kSurfaceWidth, kSurfaceHeight);
    // A key pair as the settings window shows it: seven characters.
    const QString caption = QStringLiteral("27.3914");
    for (auto _ : state) {
        vxled::DrawLed(caption, surface, vxled::LedPosition{5, 5}, 0x0000FF00, 0x00063003,
                       vxled::TextLeft);
        benchmark::DoNotOptimize(surface.image().constBits());
    }
}
BENCHMARK(BM_DrawLed)->Unit(benchmark::kMicrosecond);

}  // namespace
