// The Package button of the described main window end to end, without a
// toolkit: refusals, product selection, a successful and a failed job, the
// message boxes, the progress dialog's cues, and a job ended by the close
// box or a signal.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "package/display_text.h"
#include "package/endian.h"
#include "package/format.h"
#include "package/job_findings.h"
#include "package/job_control.h"
#include "platform/errors.h"
#include "tests/support/package_check.h"
#include "tests/support/pack_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/recording_window.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/package_view_dialog.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr char kFirstVersion[] = "1A0|1D1|1F3|2B7|";

class PackageButton : public ::testing::Test {
 protected:
  PackageButton() : chdir_(work_.path()) {
    WriteText(In("cfg.xml"), "<config/>");
    WriteText(In("pack.tar.gz"), SamplePack());
    WriteText(In("script.tar.gz"), SamplePack());
    WriteBytes(In("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
    WriteText(In("bad.bin"), "not a package");
    dialog_.OnInit();
  }
  ~PackageButton() override { ResetCancel(); }

  std::string In(const std::string& name) const { return Utf8(inputs_.path() / Utf8Path(name)); }

  // File names of the inputs folder, or empty.
  void SetPaths(const std::string& original, const std::string& config, const std::string& output,
                const std::string& pack) {
    const auto in = [this](const std::string& name) { return name.empty() ? name : In(name); };
    dialog_.values = {true, in(original), in(config), in(output), in(pack), ""};
    dialog_.UpdateData(false);
  }

  // 'F' configuration file, 'P' configuration pack; 'f' factory, 'n' normal.
  void Choose(char mode, char updateMode) {
    window_.Click(dialog_, mode == 'F' ? idc::kConfigFileRadio : idc::kConfigPackRadio);
    if (mode == 'P') window_.Choose(dialog_, idc::kUpdateModeCombo, updateMode == 'f' ? 0 : 1);
  }

  void Press() { window_.Click(dialog_, idc::kPackageButton); }

  void ExpectOneMessage(const std::string& text, MessageKind kind = MessageKind::kNotice) {
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].text, text);
    EXPECT_EQ(window_.messages[0].caption, "提示");
    EXPECT_EQ(window_.messages[0].kind, kind);
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
  RecordingWindow window_{MainDialog::kLayout};
  MainDialog dialog_{window_, Language::kChinese};
};

// The flow's refusals (tests/repack has every rule) as the window shows
// them; the product dialog's answer: "-" none, "C" Cancel, or its list.
TEST_F(PackageButton, Refusals) {
  const struct {
    char mode;
    std::string original;
    const char* config;
    const char* pack;
    const char* products;
    const char* message;
  } rows[] = {
      {'P', "", "cfg.xml", "", "-", "请选择输入文件或输出文件"},
      {'F', "", "cfg.xml", "", "C", ""},
      {'P', "", "", "pack.tar.gz", "", "请选择要支持的产品"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    window_.messages.clear();
    window_.productDialogs = 0;
    SetPaths(row.original, row.config, "out.bin", row.pack);
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

// What the window hands the flow: the chosen files at their device paths
// (the added items, by file name), the update flag of the mode, and the
// products.
TEST_F(PackageButton, Success) {
  const struct {
    char mode;
    const char* original;
    bool asDefault;
    char updateMode;
    const char* script;
    const char* added;
    const char* flag;
  } rows[] = {
      {'F', "", true, 'f', "", "qz_ctree.xml default_script.sh qz_default_ctree.xml", ""},
      {'F', "orig.bin", false, 'f', "", "qz_ctree.xml default_script.sh", ""},
      {'P', "", true, 'f', "", "customize_xml.tar.gz Updateflag", "0\n"},
      {'P', "orig.bin", true, 'n', "script.tar.gz", "customize_xml.tar.gz Updateflag customize_upgrade.tar.gz", "1\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(1, row.mode) + row.original + row.script);
    window_.messages.clear();
    window_.productDialogs = 0;
    SetPaths(row.original, "cfg.xml", "out.bin", "pack.tar.gz");
    Choose(row.mode, row.updateMode);
    window_.SetText(idc::kUpdateScriptEdit, *row.script == '\0' ? "" : In(row.script));
    window_.SetCheck(idc::kAsDefaultCheck, row.asDefault);
    window_.productList = kFirstVersion;
    Press();

    ASSERT_NO_FATAL_FAILURE(ExpectOneMessage("重打包成功！", MessageKind::kInformation));
    EXPECT_EQ(window_.productDialogs, *row.original == '\0' ? 1 : 0);
    const std::string out = In("out.bin");
    EXPECT_EQ(window_.messages[0].details.rfind("已校验：", 0), 0u) << window_.messages[0].details;
    EXPECT_NE(window_.messages[0].details.find("\n新包文件：" + out), std::string::npos);
    // Without an original no image item was compared, and none is counted;
    // with one, the details list what the new package holds against it.
    EXPECT_EQ(window_.messages[0].details.find("镜像") == std::string::npos, *row.original == '\0');
    const std::string& details = window_.messages[0].details;
    EXPECT_EQ(details.find("\n逐字节保留的项目：\n  UBOOT  flash:uboot  11 字节\n") != std::string::npos,
              *row.original != '\0');
    EXPECT_EQ(details.find("\n添加的文件：\n  UNKNOWN  /mnt/jffs2/") != std::string::npos, *row.original != '\0');
    const DecodedPackage package = DecodePackageFile(out);
    EXPECT_EQ(package.productList, *row.original == '\0' ? kFirstVersion : kProducts);
    std::string added;
    std::string flag;
    for (const DecodedItem& item : package.items) {
      if (GetText(item.record.itemName) != "UNKNOWN") continue;
      const std::string destination(GetText(item.record.destination));
      added += (added.empty() ? "" : " ") + destination.substr(destination.rfind('/') + 1);
      if (destination.ends_with("/Updateflag")) flag.assign(item.data.begin(), item.data.end());
    }
    EXPECT_EQ(added, row.added);
    EXPECT_EQ(flag, row.flag);
    EXPECT_TRUE(ListDir(work_.path()).empty());
    fs::remove(out);
  }
}

// A chosen file that fails its check: before the job the window asks, in
// its language, naming the file, the problem and its place; No (the
// default) refuses, Yes builds and the details keep the finding. A file not
// judged asks nothing; the details say it was not checked.
TEST_F(PackageButton, FailedCheckAsksFirst) {
  WriteText(In("bad.xml"), "<config>\n  <a></b>\n</config>\n");
  WriteText(In("secret.xml"), "\x93\x1f\xa7");
  const std::string bad = In("bad.xml"), secret = In("secret.xml");
  const struct {
    std::string config;
    Language language;
    bool yes;
    std::string question;  // empty: none
    std::string finding;   // a line of the outcome's details, when there is one
  } rows[] = {
      {bad, Language::kChinese, false,
       "所选文件未通过检查：\n配置文件 " + bad + "：第 2 行第 8 列：XML 格式不正确（mismatched tag）\n仍要打包吗？", ""},
      {bad, Language::kEnglish, true,
       "A chosen file failed its check:\nconfiguration file " + bad +
           ": line 2, column 8: the XML is not well-formed (mismatched tag)\nPackage it anyway?",
       "\nconfiguration file " + bad + ": line 2, column 8: the XML is not well-formed (mismatched tag)"},
      {secret, Language::kChinese, false, "", "\n配置文件 " + secret + "：未检查，它看起来不是 XML（可能已加密）"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.question);
    RecordingWindow window{MainDialog::kLayout};
    MainDialog dialog{window, row.language};
    dialog.OnInit();
    dialog.values = {true, In("orig.bin"), row.config, In("out.bin"), "", ""};
    dialog.UpdateData(false);
    window.answers = {row.yes};
    window.Click(dialog, idc::kPackageButton);
    const bool asked = !row.question.empty();
    const bool built = row.yes || !asked;
    ASSERT_EQ(window.messages.size(), (asked ? 1u : 0u) + (built ? 1u : 0u));
    if (asked) {
      EXPECT_EQ(window.messages[0].kind, MessageKind::kQuestion);
      EXPECT_EQ(window.messages[0].text, row.question);
    }
    EXPECT_EQ(fs::exists(In("out.bin")), built);
    const std::string details = built ? window.messages.back().details : "";
    EXPECT_NE(details.find(row.finding), std::string::npos) << details;
    fs::remove(In("out.bin"));
    EXPECT_TRUE(ListDir(work_.path()).empty());
  }
}

// Paths of 200 Chinese characters (600 bytes) as original, configuration
// file and output.
TEST_F(PackageButton, LongChinesePaths) {
  std::string name;
  for (int k = 0; k < 66; ++k) name += "件";
  const std::string folder = "固件/" + name + "/" + name + "/" + name;
  fs::create_directories(Utf8Path(In(folder)));
  for (const char* name : {"orig.bin", "cfg.xml"}) fs::copy_file(Utf8Path(In(name)), Utf8Path(In(folder + "/" + name)));
  SetPaths(folder + "/orig.bin", folder + "/cfg.xml", folder + "/新包.bin", "");
  Choose('F', 'f');
  Press();
  ExpectOneMessage("重打包成功！", MessageKind::kInformation);
  EXPECT_EQ(DecodeAndVerify(ReadBytes(Utf8Path(In(folder + "/新包.bin")))).items.size(), 8u);
}

// A failure says its kind of cause in the window's language; the details
// hold the job's lines and the system's own reason.
TEST_F(PackageButton, FailureBoxesSayWhy) {
  const struct {
    const char* original;
    const char* output;
    Language language;
    const char* text;
    const char* cause;  // the job's own reason, in the window's language; "" for a system call's
  } rows[] = {
      {"bad.bin", "out.bin", Language::kChinese, "重打包失败！\n不是有效的固件包", "bad.bin 不是固件包：它不以包标记开头"},
      {"bad.bin", "out.bin", Language::kEnglish, "Repack failed!\nnot a valid firmware package",
       "bad.bin is not a firmware package: it does not begin with a package mark"},
      {"missing.bin", "out.bin", Language::kChinese, "重打包失败！\n找不到所选的文件", ""},
      {"orig.bin", "no/such/out.bin", Language::kEnglish, "Repack failed!\nthe output folder does not exist", ""},
      {"orig.bin", "no/such/out.bin", Language::kChinese, "重打包失败！\n输出文件夹不存在", ""},
      {"crafted.bin", "out.bin", Language::kEnglish, "Repack failed!\nthe original package is damaged",
       "Reason: the kernel's item head says version \"\\x1B]0;t\\x07\", the root file system's \"\\x1B[2J\\x9B\""},
      {"crafted.bin", "out.bin", Language::kChinese, "重打包失败！\n原始包已损坏",
       "原因：内核的项目头版本为“\\x1B]0;t\\x07”，根文件系统的为“\\x1B[2J\\x9B”"},
  };
  // Item heads whose versions would retitle and clear a terminal.
  WriteBytes(In("crafted.bin"), LayOutPackage(OriginalItems("\x1b]0;t\a", "\x1b[2J\x9b"), kProducts));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    RecordingWindow window{MainDialog::kLayout};
    MainDialog dialog{window, row.language};
    dialog.OnInit();
    dialog.values = {true, In(row.original), In("cfg.xml"), In(row.output), "", ""};
    dialog.UpdateData(false);
    window.Click(dialog, idc::kPackageButton);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(window.messages[0].text, row.text);
    const std::string& details = window.messages[0].details;
    EXPECT_NE(details.find(row.language == Language::kChinese ? "原因：" : "Reason: "), std::string::npos);
    if (*row.cause) {
      EXPECT_NE(details.find(row.cause), std::string::npos) << details;
    }
    EXPECT_TRUE(std::none_of(details.begin(), details.end(), [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7F; }))
        << details;
    if (row.original[0] == 'c') {
      EXPECT_NE(details.find("V2=\\x1B[2J\\x9B\n"), std::string::npos) << details;
    }
    EXPECT_NE(details.back(), '\n');
    // No line for a rename that never happened, nor the job folder's name.
    EXPECT_EQ(details.find("Rename"), std::string::npos) << details;
    EXPECT_EQ(details.find(".quarnet-job-"), std::string::npos) << details;
    if (row.output[0] == 'n') {
      // The system's own message, in the user's language, after the folder.
      EXPECT_NE(details.find(Text(169, row.language) + In("no/such") + " — " + os::DescribeForUser(ENOENT)), std::string::npos)
          << details;
    }
    EXPECT_FALSE(fs::exists(In("out.bin")));
    EXPECT_TRUE(ListDir(work_.path()).empty());
  }
}

// The package view from the window menu: the original as chosen, the new
// package once one is built; without either, a notice says what to do.
TEST_F(PackageButton, PackageViews) {
  dialog_.OnSysCommand(idc::kIdmViewOriginal);
  dialog_.OnSysCommand(idc::kIdmViewNewPackage);
  ASSERT_EQ(window_.messages.size(), 2u);
  EXPECT_EQ(window_.messages[0].text + "|" + window_.messages[1].text, "请先选择原始包|请先打包一个新包");
  Bytes damaged = LayOutPackage(OriginalItems(), kProducts);
  damaged.back() ^= 1;  // the last item's bytes no longer agree with its CRC
#ifdef _WIN32
  const std::string name = "damaged.bin";  // Windows names hold no control character
#else
  const std::string name = "damaged\x1b.bin";
#endif
  WriteBytes(In(name), damaged);
  SetPaths(name, "cfg.xml", "out.bin", "");
  dialog_.OnSysCommand(idc::kIdmViewOriginal);
  SetPaths("orig.bin", "cfg.xml", "out.bin", "");
  Press();
  dialog_.OnSysCommand(idc::kIdmViewNewPackage | 0xF);
  ASSERT_EQ(window_.packageViews.size(), 2u);
  const std::string& view = window_.packageViews[0];
  EXPECT_NE(view.find("文件：" + DisplayText(In(name)) + "\n类型：完整包\n版本：" + kVersion + "\n产品：\n    1A0  "),
            std::string::npos) << view;
  EXPECT_NE(view.find("\n    KERNEL      96 字节  flash:kernel           策略 0  CRC 一致\n"), std::string::npos) << view;
  EXPECT_NE(view.find("CRC 不一致\n"), std::string::npos) << view;
  EXPECT_NE(view.find("结论：有 "), std::string::npos) << view;
  const std::string& built = window_.packageViews[1];
  EXPECT_NE(built.find("文件：" + In("out.bin")), std::string::npos) << built;
  EXPECT_EQ(built.find("CRC 不一致"), std::string::npos) << built;
  EXPECT_NE(built.find("\n结论：包完整一致"), std::string::npos) << built;
}

// An item of the viewed package saved to a file: its bytes as stored, and
// what their CRC says; nothing is written when the person cancels, when the
// package changed since it was viewed, or when the file cannot be made.
TEST_F(PackageButton, SavingAnItemOfTheView) {
  std::vector<TestItem> items = OriginalItems();
  Bytes damaged = LayOutPackage(items, kProducts);
  damaged.back() ^= 1;
  items.back().data.back() ^= 1;
  const std::size_t last = items.size() - 1;
  const struct {
    std::size_t item;
    std::string offered;                // the name the save dialog offers
    std::optional<std::string> target;  // in the saves' folder; none: the dialog cancelled
    bool packageReplaced;               // after the view, before the save
    MessageKind kind;
    std::string text;  // %1 the item, %2 the target, %3 its size
  } rows[] = {
      {0, "UBOOT.bin", "boot.img", false, MessageKind::kInformation, "项目 %1 已保存到 %2（%3 字节，CRC 一致）。"},
      {last, "efs", "last.bin", false, MessageKind::kWarning,
       "项目 %1 已保存到 %2（%3 字节），但其字节与记录的 CRC 不一致。"},
      {3, "Updateflag", std::nullopt, false, MessageKind::kNotice, ""},
      {0, "UBOOT.bin", "boot.img", true, MessageKind::kError, "查看之后该包已被更改，未保存任何内容。请重新查看该包。"},
      {0, "UBOOT.bin", "no/such/boot.img", false, MessageKind::kError, "项目 %1 未能保存到 %2。"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    TempDir saves;
    const std::string target = row.target ? Utf8(saves.path() / Utf8Path(*row.target)) : "";
    WriteBytes(In("orig.bin"), damaged);
    window_.messages.clear();
    window_.fileAnswers = {row.target ? std::optional(target) : std::nullopt};
    window_.onPackageView = [&](const PackageViewContent& content) {
      ASSERT_EQ(content.items.size(), items.size());
      EXPECT_EQ(content.items[3], "UPDATEFLAG  /mnt/jffs2/Updateflag（2 字节）");
      if (row.packageReplaced) {
        std::vector<TestItem> other = OriginalItems();
        other[0].data = BytesOf("another-loader");
        WriteBytes(In("orig.bin"), LayOutPackage(other, kProducts));
      }
      RecordingWindow view(PackageViewDialog::kLayout);
      PackageViewDialog logic(view, Language::kChinese, content);
      logic.OnInit();
      view.Choose(logic, idc::kPackageViewItems, static_cast<int>(row.item));
      view.Click(logic, idc::kPackageViewSaveItem);
    };
    SetPaths("orig.bin", "cfg.xml", "out.bin", "");
    dialog_.OnSysCommand(idc::kIdmViewOriginal);
    EXPECT_EQ(window_.fileRequests.back().name, row.offered);
    const std::vector<std::string> names = {items[row.item].name, target, std::to_string(items[row.item].data.size())};
    if (!row.target) {
      EXPECT_TRUE(window_.messages.empty());
    } else {
      ASSERT_EQ(window_.messages.size(), 1u);
      EXPECT_EQ(window_.messages[0].kind, row.kind);
      EXPECT_EQ(window_.messages[0].text, FillPlaceholders(row.text, names));
    }
    const bool saved = row.kind != MessageKind::kError && row.target;
    EXPECT_EQ(ListDir(saves.path()), saved ? std::vector<std::string>{*row.target} : std::vector<std::string>{});
    if (saved) {
      EXPECT_EQ(ReadBytes(Utf8Path(target)), items[row.item].data);
    }
    if (row.text.starts_with("项目 %1 未能")) {
      EXPECT_NE(window_.messages[0].details.find("原因：" + target), std::string::npos) << window_.messages[0].details;
    }
  }
}

// A compact original whose records' CRCs disagree with their items: a
// success with warnings, each kind named once in the window's language,
// each warning in the details.
TEST_F(PackageButton, SuccessWithWarnings) {
  Bytes compact = LayOutCompactPackage(OriginalItems());
  for (std::size_t i = 0; i < 4; ++i) StoreLE32(compact.data() + kCompactHeaderSize + kItemRecordSize * i + 4, 0);
  WriteBytes(In("compact.bin"), compact);
  SetPaths("compact.bin", "cfg.xml", "out.bin", "");
  Choose('F', 'f');
  Press();
  ASSERT_NO_FATAL_FAILURE(ExpectOneMessage("重打包成功，但有需要注意的问题：\n- 新包没有产品列表（原始包没有产品列表）\n"
                                           "- 原始包中项目的校验和与其内容不符，已按其内容重打包",
                                           MessageKind::kWarning));
  EXPECT_NE(window_.messages[0].details.find("\n注意：the original package's item 1 (KERNEL)"), std::string::npos)
      << window_.messages[0].details;
  // Their bytes were kept, whatever their records said.
  const std::string& details = window_.messages[0].details;
  EXPECT_NE(details.find("\n逐字节保留的项目：\n  UBOOT  flash:uboot  11 字节\n  KERNEL  "), std::string::npos) << details;
  EXPECT_EQ(details.find("被替换"), std::string::npos) << details;
}

// The job's copy of the configuration file changes once the build begins
// (a scanner, a second program): the check of the new package catches it,
// the job fails with the check's reason, and the old output stays.
TEST_F(PackageButton, FailedCheckFailsTheJob) {
  WriteText(In("out.bin"), "old output");
  const std::vector<std::string> before = ListDir(inputs_.path());
  bool changed = false;
  const ProgressSink outer = SetProgressSink([&](std::uint64_t, std::uint64_t) {
    if (changed || CurrentJobStage() != JobStage::kBuilding) return;
    for (const std::string& name : ListDir(inputs_.path())) {
      if (name.starts_with(".quarnet-job-")) WriteText(inputs_.path() / name / "config.xml", "<config!>");
    }
    changed = true;
  });
  SetPaths("orig.bin", "cfg.xml", "out.bin", "");
  Choose('F', 'f');
  Press();
  SetProgressSink(outer);
  EXPECT_TRUE(changed);
  ASSERT_NO_FATAL_FAILURE(ExpectOneMessage("重打包失败！\n新包未通过校验", MessageKind::kError));
  EXPECT_NE(window_.messages[0].details.find("新包未通过检查：item 4 (UNKNOWN): 9 bytes with CRC"),
            std::string::npos) << window_.messages[0].details;
  EXPECT_EQ(ReadText(In("out.bin")), "old output");
  EXPECT_EQ(ListDir(inputs_.path()), before);
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
    int signalNumber;  // 0: the close box
    bool yes;
    bool stopped;
  } rows[] = {{0, true, true}, {0, false, false}, {SIGTERM, false, true}};  // a signal ends the last job
  WriteBigPackage();
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.signalNumber) + (row.yes ? " yes" : " no"));
    WriteText(In("out.bin"), "old output");
    const std::vector<std::string> before = ListDir(inputs_.path());
    window_.messages.clear();
    window_.ended.reset();
    window_.answers = {row.yes};
    SetPaths("big.bin", "cfg.xml", "out.bin", "");
    window_.onProgress = [&, asked = false](int percent) mutable {
      if (asked || percent == 0 || percent == 100) return;
      asked = true;
      if (row.signalNumber == 0) window_.Click(dialog_, idc::kCancel);
      if (row.signalNumber != 0) RequestCancelBySignal(row.signalNumber);  // as the handler does first
      if (row.signalNumber != 0) dialog_.OnSignal(row.signalNumber);
      EXPECT_FALSE(window_.ended);
    };
    Press();
    std::vector<std::string> shown;
    for (const MessageBoxContent& message : window_.messages) shown.push_back(message.text);
    std::vector<std::string> expected;
    if (row.signalNumber == 0) expected.push_back("取消任务并退出？");
    if (!row.stopped) expected.push_back("重打包成功！");
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(window_.ended, row.stopped ? std::optional<int>(idc::kCancel) : std::nullopt);
    EXPECT_EQ(ReadText(In("out.bin")) == "old output", row.stopped);
    EXPECT_EQ(ListDir(inputs_.path()), before);
    EXPECT_TRUE(ListDir(work_.path()).empty());
  }
}

}  // namespace
}  // namespace quarnet::test
