#pragma once
// Output naming and the small file operations shared by the builder and the
// repack job. Relative names resolve against the working folder.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "package/format.h"

namespace quarnet {

// "package[" + a letter per known item name in table order + "].bin".
void ExpectedPackageName(int count, const ItemNameTable& names, PathBuffer& out);

// Directory part + stem + "_new.bin". The result may be longer than a path
// buffer; refusing that is the caller's decision.
std::string DefaultNewPackageName(const char* packagePath);

// The size of the regular file `path`; -1 with the reason recorded.
int ReadFileSize(const char* path, std::uint64_t& size);
// Replaces `target` with the bytes of `sources` one after the other. The
// new file takes the name only when complete. Returns 0, or 1 with the
// reason recorded and, in `failed`, the position of the source whose read
// or write failed, or the number of sources when the final commit did.
int JoinFiles(const char* target, std::initializer_list<const char*> sources, std::size_t* failed = nullptr);

}  // namespace quarnet
