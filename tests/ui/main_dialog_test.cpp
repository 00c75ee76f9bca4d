// The described main window and progress dialog without a toolkit: texts,
// enable rules, value exchange, Browse, the window menu's commands, and how
// the window ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <vector>

#include "package/job_control.h"
#include "platform/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/recording_window.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPathEdits[] = {idc::kOriginalPackageEdit, idc::kConfigFileEdit, idc::kNewPackageEdit,
                              idc::kConfigPackEdit, idc::kUpdateScriptEdit};

// The main window on a recording window.
struct Main {
  explicit Main(Language language = Language::kChinese) : dialog(window, language) { dialog.OnInit(); }

  // "F" clicks radio 1018, "P" radio 1019, "f" and "n" choose factory or
  // normal mode in the combo box.
  void Act(const std::string& actions) {
    for (const char action : actions) {
      if (action == 'F') window.Click(dialog, idc::kConfigFileRadio);
      if (action == 'P') window.Click(dialog, idc::kConfigPackRadio);
      if (action == 'f' || action == 'n') window.Choose(dialog, idc::kUpdateModeCombo, action == 'f' ? 0 : 1);
    }
  }

  RecordingWindow window{MainDialog::kLayout};
  MainDialog dialog;
};

// The texts, in English their twins; the window opens in file mode,
// as-default ticked, with empty paths.
TEST(MainDialog, Opens) {
  const std::pair<int, const char*> texts[] = {
      {idc::kOriginalPackageBrowse, "浏览"},   {idc::kConfigFileBrowse, "浏览"},      {idc::kNewPackageBrowse, "浏览"},
      {idc::kConfigPackBrowse, "浏览"},        {idc::kUpdateScriptBrowse, "浏览"},    {idc::kPackageButton, "打包"},
      {idc::kCancel, "关闭"},                  {idc::kInputGroup, "输入"},            {idc::kOutputGroup, "输出"},
      {idc::kNewPackageLabel, "新包文件"},     {idc::kOriginalPackageLabel, "原始包文件:"},
      {idc::kAsDefaultCheck, "作为默认配置"},  {idc::kFileTypeGroup, "包文件类型"},   {idc::kUpdateModeLabel, "配置更新模式"},
      {idc::kConfigFileRadio, "配置文件"},     {idc::kUpdateScriptLabel, "升级脚本文件"},
      {idc::kConfigPackRadio, "配置文件包"},   {idc::kUpdateModeCombo, "出厂更新模式"},
  };
  for (const Language language : {Language::kChinese, Language::kEnglish}) {
    const bool en = language == Language::kEnglish;
    const Main main(language);
    EXPECT_EQ(main.window.title, "Quarnet");
    for (const auto& [id, zh] : texts) {
      const std::string shown = main.window.GetText(id);
      EXPECT_TRUE(en ? !shown.empty() && std::all_of(shown.begin(), shown.end(), [](char c) { return c > 0; })
                     : shown == zh)
          << shown;
    }
    EXPECT_EQ(main.window.At(idc::kUpdateModeCombo).items.at(1), en ? "Normal Mode" : "普通更新模式");
    EXPECT_TRUE(main.window.GetCheck(idc::kConfigFileRadio) && main.window.GetCheck(idc::kAsDefaultCheck));
    for (const int id : kPathEdits) EXPECT_EQ(main.window.GetText(id), "") << id;
  }
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
    EXPECT_EQ(std::pair(main.window.GetCheck(idc::kConfigFileRadio), main.window.GetCheck(idc::kConfigPackRadio)),
              std::pair(fileMode, !fileMode))
        << row.actions;
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
    EXPECT_EQ(requests[1].folder + "|" + requests[2].folder, "|/新");
    EXPECT_EQ(std::tuple(requests[1].save, requests[1].filterId, requests[1].defaultSuffix),
              std::tuple(row.save, row.filter, std::string(row.suffix)));
  }
}

