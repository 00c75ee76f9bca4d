// The described main window, About box and progress dialog without a
// toolkit: texts, enable rules, value exchange, Browse, the window menu's
// commands, and how the windows end.
#include <gtest/gtest.h>

#include "package/job_control.h"
#include "tests/ui/dialogs/recording_window.h"
#include "ui/about_dialog.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"

namespace quarnet::test {
namespace {

constexpr int kPathEdits[] = {idc::kOriginalPackageEdit, idc::kConfigFileEdit, idc::kNewPackageEdit,
                              idc::kConfigPackEdit, idc::kUpdateScriptEdit};

// The main window on a recording window.
struct Main {
  explicit Main(Language language = Language::kChinese) : dialog(window, language) { dialog.OnInit(); }

  // "F" clicks radio 1018, "P" radio 1019, "f" and "n" choose factory or
  // normal mode in the combo box.
  void Act(const std::string& actions) {
    for (const char action : actions) {
      if (action == 'F' || action == 'P') window.Click(dialog, action == 'F' ? idc::kConfigFileRadio : idc::kConfigPackRadio);
      if (action == 'f' || action == 'n') window.Choose(dialog, idc::kUpdateModeCombo, action == 'f' ? 0 : 1);
    }
  }

  RecordingWindow window{MainDialog::kSpec};
  MainDialog dialog;
};

TEST(MainDialog, TextsInBothLanguages) {
  const struct {
    int id;
    const char* zh;
    const char* en;
  } rows[] = {
      {idc::kOriginalPackageBrowse, "浏览", "Browse"},
      {idc::kConfigFileBrowse, "浏览", "Browse"},
      {idc::kNewPackageBrowse, "浏览", "Browse"},
      {idc::kConfigPackBrowse, "浏览", "Browse"},
      {idc::kUpdateScriptBrowse, "浏览", "Browse"},
      {idc::kPackageButton, "打包", "Package"},
      {idc::kCancel, "关闭", "Close"},
      {idc::kInputGroup, "输入", "Input"},
      {idc::kOutputGroup, "输出", "Output"},
      {idc::kOriginalPackageLabel, "原始包文件:", "Original Package:"},
      {idc::kNewPackageLabel, "新包文件", "New Package:"},
      {idc::kAsDefaultCheck, "作为默认配置", "As default configration"},
      {idc::kFileTypeGroup, "包文件类型", "Package File Type"},
      {idc::kUpdateModeLabel, "配置更新模式", "Update Mode"},
      {idc::kConfigFileRadio, "配置文件", "Configration File"},
      {idc::kConfigPackRadio, "配置文件包", "Configration File Package"},
      {idc::kUpdateScriptLabel, "升级脚本文件", "Update Script File"},
      {idc::kUpdateModeCombo, "出厂更新模式", "Factory Mode"},
  };
  for (const Language language : {Language::kChinese, Language::kEnglish}) {
    const bool en = language == Language::kEnglish;
    const Main main(language);
    EXPECT_EQ(main.window.title, "Quarnet");
    for (const auto& row : rows) EXPECT_EQ(main.window.GetText(row.id), en ? row.en : row.zh) << row.id;
    EXPECT_EQ(main.window.At(idc::kUpdateModeCombo).items.at(1), en ? "Normal Mode" : "普通更新模式");
  }
}

TEST(MainDialog, OpensInFileModeWithEmptyPaths) {
  const Main main;
  EXPECT_TRUE(main.window.GetCheck(idc::kConfigFileRadio));
  EXPECT_TRUE(main.window.GetCheck(idc::kAsDefaultCheck));
  for (const int id : kPathEdits) EXPECT_EQ(main.window.GetText(id), "") << id;
}

// The enabled state of 1001, 1003, 1006 (configuration file), 1014, 1015,
// 1022, 1020 (configuration pack), 1011, 1016, 1017 (update script) after
// the user's actions, and which radio button is checked.
TEST(MainDialog, EnableRules) {
  const struct {
    const char* actions;
    const char* enabled;
  } rows[] = {
      {"", "111 0000 000"},    {"P", "000 1111 000"},    {"Pn", "000 1111 111"},  {"Pnf", "000 1111 000"},
      {"PnF", "111 0000 000"}, {"PnFP", "000 1111 111"}, {"PP", "000 1111 000"},
  };
  for (const auto& row : rows) {
    Main main;
    main.Act(row.actions);
    std::string enabled = row.enabled;
    std::erase(enabled, ' ');
    EXPECT_EQ(main.window.Enabled({idc::kConfigFileEdit, idc::kConfigFileBrowse, idc::kAsDefaultCheck,
                                   idc::kConfigPackEdit, idc::kConfigPackBrowse, idc::kUpdateModeLabel,
                                   idc::kUpdateModeCombo, idc::kUpdateScriptLabel, idc::kUpdateScriptEdit,
                                   idc::kUpdateScriptBrowse}),
              enabled)
        << row.actions;
    const bool fileMode = row.enabled[0] == '1';
    EXPECT_EQ(main.window.GetCheck(idc::kConfigFileRadio), fileMode) << row.actions;
    EXPECT_EQ(main.window.GetCheck(idc::kConfigPackRadio), !fileMode) << row.actions;
  }
}

TEST(MainDialog, FactoryModeDropsTheUpdateScriptAndModeSwitchesKeepTheOtherPaths) {
  Main main;
  main.Act("Pn");
  for (const int id : kPathEdits) main.window.SetText(id, "/p/" + std::to_string(id));
  main.Act("fn");
  main.dialog.UpdateData(true);
  EXPECT_EQ(main.dialog.values.updateScript, "");
  main.Act("FP");
  for (const int id : kPathEdits) {
    EXPECT_EQ(main.window.GetText(id), id == idc::kUpdateScriptEdit ? "" : "/p/" + std::to_string(id)) << id;
  }
}

// Each Browse button: its file dialog, and that OK replaces only its own
// path while Cancel changes nothing; each dialog opens in the folder of the
// file last chosen.
TEST(MainDialog, Browse) {
  const struct {
    int button;
    int edit;
    bool save;
    int filter;
    const char* suffix;
  } rows[] = {
      {idc::kOriginalPackageBrowse, idc::kOriginalPackageEdit, false, 120, ""},
      {idc::kConfigFileBrowse, idc::kConfigFileEdit, false, 121, ""},
      {idc::kNewPackageBrowse, idc::kNewPackageEdit, true, 120, "bin"},
      {idc::kConfigPackBrowse, idc::kConfigPackEdit, false, 147, ""},
      {idc::kUpdateScriptBrowse, idc::kUpdateScriptEdit, false, 147, ""},
  };
  for (const auto& row : rows) {
    Main main;
    main.Act(row.button == idc::kConfigFileBrowse ? "" : "Pn");
    for (const int id : kPathEdits) main.window.SetText(id, "/old/" + std::to_string(id));
    // A tick the user changed survives the exchange around the dialog.
    main.window.SetCheck(idc::kAsDefaultCheck, false);
    main.window.fileAnswers = {std::nullopt, "/新/chosen"};
    main.window.Click(main.dialog, row.button);
    EXPECT_EQ(main.window.GetText(row.edit), "/old/" + std::to_string(row.edit));
    main.window.Click(main.dialog, row.button);
    main.window.Click(main.dialog, idc::kOriginalPackageBrowse);
    for (const int id : kPathEdits) {
      EXPECT_EQ(main.window.GetText(id), id == row.edit ? "/新/chosen" : "/old/" + std::to_string(id)) << id;
    }
    EXPECT_FALSE(main.window.GetCheck(idc::kAsDefaultCheck));
    const std::vector<FileRequest>& requests = main.window.fileRequests;
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].folder, "");
    EXPECT_EQ(requests[2].folder, "/新");
    EXPECT_EQ(requests[1].save, row.save);
    EXPECT_EQ(requests[1].filterId, row.filter);
    EXPECT_EQ(requests[1].defaultSuffix, row.suffix);
  }
}

