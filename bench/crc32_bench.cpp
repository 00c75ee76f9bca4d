// CRC-32 throughput on 256 MiB in memory: each path of Crc32Update, the
// path that Crc32Update picks, and zlib's crc32 as the reference.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "package/crc32.h"

namespace {

constexpr std::size_t kSize = std::size_t{256} << 20;

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> v(kSize);
    std::mt19937_64 rng(1);
    for (std::size_t i = 0; i < v.size(); i += 8) {
      const std::uint64_t r = rng();
      for (std::size_t k = 0; k < 8; ++k) v[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    return v;
  }();
  return data;
}

template <typename Crc>
void Measure(benchmark::State& state, Crc crc) {
  const std::vector<std::uint8_t>& data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(crc(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Crc32Path(benchmark::State& state, quarnet::Crc32Path path) {
  if (!quarnet::Crc32PathSupported(path)) {
    state.SkipWithError("this CPU cannot run the path");
    return;
  }
  Measure(state, [path](const std::uint8_t* p, std::size_t n) {
    return quarnet::Crc32UpdateWith(path, 0, p, n);
  });
}

void BM_Crc32Update(benchmark::State& state) {
  Measure(state, [](const std::uint8_t* p, std::size_t n) { return quarnet::Crc32Update(0, p, n); });
}

void BM_ZlibCrc32(benchmark::State& state) {
  Measure(state, [](const std::uint8_t* p, std::size_t n) { return crc32_z(0, p, n); });
}

BENCHMARK_CAPTURE(BM_Crc32Path, table, quarnet::Crc32Path::kTable)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crc32Path, pclmul, quarnet::Crc32Path::kPclmul)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Crc32Path, vpclmul, quarnet::Crc32Path::kVpclmul)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Update)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
