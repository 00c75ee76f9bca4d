#include "tests/support/pack_builder.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <numeric>

namespace quarnet::test {
namespace {

constexpr std::size_t kBlock = 512;

// `value` in `width` - 1 octal digits and a NUL.
void Octal(std::array<char, kBlock>& h, std::size_t at, std::size_t width, std::uint64_t value) {
  for (std::size_t i = width - 1; i-- > 0; value >>= 3) h[at + i] = static_cast<char>('0' + (value & 7));
  h[at + width - 1] = '\0';
}

std::string Header(const TarMember& m) {
  std::array<char, kBlock> h{};
  std::memcpy(h.data(), m.name.data(), std::min<std::size_t>(m.name.size(), 100));
  Octal(h, 100, 8, m.type == '5' ? 0755 : 0644);
  Octal(h, 108, 8, 0);
  Octal(h, 116, 8, 0);
  Octal(h, 124, 12, m.data.size());
  Octal(h, 136, 12, 1368000000);
  std::memset(h.data() + 148, ' ', 8);
  h[156] = m.type;
  std::memcpy(h.data() + 257, "ustar\0" "00", 8);
  std::memcpy(h.data() + 345, m.prefix.data(), std::min<std::size_t>(m.prefix.size(), 155));
  const unsigned sum = std::accumulate(h.begin(), h.end(), 0u, [](unsigned s, char c) { return s + static_cast<unsigned char>(c); });
  Octal(h, 148, 7, sum);
  return std::string(h.data(), h.size());
}

}  // namespace

std::string TarArchive(const std::vector<TarMember>& members) {
  std::string tar;
  for (const TarMember& m : members) {
    tar += Header(m) + m.data;
    tar.resize((tar.size() + kBlock - 1) / kBlock * kBlock, '\0');
  }
  return tar + std::string(2 * kBlock, '\0');
}

std::string Gzip(std::string_view bytes) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, bytes.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string SamplePack() {
  return Gzip(TarArchive({{"xml/", '5', ""}, {"xml/config.xml", '0', "<config/>\n"}}));
}

}  // namespace quarnet::test
