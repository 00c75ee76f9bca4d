#pragma once
// Packs as the checks of the chosen files meet them: tar archives laid out
// in code, member by member, and gzip streams of them.
#include <string>
#include <string_view>
#include <vector>

namespace quarnet::test {

struct TarMember {
  std::string name;  // the header's name field: 100 bytes at most are kept
  char type = '0';   // '0' file, '5' folder, '2' symbolic link, '3' device, 'L' long name, 'x' extended header
  std::string data;
  std::string prefix = "";  // the POSIX header's folder field, 155 bytes at most
};

// A POSIX tar archive of `members`, ended by two blocks of zeros.
std::string TarArchive(const std::vector<TarMember>& members);

// `bytes` as one gzip stream.
std::string Gzip(std::string_view bytes);

// A configuration pack as a technician makes one: a folder and a file in it.
std::string SamplePack();

}  // namespace quarnet::test
