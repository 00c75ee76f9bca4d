// The Package button of the described main window end to end, without a
// toolkit: refusals, product selection, a successful and a failed job, the
// message boxes, the progress dialog's cues, and a job ended by the close
// box or a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "package/inspect.h"
#include "package/job_control.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/dialogs/recording_window.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr char kTooLong[] = "文件路径不能长于255字节";
constexpr char kSelectFiles[] = "请选择输入文件或输出文件";
constexpr char kFailed[] = "重打包失败！";
constexpr char kSucceeded[] = "重打包成功！";
constexpr char kFirstVersion[] = "1A0|1D1|1F3|2B7|";

class PackageButton : public ::testing::Test {
 protected:
  PackageButton() : chdir_(work_.path()) {
    WriteText(In("cfg.xml"), "<config/>");
    WriteText(In("pack.tar.gz"), "pack");
    WriteText(In("script.tar.gz"), "script");
    WriteBytes(In("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
    WriteText(In("bad.bin"), "not a package");
    dialog_.OnInit();
  }
  ~PackageButton() override {
    SetProgressSink({});
    ResetCancel();
  }

  std::string In(const std::string& name) const { return (inputs_.path() / name).string(); }

  // A file name of the inputs folder, "LEN" and a number for an absolute
  // path of that many bytes, or empty.
  std::string Resolve(const std::string& path) const {
    if (path.empty()) return path;
    if (path.rfind("LEN", 0) != 0) return In(path);
    const std::string folder = inputs_.path().string() + "/";
    return folder + std::string(std::stoul(path.substr(3)) - folder.size(), 'n');
  }

  void SetPaths(const std::string& original, const std::string& config, const std::string& output,
                const std::string& pack, const std::string& script = "") {
    dialog_.values = {true, Resolve(original), Resolve(config), Resolve(output), Resolve(pack), Resolve(script)};
    dialog_.UpdateData(false);
  }

  // 'F' configuration file, 'P' configuration pack; 'f' factory, 'n' normal.
  void Choose(char mode, char updateMode) {
    window_.Click(dialog_, mode == 'F' ? idc::kConfigFileRadio : idc::kConfigPackRadio);
    if (mode == 'P') window_.Choose(dialog_, idc::kUpdateModeCombo, updateMode == 'f' ? 0 : 1);
  }

  void Press() { window_.Click(dialog_, idc::kPackageButton); }

  void ExpectOneMessage(const std::string& text) {
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].text, text);
    EXPECT_EQ(window_.messages[0].caption, "提示");
    EXPECT_EQ(window_.messages[0].kind, MessageKind::kNotice);
  }

  // An original package whose root file system takes many blocks.
  void WriteBigPackage() {
    std::vector<TestItem> items = OriginalItems();
    items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(std::size_t{8} << 20, 0x5a));
    WriteBytes(In("big.bin"), LayOutPackage(items, kProducts));
  }

  TempDir inputs_;
  TempDir work_;
  ScopedChdir chdir_;
  RecordingWindow window_{MainDialog::kSpec};
  MainDialog dialog_{window_, Language::kChinese};
};

// The product dialog's answer: "-" none, "C" Cancel, or its list.
TEST_F(PackageButton, Refusals) {
  const struct {
    char mode;
    const char* original;
    const char* config;
    const char* output;
    const char* pack;
    const char* products;
    const char* message;
  } rows[] = {
      {'F', "LEN256", "cfg.xml", "out.bin", "", "-", kTooLong},
      {'F', "", "LEN256", "out.bin", "", "-", kTooLong},
      {'P', "", "", "LEN256", "pack.tar.gz", "-", kTooLong},
      {'F', "", "", "out.bin", "pack.tar.gz", "-", kSelectFiles},
      {'F', "", "cfg.xml", "", "", "-", kSelectFiles},
      {'P', "", "cfg.xml", "out.bin", "", "-", kSelectFiles},
      {'F', "", "cfg.xml", "out.bin", "", "C", ""},
      {'P', "", "", "out.bin", "pack.tar.gz", "", "请选择要支持的产品"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.original) + "|" + row.config + "|" + row.output + "|" + row.pack);
    window_.messages.clear();
    window_.productDialogs = 0;
    SetPaths(row.original, row.config, row.output, row.pack);
    Choose(row.mode, 'f');
    window_.productList = row.products[0] == 'C' ? std::nullopt : std::optional<std::string>(row.products);
    Press();
    EXPECT_EQ(window_.productDialogs, row.products[0] == '-' ? 0 : 1);
    if (*row.message != '\0') {
      ExpectOneMessage(row.message);
    } else {
      EXPECT_TRUE(window_.messages.empty());
    }
    EXPECT_TRUE(ListDir(work_.path()).empty());
    EXPECT_FALSE(fs::exists(In("out.bin")));
  }
}

