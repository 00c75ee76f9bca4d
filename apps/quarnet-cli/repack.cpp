// quarnet-cli repack: what the Package button does, without a window.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/job_console.h"
#include "package/display_text.h"
#include "platform/process.h"
#include "repack/package_flow.h"
#include "ui/strings.h"

namespace quarnet::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quarnet-cli repack [--original PKG] --output OUT\n"
    "         (--config XML [--no-default] |\n"
    "          --config-pack TGZ [--update-mode factory|normal] [--update-script TGZ])\n"
    "         [--products LIST] [--force] [--progress]\n"
    "\n"
    "Builds a new package OUT from the items of PKG plus a configuration file or\n"
    "a configuration pack. Without --original, --products gives the product list\n"
    "(codes each followed by '|', as `quarnet-cli products` lists them).\n"
    "%s"
    "  --no-default        do not install the configuration file as default too\n"
    "  --update-mode MODE  factory (default) or normal\n"
    "  --update-script TGZ update-script pack; needs --update-mode normal\n"
    "  --force             build even when a chosen file fails its check\n"
    "  --progress          show the percentage done on standard error\n"
    "Before the job the chosen files are checked: a configuration file that looks\n"
    "like XML must be well-formed (one that does not, an encrypted one, is not\n"
    "judged: \"note: ...\" says so), and each pack must be a gzip stream of a tar\n"
    "archive that holds files and folders only, under relative paths without\n"
    "\"..\". A file that fails is named with its problem and place, and the job\n"
    "is refused; with --force it is built all the same after \"warning: ...\".\n"
    "The job's lines go to standard output. The outcome goes to standard error,\n"
    "followed by \"reason: ...\" after a failure and by what was verified of\n"
    "the new package after a success.\n"
    "%s stop the job at its next block:\n"
    "its files are removed and OUT stays as it was.\n"
    "Exit status: 0 success, 1 the job failed, 2 refused before the job,\n"
    "%s.\n";

// The product list option's form, with the quoting each shell needs: '|'
// is a pipe to cmd, PowerShell and POSIX shells alike.
constexpr char kProductsForm[] =
    "LIST is one or more product codes, each ended by '|', at most 127 bytes\n"
    "in all: --products \"1A0|1B2|\" in cmd and PowerShell, '1A0|1B2|' in a\n"
    "POSIX shell.\n";
constexpr std::size_t kMaxProductListLength = 127;

struct Options {
  PackageChoices choices;
  std::optional<std::string> products;
  std::optional<int> updateMode;
  bool configGiven = false;
  bool packGiven = false;
  bool noDefault = false;
  bool outputGiven = false;
  bool force = false;
  bool progress = false;
};

// The product selection, update mode, message box and question of the
// window, answered from the command line; messages are shown as their
// English twins.
class CliFrontEnd : public PackageFrontEnd {
 public:
  CliFrontEnd(std::string products, int updateMode, bool force, ProgressDisplay& progress)
      : products_(std::move(products)), updateMode_(updateMode), force_(force), progress_(progress) {}

  int SelectProducts(ProductListBuffer& productList) override {
    std::strncpy(productList.data(), products_.c_str(), productList.size() - 1);
    return 0;
  }
  void GetUpdateMode(int& updateMode) override { updateMode = updateMode_; }
  void ShowMessage(int stringId, int number) override {
    progress_.Finish(stringId == kTextRepackSuccess);
    const std::string text = FormatResString(LoadResString(EnglishTwinId(stringId)), number);
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  // Each finding on a line of its own: a file not judged as a note, a
  // failed check as the refusal's reason or, with --force, a warning.
  bool ReviewChecks(const std::vector<FileCheck>& findings) override {
    bool refused = false;
    for (const FileCheck& finding : findings) {
      const char* label = !finding.Failed() ? "note: " : force_ ? "warning: " : "quarnet-cli repack: ";
      const std::string line = DescribeCheck(finding, [](int id) { return std::string(LoadResString(EnglishTwinId(id))); });
      std::fprintf(stderr, "%s%s\n", label, line.c_str());
      refused = refused || (finding.Failed() && !force_);
    }
    if (refused) std::fprintf(stderr, "quarnet-cli repack: refused before the job; --force builds all the same\n");
    return !refused;
  }

 private:
  std::string products_;
  int updateMode_;
  bool force_;
  ProgressDisplay& progress_;
};

void PrintUsage(std::FILE* to) {
  const os::StopsText stops = os::DescribeStops();
  std::fprintf(to, kUsage, kProductsForm, stops.names, stops.statuses);
}

int UsageError(const std::string& why) {
  std::fprintf(stderr, "quarnet-cli repack: %s\n\n", DisplayText(why).c_str());
  PrintUsage(stderr);
  return kExitUsage;
}

// Codes of printable characters without blanks, each ended by '|', none
// twice. An empty list passes: the flow asks for products then.
bool IsProductList(std::string_view list) {
  if (list.size() > kMaxProductListLength || (!list.empty() && list.back() != '|')) return false;
  std::set<std::string_view> codes;
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = list.find('|', start);
    const std::string_view code = list.substr(start, end - start);
    const bool printable = std::all_of(code.begin(), code.end(), [](char c) { return c > ' ' && c < 0x7F; });
    if (code.empty() || !printable || !codes.insert(code).second) return false;
    start = end + 1;
  }
  return true;
}

