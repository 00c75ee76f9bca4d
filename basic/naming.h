#pragma once
// Output naming and the small file operations shared by the builder and the
// repack job. Relative names resolve against the working directory.
#include <cstdint>
#include <string>

#include "package/format.h"

namespace quarnet {

// "package[" + a letter per known item name in table order + "].bin".
void ExpectedPackageName(int count, const ItemNameTable& names, PathBuffer& out);

// Directory part + stem + "_new.bin". The result may be longer than a path
// buffer; refusing that is the caller's decision.
std::string DefaultNewPackageName(const char* packagePath);

int ReadFileSize(const char* path, std::uint64_t& size);
// CopyFile replaces `target` with a copy of `source`; AppendFile adds the
// bytes of `source` at the end of `target`. Both create `target` through
// OpenOutputFile, return 0 or 1 and record a failure's reason.
int CopyFile(const char* source, const char* target);
int AppendFile(const char* target, const char* source);
void RemoveItemFiles(int count, const ItemNameTable& names);

}  // namespace quarnet