// 16 to 31 open the About box; the rest are the system's own.
TEST(MainDialog, SysCommands) {
  const struct {
    unsigned command;
    bool about;
  } rows[] = {{16, true}, {31, true}, {32, false}, {15, false}, {idc::kScClose, false}};
  for (const auto& row : rows) {
    Main main;
    EXPECT_EQ(main.dialog.OnSysCommand(row.command), row.about) << row.command;
    EXPECT_EQ(main.window.aboutBoxes, row.about ? 1 : 0) << row.command;
  }
}

// Enter ends the window as OK, Close and Escape as Cancel, a signal as
// Cancel after closing the dialogs above the window.
TEST(MainDialog, Ends) {
  const struct {
    int command;  // 0: SIGTERM
    int result;
  } rows[] = {{idc::kOk, idc::kOk}, {idc::kCancel, idc::kCancel}, {0, idc::kCancel}};
  for (const auto& row : rows) {
    Main main;
    if (row.command != 0) {
      main.dialog.OnCommand(row.command);
    } else {
      main.dialog.OnSignal(15);
    }
    EXPECT_EQ(main.window.ended, row.result);
    EXPECT_EQ(main.window.cancelledDialogs, row.command == 0 ? 1 : 0);
  }
}

TEST(SmallDialogs, AboutBoxEndsWithEitherButton) {
  for (const int command : {idc::kOk, idc::kCancel}) {
    RecordingWindow window(AboutDialog::kSpec);
    AboutDialog about(window, Language::kEnglish);
    about.OnInit();
    EXPECT_EQ(window.title, "About Quarnet(&A)...");
    EXPECT_EQ(window.GetText(idc::kOk), "OK");
    about.OnCommand(command);
    EXPECT_EQ(window.ended, command);
  }
}

// Cancel asks the job to stop and says so; the dialog stays until the job
// has stopped.
TEST(SmallDialogs, ProgressDialogCancelAsksTheJobToStop) {
  ResetCancel();
  RecordingWindow window(ProgressDialog::kSpec);
  ProgressDialog progress(window, Language::kChinese);
  progress.OnInit();
  EXPECT_EQ(window.GetText(idc::kJobProgressLabel), "正在重打包，请稍候...");
  window.Click(progress, idc::kCancel);
  EXPECT_TRUE(CancelRequested());
  EXPECT_EQ(window.GetText(idc::kJobProgressLabel), "正在取消...");
  EXPECT_FALSE(window.At(idc::kCancel).enabled);
  EXPECT_FALSE(window.ended);
  ResetCancel();
}

}  // namespace
}  // namespace quarnet::test
