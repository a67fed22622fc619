// Reading a strong post with every key a user holds: 100 keys, with the right
// one last or none right, for a short mood and the longest. The decode window
// does this on every paste, so it must stay well under a frame (at most 5 ms).
// Sealing is measured beside it.
// Run: build/bench/strong/bench_strong

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "strong/StrongPost.h"

namespace {

using namespace velotan::strong;

std::string Mood(size_t characters) {
    std::string mood;
    static const char* words[] = {"心", "情", "青", "岚", "a", "\r\n", "好"};
    for (size_t i = 0; mood.size() < 3 * characters && i < characters; ++i)
        mood += words[i % 7];
    return mood;
}

// 99 keys of other people, then the writer's key when `rightLast`.
std::vector<StrongKey> Ring(const StrongKey& writer, bool rightLast) {
    std::vector<StrongKey> keys;
    for (int i = 0; i < 99; ++i)
        keys.push_back(NewStrongKey());
    keys.push_back(rightLast ? writer : NewStrongKey());
    return keys;
}

void BM_OpenPost(benchmark::State& state) {
    const size_t characters = static_cast<size_t>(state.range(0));
    const bool rightLast = state.range(1) != 0;
    const StrongKey writer = NewStrongKey();
    const std::string post = *SealPost(writer, Mood(characters));
    const std::vector<StrongKey> keys = Ring(writer, rightLast);
    for (auto _ : state) {
        const OpenResult opened = OpenPost(post, keys);
        benchmark::DoNotOptimize(opened);
        if ((opened.status == OpenStatus::Opened) != rightLast)
            state.SkipWithError("the post opened as it should not");
    }
    state.SetLabel(rightLast ? "right key last of 100" : "no key of 100");
}
BENCHMARK(BM_OpenPost)
    ->ArgsProduct({{20, 32766}, {1, 0}})
    ->ArgNames({"chars", "right"})
    ->Unit(benchmark::kMicrosecond);

void BM_SealPost(benchmark::State& state) {
    const std::string mood = Mood(static_cast<size_t>(state.range(0)));
    const StrongKey key = NewStrongKey();
    for (auto _ : state)
        benchmark::DoNotOptimize(SealPost(key, mood));
}
BENCHMARK(BM_SealPost)->Arg(20)->Arg(32766)->ArgName("chars")->Unit(benchmark::kMicrosecond);

}  // namespace
