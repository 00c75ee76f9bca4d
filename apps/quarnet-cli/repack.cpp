// quarnet-cli repack: what the Package button does, without a window.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/job_console.h"
#include "repack/package_flow.h"
#include "ui/strings.h"

namespace quarnet::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quarnet-cli repack [--original PKG] --output OUT\n"
    "         (--config XML [--no-default] |\n"
    "          --config-pack TGZ [--update-mode factory|normal] [--update-script TGZ])\n"
    "         [--products LIST] [--progress]\n"
    "\n"
    "Builds a new package OUT from the items of PKG plus a configuration file or\n"
    "a configuration pack. Without --original, --products gives the product list\n"
    "(codes each followed by '|', as `quarnet-cli products` lists them).\n"
    "  --no-default        do not install the configuration file as default too\n"
    "  --update-mode MODE  factory (default) or normal\n"
    "  --update-script TGZ update-script pack; needs --update-mode normal\n"
    "  --progress          show the percentage done on standard error\n"
    "The job's lines go to standard output. The outcome goes to standard error,\n"
    "followed by \"reason: ...\" after a failure and by what was verified of\n"
    "the new package after a success.\n"
    "SIGINT, SIGTERM and SIGHUP stop the job at its next block: its files are\n"
    "removed and OUT stays as it was.\n"
    "Exit status: 0 success, 1 the job failed, 2 refused before the job,\n"
    "128+N stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP).\n";

struct Options {
  PackageChoices choices;
  std::optional<std::string> products;
  std::optional<int> updateMode;
  bool configGiven = false;
  bool packGiven = false;
  bool noDefault = false;
  bool outputGiven = false;
  bool progress = false;
};

// The product selection, update mode and message box of the window, answered
// from the command line; messages are shown as their English twins.
class CliFrontEnd : public PackageFrontEnd {
 public:
  CliFrontEnd(std::string products, int updateMode, ProgressDisplay& progress)
      : products_(std::move(products)), updateMode_(updateMode), progress_(progress) {}

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

 private:
  std::string products_;
  int updateMode_;
  ProgressDisplay& progress_;
};

int UsageError(const char* why) {
  std::fprintf(stderr, "quarnet-cli repack: %s\n\n%s", why, kUsage);
  return kExitUsage;
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

const char* Parse(int argc, char** argv, Options& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view name) { return TakeValue(arg, name, argc, argv, i); };
    std::optional<std::string> v;
    if (arg == "--no-default") {
      o.noDefault = true;
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
      o.products = *v;
    } else {
      return "unknown argument";
    }
  }
  return nullptr;
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
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options o;
  if (const char* why = Parse(argc, argv, o)) return UsageError(why);
  if (const char* why = Check(o)) return UsageError(why);
  o.choices.fileType = o.configGiven ? PackageFileType::kConfigFile : PackageFileType::kConfigPack;
  o.choices.asDefault = !o.noDefault;

  ResetCancel();
  ResetJobReport();
  ProgressDisplay progress(o.progress);
  CliFrontEnd frontEnd(o.products.value_or(""), o.updateMode.value_or(kFactoryMode), progress);
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
