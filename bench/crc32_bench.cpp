// CRC-32 throughput on 256 MiB in memory: each path of Crc32Update, the
// path that Crc32Update picks, and zlib's crc32 as the reference.
//
// Each runs over two buffers: one in 4 KiB pages and one in 2 MiB pages
// where the system grants them. At this size the fast paths are limited by
// reading memory, and with small pages much of that is page-table walks,
// not the code under test.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "package/crc32.h"

namespace {

constexpr std::size_t kSize = std::size_t{256} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

// Random bytes in pages of the asked kind; the advice comes before the
// first touch, which is when the kernel picks the page size.
Buffer MakeBuffer(bool hugePages) {
  Buffer buffer(static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, kSize)));
  if (!buffer) std::abort();
  madvise(buffer.get(), kSize, hugePages ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
  std::mt19937_64 rng(1);
  for (std::size_t i = 0; i < kSize; i += 8) {
    const std::uint64_t r = rng();
    for (std::size_t k = 0; k < 8; ++k) buffer.get()[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
  }
  return buffer;
}

using CrcFunction = std::uint32_t (*)(const std::uint8_t*, std::size_t);

template <quarnet::Crc32Path path>
std::uint32_t ForcedPath(const std::uint8_t* p, std::size_t n) {
  return quarnet::Crc32UpdateWith(path, 0, p, n);
}

std::uint32_t Dispatched(const std::uint8_t* p, std::size_t n) { return quarnet::Crc32Update(0, p, n); }

std::uint32_t Zlib(const std::uint8_t* p, std::size_t n) {
  return static_cast<std::uint32_t>(crc32_z(0, p, n));
}

struct Candidate {
  const char* name;
  CrcFunction crc;
  bool supported;
};

void Measure(benchmark::State& state, CrcFunction crc, const std::uint8_t* data) {
  for (auto _ : state) benchmark::DoNotOptimize(crc(data, kSize));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

}  // namespace

int main(int argc, char** argv) {
  using quarnet::Crc32Path;
  const Candidate candidates[] = {
      {"table", ForcedPath<Crc32Path::kTable>, true},
      {"pclmul", ForcedPath<Crc32Path::kPclmul>, quarnet::Crc32PathSupported(Crc32Path::kPclmul)},
      {"vpclmul", ForcedPath<Crc32Path::kVpclmul>, quarnet::Crc32PathSupported(Crc32Path::kVpclmul)},
      {"Crc32Update", Dispatched, true},
      {"zlib", Zlib, true},
  };
  benchmark::Initialize(&argc, argv);
  const Buffer small = MakeBuffer(false);
  const Buffer huge = MakeBuffer(true);
  for (const auto& [pages, data] : {std::pair{"4k", small.get()}, std::pair{"huge", huge.get()}}) {
    for (const Candidate& c : candidates) {
      const std::string name = std::string(c.name) + "/" + pages;
      if (!c.supported) {
        benchmark::RegisterBenchmark(name.c_str(), [](benchmark::State& state) {
          state.SkipWithError("this CPU cannot run the path");
        });
        continue;
      }
      benchmark::RegisterBenchmark(name.c_str(), Measure, c.crc, data)->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