// Value of "--name VALUE" or "--name=VALUE" at argv[i]; advances i.
std::optional<std::string> TakeValue(std::string_view arg, std::string_view name, int argc, char** argv, int& i) {
  if (arg == name) {
    if (i + 1 >= argc) return std::nullopt;
    return std::string(argv[++i]);
  }
  return std::string(arg.substr(name.size() + 1));
}

bool Matches(std::string_view arg, std::string_view name) {
  return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=');
}

// The reason the arguments are refused; empty when they are not.
std::string Parse(int argc, char** argv, Options& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view name) { return TakeValue(arg, name, argc, argv, i); };
    std::optional<std::string> v;
    if (arg == "--no-default") {
      o.noDefault = true;
    } else if (arg == "--force") {
      o.force = true;
    } else if (arg == "--progress") {
      o.progress = true;
    } else if (Matches(arg, "--original")) {
      if (!(v = value("--original"))) return "--original needs a value";
      o.choices.originalPackage = *v;
    } else if (Matches(arg, "--output")) {
      if (!(v = value("--output"))) return "--output needs a value";
      o.choices.newPackage = *v;
      o.outputGiven = true;
    } else if (Matches(arg, "--config")) {
      if (!(v = value("--config"))) return "--config needs a value";
      o.choices.configFile = *v;
      o.configGiven = true;
    } else if (Matches(arg, "--config-pack")) {
      if (!(v = value("--config-pack"))) return "--config-pack needs a value";
      o.choices.configPack = *v;
      o.packGiven = true;
    } else if (Matches(arg, "--update-script")) {
      if (!(v = value("--update-script"))) return "--update-script needs a value";
      o.choices.updateScript = *v;
    } else if (Matches(arg, "--update-mode")) {
      if (!(v = value("--update-mode"))) return "--update-mode needs a value";
      if (*v != "factory" && *v != "normal") return "--update-mode is factory or normal";
      o.updateMode = *v == "factory" ? kFactoryMode : kNormalUpdateMode;
    } else if (Matches(arg, "--products")) {
      if (!(v = value("--products"))) return "--products needs a value";
      if (!IsProductList(*v)) return "--products: \"" + *v + "\" is not a product list";
      o.products = *v;
    } else {
      return "unknown argument";
    }
  }
  return {};
}

// Combinations the window cannot produce either.
const char* Check(const Options& o) {
  if (o.configGiven == o.packGiven) return "give either --config or --config-pack";
  if (!o.outputGiven) return "--output is required";
  if (o.configGiven && (o.updateMode || !o.choices.updateScript.empty()))
    return "--update-mode and --update-script go with --config-pack";
  if (o.packGiven && o.noDefault) return "--no-default goes with --config";
  if (!o.choices.updateScript.empty() && o.updateMode.value_or(kFactoryMode) != kNormalUpdateMode)
    return "--update-script needs --update-mode normal";
  if (!o.choices.originalPackage.empty() && o.products) return "--products is only for a job without --original";
  if (o.choices.originalPackage.empty() && !o.products) return "--products is required without --original";
  return nullptr;
}

}  // namespace

int Repack(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
  }
  Options o;
  if (const std::string why = Parse(argc, argv, o); !why.empty()) return UsageError(why);
  if (const char* why = Check(o)) return UsageError(why);
  o.choices.fileType = o.configGiven ? PackageFileType::kConfigFile : PackageFileType::kConfigPack;
  o.choices.asDefault = !o.noDefault;

  ResetCancel();
  ResetJobReport();
  ProgressDisplay progress(o.progress);
  CliFrontEnd frontEnd(o.products.value_or(""), o.updateMode.value_or(kFactoryMode), o.force, progress);
  PackageOutcome outcome;
  {
    const StopSignals stopSignals;
    outcome = RunPackageFlow(o.choices, frontEnd);
  }
  switch (outcome) {
    case PackageOutcome::kSucceeded:
      PrintVerifiedSummary();
      PrintWarnings();
      return 0;
    case PackageOutcome::kFailed:
      PrintFailureReason();
      PrintWarnings();
      return FailedJobStatus();
    default: return kExitUsage;
  }
}

}  // namespace quarnet::cli
