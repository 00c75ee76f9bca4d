#pragma once
// The repack job: unpack an original package, rebuild it with the builder
// engine from its items plus the request's item descriptors, and move the
// result to the output path.
#include <cstdint>

#include "package/format.h"

namespace quarnet {

inline constexpr int kMaxRequestDescriptors = 12;

struct RepackRequest {
  std::array<PathBuffer, kMaxRequestDescriptors> descriptors{};
  ProductListBuffer productList{};
  std::uint32_t descriptorCount = 0;
};

// "-n" + localPath + "@" + devicePath (+ "&" for mode 2) into `slot`.
// Returns -1 when an argument is absent.
int AddItemDescriptor(const char* localPath, const char* devicePath, int mode, PathBuffer* slot,
                      std::uint32_t& count);

// The staging files of the two package file types.
void WriteDefaultScript(const char* fileName);
void WriteUpdateFlag(int updateMode);

int MakePackagesWithXML(int itemCount, const ItemNameTable& itemNames, const RepackRequest* request);

// 0 when the new package stands at the output path, -1 otherwise.
int RunRepackJob(const char* originalPath, RepackRequest& request, const char* outputPath);

}  // namespace quarnet