// Dropped files: on a path field the field's filter decides; elsewhere each
// goes by its suffix, and a configuration file or pack brings its type.
TEST(MainDialog, DroppedFiles) {
  const struct {
    const char* actions;
    int target;
    std::vector<std::string> paths;
    const char* fields;  // original|config file|new package|pack|script|file type
  } rows[] = {
      {"", 0, {"/d/a.BIN", "/d/b.bin", "/d/c.xml", "/d/p.tar.gz"}, "/d/a.BIN|/d/c.xml||/d/p.tar.gz||P"},
      {"P", 0, {"/d/c.Xml"}, "|/d/c.Xml||||F"},
      {"", 0, {"/d/x.txt", "/d/tar.gz", "/d/.xml"}, "|||||F"},
      {"", idc::kNewPackageEdit, {"/d/c.xml", "/d/n.bin"}, "||/d/n.bin|||F"},
      {"", idc::kOriginalPackageEdit, {"/d/p.tar.gz"}, "|||||F"},
      {"P", idc::kConfigFileEdit, {"/d/c.xml"}, "|||||P"},
      {"Pn", idc::kUpdateScriptEdit, {"/d/s.tar.gz"}, "||||/d/s.tar.gz|P"},
      {"Pf", idc::kUpdateScriptEdit, {"/d/s.tar.gz"}, "|||||P"},
  };
  for (const auto& row : rows) {
    Main main;
    main.Act(row.actions);
    main.dialog.OnDropFiles(row.target, row.paths);
    std::string fields;
    for (const int id : {idc::kOriginalPackageEdit, idc::kConfigFileEdit, idc::kNewPackageEdit, idc::kConfigPackEdit,
                         idc::kUpdateScriptEdit})
      fields += main.window.GetText(id) + "|";
    fields += main.window.GetCheck(idc::kConfigPackRadio) ? "P" : "F";
    EXPECT_EQ(fields, row.fields) << row.actions << " " << row.target;
  }
  // A package dropped elsewhere leaves a chosen original alone.
  Main main;
  main.window.SetText(idc::kOriginalPackageEdit, "/d/first.bin");
  main.dialog.OnDropFiles(0, {"/d/second.bin"});
  EXPECT_EQ(main.window.GetText(idc::kOriginalPackageEdit), "/d/first.bin");
}

// 16 to 31 open the About box, 32 to 63 the package views; the rest are
// the system's own.
TEST(MainDialog, SysCommands) {
  const struct {
    unsigned command;
    bool ours;
    bool about;
  } rows[] = {{16, true, true},  {31, true, true},   {32, true, false},
              {63, true, false}, {64, false, false}, {15, false, false}, {idc::kScClose, false, false}};
  for (const auto& row : rows) {
    Main main;
    EXPECT_EQ(main.dialog.OnSysCommand(row.command), row.ours) << row.command;
    EXPECT_EQ(main.window.aboutBoxes, row.about ? 1 : 0) << row.command;
  }
}

// Enter ends the window as OK, Close and Escape as Cancel, a signal as
// Cancel after closing the dialogs above the window.
TEST(MainDialog, Ends) {
  for (const int command : {idc::kOk, idc::kCancel, 0}) {  // 0: SIGTERM
    Main main;
    if (command != 0) main.dialog.OnCommand(command);
    if (command == 0) main.dialog.OnSignal(15);
    EXPECT_EQ(main.window.ended, command == idc::kOk ? idc::kOk : idc::kCancel);
    EXPECT_EQ(main.window.cancelledDialogs, command == 0 ? 1 : 0);
  }
}

// Cancel asks the job to stop and says so; the dialog stays until the job
// has stopped.
// Where the window keeps its settings, for this process.
void SetSettingsHome(const fs::path& folder) {
#ifdef _WIN32
  ::_wputenv_s(L"APPDATA", folder.c_str());
#else
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
#endif
}

// One run of a window that remembers: `act` on it, then Close.
template <class Act>
void RunRemembering(Act act) {
  RecordingWindow window{MainDialog::kLayout};
  MainDialog dialog{window, Language::kChinese};
  dialog.remember = true;
  dialog.OnInit();
  act(window, dialog);
  window.Click(dialog, idc::kCancel);
}