// What the window hands the flow: the chosen files at their device paths,
// the update flag of the mode, and the products.
TEST_F(PackageButton, Success) {
  const struct {
    char mode;
    const char* original;
    bool asDefault;
    char updateMode;
    const char* script;
    const char* output;
    std::vector<std::string> files;
    const char* flag;
    const char* products;
  } rows[] = {
      {'F', "", true, 'f', "", "out.bin",
       {"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh", "/mnt/jffs2/qz_default_ctree.xml"}, "", kFirstVersion},
      {'F', "orig.bin", false, 'f', "", "out.bin", {"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh"}, "",
       kProducts},
      {'P', "", true, 'f', "", "out.bin", {"/mnt/jffs2/customize_xml.tar.gz", "/mnt/jffs2/Updateflag"}, "0\n",
       kFirstVersion},
      {'P', "orig.bin", true, 'n', "script.tar.gz", "out.bin",
       {"/mnt/jffs2/customize_xml.tar.gz", "/mnt/jffs2/Updateflag", "/mnt/jffs2/customize_upgrade.tar.gz"}, "1\n",
       kProducts},
      {'F', "orig.bin", true, 'f', "", "LEN255",
       {"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh", "/mnt/jffs2/qz_default_ctree.xml"}, "", kProducts},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(1, row.mode) + row.original + row.script + row.output);
    window_.messages.clear();
    window_.productDialogs = 0;
    SetPaths(row.original, "cfg.xml", row.output, "pack.tar.gz");
    Choose(row.mode, row.updateMode);
    window_.SetText(idc::kUpdateScriptEdit, Resolve(row.script));
    window_.SetCheck(idc::kAsDefaultCheck, row.asDefault);
    window_.productList = kFirstVersion;
    Press();

    ExpectOneMessage(kSucceeded);
    EXPECT_EQ(window_.productDialogs, *row.original == '\0' ? 1 : 0);
    const std::string out = Resolve(row.output);
    EXPECT_EQ(window_.messages[0].details.substr(0, 10), "Verified: ");
    EXPECT_NE(window_.messages[0].details.find("\n新包文件：" + out), std::string::npos);
    const Inspection package = InspectPackageFile(out.c_str());
    ASSERT_TRUE(package.Consistent());
    EXPECT_EQ(GetText(package.externHeader.productList), row.products);
    std::vector<std::string> found;
    std::string flag;
    const Bytes bytes = ReadBytes(out);
    for (const ItemRecord& record : package.records) {
      const std::string destination(GetText(record.destination));
      const bool flagItem = destination == "file:/mnt/jffs2/Updateflag" && GetText(record.itemName) == "UNKNOWN";
      if (destination.rfind("file:/mnt/jffs2/qz_", 0) == 0 || destination.rfind("file:/var/default", 0) == 0 ||
          destination.rfind("file:/mnt/jffs2/customize", 0) == 0 || flagItem) {
        found.push_back(destination.substr(5));
      }
      if (flagItem) flag.assign(reinterpret_cast<const char*>(bytes.data()) + record.itemOffset, record.itemLen);
    }
    EXPECT_EQ(found, row.files);
    EXPECT_EQ(flag, row.flag);
    EXPECT_TRUE(ListDir(work_.path()).empty());
    fs::remove(out);
  }
}

TEST_F(PackageButton, FailedJobOffersItsOutputAsDetails) {
  SetPaths("bad.bin", "cfg.xml", "out.bin", "");
  Press();
  ExpectOneMessage(kFailed);
  const std::string& details = window_.messages[0].details;
  EXPECT_NE(details.find("Wrong file input."), std::string::npos);
  EXPECT_EQ(details.find('\r'), std::string::npos);
  EXPECT_NE(details.back(), '\n');
  EXPECT_FALSE(fs::exists(In("out.bin")));
  EXPECT_TRUE(ListDir(work_.path()).empty());
}

// The progress dialog shows after the delay, waits while the job asks the
// window, and gives way to the message.
TEST_F(PackageButton, ProgressDialogCues) {
  SetPaths("", "cfg.xml", "out.bin", "pack.tar.gz");
  Choose('P', 'n');
  window_.productList = kFirstVersion;
  dialog_.progressDelayMs = 7;
  Press();
  const std::vector<std::string> cues = {"show 7", "hold", "show 7", "hold", "show 7", "close"};
  EXPECT_EQ(window_.progress, cues);
}

// Closing the window while a job runs asks first. Yes stops the job, which
// cleans up without a message, and the window ends; No lets it go on. A
// signal ends the window the same way without asking.
TEST_F(PackageButton, EndingDuringAJob) {
  const struct {
    const char* name;
    int signalNumber;  // 0: the close box
    bool yes;
    bool stopped;
  } rows[] = {
      {"close, Yes", 0, true, true},
      {"close, No", 0, false, false},
      {"SIGTERM", SIGTERM, false, true},  // the window's last job
  };
  WriteBigPackage();
  WriteText(In("out.bin"), "old output");
  const std::vector<std::string> before = ListDir(inputs_.path());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteText(In("out.bin"), "old output");
    window_.messages.clear();
    window_.ended.reset();
    SetPaths("big.bin", "cfg.xml", "out.bin", "");
    window_.answers = {row.yes};
    window_.onProgress = [&, asked = false](int percent) mutable {
      if (asked || percent == 0 || percent == 100) return;
      asked = true;
      if (row.signalNumber != 0) {
        RequestCancelBySignal(row.signalNumber);  // as the handler does first
        dialog_.OnSignal(row.signalNumber);
      } else {
        window_.Click(dialog_, idc::kCancel);
      }
      EXPECT_FALSE(window_.ended);
    };
    Press();
    const std::size_t questions = row.signalNumber == 0 ? 1 : 0;
    ASSERT_EQ(window_.messages.size(), questions + (row.stopped ? 0 : 1));
    if (questions != 0) {
      EXPECT_EQ(window_.messages[0].kind, MessageKind::kQuestion);
      EXPECT_EQ(window_.messages[0].text, "取消任务并退出？");
    }
    EXPECT_EQ(window_.ended, row.stopped ? std::optional<int>(idc::kCancel) : std::nullopt);
    EXPECT_EQ(ReadText(In("out.bin")) == "old output", row.stopped);
    EXPECT_EQ(ListDir(inputs_.path()), before);
    EXPECT_TRUE(ListDir(work_.path()).empty());
  }
}

}  // namespace
}  // namespace quarnet::test
