#pragma once
// What the Package button does, shared by every front end: check the
// choices and the chosen files, ask for products when there is no original
// package, write the staging files and descriptors, run the job in a
// private working directory, report the outcome, clean up. The front end
// supplies the product selection, the update mode, the message box and the
// answer to failed checks; messages are named by their string ID so that
// this layer stays below the user interface.
#include <string>
#include <vector>

#include "package/format.h"
#include "repack/input_check.h"

namespace quarnet {

// String IDs of the messages the flow shows.
inline constexpr int kTextSelectFiles = 126;     // a required path is empty
inline constexpr int kTextRepackFailed = 128;
inline constexpr int kTextRepackSuccess = 130;
inline constexpr int kTextSelectProducts = 151;  // confirmed with an empty product list

enum class PackageFileType { kConfigFile, kConfigPack };
enum UpdateMode : int { kFactoryMode = 0, kNormalUpdateMode = 1 };

struct PackageChoices {
  std::string originalPackage;  // may be empty
  std::string configFile;       // configuration file mode
  std::string newPackage;
  std::string configPack;       // configuration pack mode
  std::string updateScript;     // configuration pack mode, optional
  bool asDefault = true;
  PackageFileType fileType = PackageFileType::kConfigFile;
};

class PackageFrontEnd {
 public:
  virtual ~PackageFrontEnd() = default;
  // 0 after OK with at most 127 characters in the zero-filled `productList`;
  // non-zero when the selection was cancelled (the buffer is left alone).
  virtual int SelectProducts(ProductListBuffer& productList) = 0;
  // Stores kFactoryMode or kNormalUpdateMode.
  virtual void GetUpdateMode(int& updateMode) = 0;
  // Shows string `stringId`; a text with "%d" is formatted with `number`.
  virtual void ShowMessage(int stringId, int number) = 0;
  // The chosen files that failed their check or were not judged, heard
  // before anything else is asked or done, and only when there are such:
  // true goes on with the job, false refuses it.
  virtual bool ReviewChecks(const std::vector<FileCheck>& findings) = 0;
};

enum class PackageOutcome { kRefused, kCancelled, kFailed, kSucceeded };

// Relative paths in `choices` resolve against the current directory, which
// the flow leaves unchanged. Their length is the system's business: the
// descriptors name the job's copies of the chosen files, never the paths
// the user gave, so no path has to fit a fixed field. The job
// runs in a fresh private folder beside the new package, with copies of the
// chosen files, and that folder is removed before the outcome shows. The flow starts a fresh job
// report (LastJobReport) but leaves the cancel request to the front end,
// which resets it before the flow.
PackageOutcome RunPackageFlow(const PackageChoices& choices, PackageFrontEnd& frontEnd);

}  // namespace quarnet