// The next run takes the last one's choices where they still apply; a
// broken settings file costs them, never the window.
TEST(MainDialog, RemembersTheLastRun) {
  TempDir temp;
  const fs::path home = temp.path() / "设置 home";
  SetSettingsHome(home);
  for (const char* folder : {"a", "b", "c"}) fs::create_directories(temp.path() / folder);
  const std::string config = Utf8(temp.path() / "a" / "cfg.xml"), pack = Utf8(temp.path() / "b" / "p.tar.gz"),
                    script = Utf8(temp.path() / "c" / "s.tar.gz");
  for (const std::string& file : {config, pack, script}) std::ofstream(Utf8Path(file)) << "x";
  RunRemembering([&](RecordingWindow& window, MainDialog& dialog) {
    window.fileAnswers = {config, pack, script};
    window.Click(dialog, idc::kConfigFileBrowse);
    window.Click(dialog, idc::kConfigPackRadio);
    window.Choose(dialog, idc::kUpdateModeCombo, 1);
    window.Click(dialog, idc::kConfigPackBrowse);
    window.Click(dialog, idc::kUpdateScriptBrowse);
    window.SetCheck(idc::kAsDefaultCheck, false);
  });
  fs::remove_all(temp.path() / "c");
  RunRemembering([&](RecordingWindow& window, MainDialog& dialog) {
    EXPECT_EQ(window.GetText(idc::kConfigFileEdit) + "|" + window.GetText(idc::kConfigPackEdit) + "|" +
                  window.GetText(idc::kUpdateScriptEdit),
              config + "|" + pack + "|");
    EXPECT_TRUE(window.GetCheck(idc::kConfigPackRadio));
    EXPECT_EQ(window.GetText(idc::kUpdateModeCombo), Text(143, Language::kChinese));
    EXPECT_FALSE(window.GetCheck(idc::kAsDefaultCheck));
    for (const int button : {idc::kConfigPackBrowse, idc::kUpdateScriptBrowse}) window.Click(dialog, button);
    ASSERT_EQ(window.fileRequests.size(), 2u);
    EXPECT_EQ(window.fileRequests[0].folder + "|" + window.fileRequests[1].folder, Utf8(temp.path() / "b") + "|");
  });
  std::ofstream(Utf8Path(os::SettingsFolder()) / "quarnet.ini", std::ios::binary) << "[window]\nconfig_file\n=\\\xff[window\n";
  RunRemembering([&](RecordingWindow& window, MainDialog&) {
    EXPECT_EQ(window.GetText(idc::kConfigFileEdit), "");
    EXPECT_TRUE(window.GetCheck(idc::kConfigFileRadio));
  });
  WindowMemory memory;
  memory.entries["path"] = "a\\b\nc\r=d";
  EXPECT_EQ(WindowMemory::Parse(memory.Format()).entries, memory.entries);
}

// Each failure the job finds has a sentence in both languages: the English
// one is the job's own reason, the Chinese one takes the same names.
TEST(MainDialog, FindingsInBothLanguages) {
  const std::regex placeholder("%[1-9]");
  for (const Finding finding : kEveryFinding) {
    const std::string english = Text(FindingTextId(finding), Language::kEnglish);
    const std::string chinese = Text(FindingTextId(finding), Language::kChinese);
    EXPECT_EQ(english, FindingSentence(finding));
    const auto placeholders = [&](const std::string& text) {
      std::set<std::string> found;
      for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
      return found;
    };
    EXPECT_FALSE(chinese.empty() || chinese == english) << english;
    EXPECT_EQ(placeholders(chinese), placeholders(english)) << chinese;
  }
}

TEST(ProgressDialog, CancelAsksTheJobToStop) {
  RecordingWindow window(ProgressDialog::kLayout);
  ProgressDialog progress(window, Language::kChinese);
  progress.OnInit();
  window.Click(progress, idc::kCancel);
  EXPECT_TRUE(CancelRequested());
  EXPECT_EQ(window.GetText(idc::kJobProgressLabel), "正在取消...");
  EXPECT_FALSE(window.At(idc::kCancel).enabled);
  EXPECT_FALSE(window.ended);
  ResetCancel();
}

}  // namespace
}  // namespace quarnet::test
