#pragma once
// The repack job: unpack an original package, rebuild it with the builder
// engine from its items plus the request's item descriptors, and move the
// result to the output path.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/format.h"
#include "platform/files.h"

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

// The staging files of the two package file types, in the working folder;
// 0, or -1 with the reason recorded. Their content, for the check.
inline constexpr char kUpdateFlagName[] = "Updateflag";
int WriteDefaultScript(const char* fileName);
int WriteUpdateFlag(int updateMode);
std::string_view DefaultScriptContent();
std::string UpdateFlagContent(int updateMode);

int MakePackagesWithXML(int itemCount, const ItemNameTable& itemNames, const RepackRequest* request);

// Bytes the job wrote or read for a local file of a descriptor: a staging
// file's intended content, or the copy the job made of a chosen file.
struct StagedInput {
  std::string localPath;
  std::uint64_t length = 0;
  std::uint32_t crc = 0;
};

// What the caller of a job knows beside the request: where the user's paths
// resolve, and the bytes it staged for descriptors.
struct JobContext {
  const os::Folder* userFolder = nullptr;  // null: the working folder
  std::vector<StagedInput> staged;
};

// 0 when the new package stands at the output path, -1 otherwise. The
// job's own files live in the working folder; `originalPath` and
// `outputPath` resolve against the context's user folder.
int RunRepackJob(const char* originalPath, RepackRequest& request, const char* outputPath,
                 const JobContext& context = {});

}  // namespace quarnet
