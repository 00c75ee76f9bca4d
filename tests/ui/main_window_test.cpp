// The main window on its real widgets, in both languages: texts, enabled
// states, mode switching, Browse, the path fields, the window menu with the
// About box, the dialogs it opens, icon and font, and the command line.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <map>

#include "tests/ui/ui_test.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/command_line.h"
#include "ui/control_ids.h"
#include "ui/quarnet_app.h"
#include "ui/quarnet_dlg.h"

namespace quarnet::test {
namespace {

constexpr int kSwitched[] = {idc::kConfigFileBrowse, idc::kAsDefaultCheck,  idc::kConfigPackBrowse,   idc::kUpdateModeLabel,
                             idc::kUpdateModeCombo,  idc::kUpdateScriptLabel, idc::kUpdateScriptBrowse};
constexpr int kPathEdits[] = {idc::kOriginalPackageEdit, idc::kConfigFileEdit, idc::kNewPackageEdit,
                              idc::kConfigPackEdit, idc::kUpdateScriptEdit};

QString TextOf(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  return {};
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Open(Language::kChinese); }
  void cleanup() {
    window_.reset();
    host_.reset();
  }

  void opensWithItsTexts_data() { LanguageRows(); }
  void opensWithItsTexts() {
    QFETCH(Language, language);
    Open(language);
    const std::map<int, std::pair<const char*, const char*>> texts = {
        {idc::kOriginalPackageBrowse, {"浏览", "Browse"}},
        {idc::kConfigFileBrowse, {"浏览", "Browse"}},
        {idc::kNewPackageBrowse, {"浏览", "Browse"}},
        {idc::kPackageButton, {"打包", "Package"}},
        {idc::kCancel, {"关闭", "Close"}},
        {idc::kInputGroup, {"输入", "Input"}},
        {idc::kOutputGroup, {"输出", "Output"}},
        {idc::kOriginalPackageLabel, {"原始包文件:", "Original Package:"}},
        {idc::kNewPackageLabel, {"新包文件", "New Package:"}},
        {idc::kAsDefaultCheck, {"作为默认配置", "As default configration"}},
        {idc::kFileTypeGroup, {"包文件类型", "Package File Type"}},
        {idc::kConfigPackBrowse, {"浏览", "Browse"}},
        {idc::kUpdateModeLabel, {"配置更新模式", "Update Mode"}},
        {idc::kConfigPackRadio, {"配置文件包", "Configration File Package"}},
        {idc::kConfigFileRadio, {"配置文件", "Configration File"}},
        {idc::kUpdateScriptLabel, {"升级脚本文件", "Update Script File"}},
        {idc::kUpdateScriptBrowse, {"浏览", "Browse"}},
    };
    const bool english = language == Language::kEnglish;
    QCOMPARE(window_->windowTitle(), QString("Quarnet"));
    for (const auto& [id, text] : texts) {
      QWidget* control = window_->Control(id);
      QCOMPARE(TextOf(control), QString::fromUtf8(english ? text.second : text.first));
      QVERIFY2(control->width() >= control->minimumSizeHint().width(), "a cut-off text");
    }
    auto* combo = window_->ControlAs<QComboBox>(idc::kUpdateModeCombo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), english ? QString("Factory Mode") : QString::fromUtf8("出厂更新模式"));
    QCOMPARE(combo->itemText(1), english ? QString("Normal Mode") : QString::fromUtf8("普通更新模式"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(window_->SystemMenu()->actions().last()->text(),
             english ? QString("About Quarnet(&A)...") : QString::fromUtf8("关于 Quarnet(&A)..."));
    QVERIFY(window_->ControlAs<QRadioButton>(idc::kConfigFileRadio)->isChecked());
    QVERIFY(window_->ControlAs<QCheckBox>(idc::kAsDefaultCheck)->isChecked());
    for (const int id : kPathEdits) {
      QVERIFY(window_->ControlAs<QLineEdit>(id)->isReadOnly());
      QVERIFY(window_->ControlAs<QLineEdit>(id)->text().isEmpty());
    }
  }

  void sortedComboPutsItemsInOrder() {
    SortedComboBox combo;
    for (const char* text : {"delta", "Bravo", "alpha", "charlie"}) combo.AddString(text);
    QCOMPARE(combo.itemText(0), QString("alpha"));
    QCOMPARE(combo.itemText(1), QString("Bravo"));
    QCOMPARE(combo.itemText(3), QString("delta"));
  }

  // User actions: "F" clicks radio 1018, "P" radio 1019, "f" and "n" choose
  // factory or normal mode in the combo with the keyboard. `enabled` lists
  // the enabled state of 1003, 1006, 1015, 1022, 1020, 1011, 1017.
  void enabledStates_data() {
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("at start") << "" << "1100000";
    QTest::newRow("pack, factory") << "P" << "0011100";
    QTest::newRow("pack, normal") << "Pn" << "0011111";
    QTest::newRow("pack, normal, factory") << "Pnf" << "0011100";
    QTest::newRow("normal kept across file mode") << "PnFP" << "0011111";
    QTest::newRow("back to file mode") << "PnF" << "1100000";
  }
  void enabledStates() {
    QFETCH(QString, actions);
    QFETCH(QString, enabled);
    for (const QChar action : actions) Act(action.toLatin1());
    QString state;
    for (const int id : kSwitched) state += window_->Control(id)->isEnabled() ? '1' : '0';
    QCOMPARE(state, enabled);
    QCOMPARE(window_->ControlAs<QRadioButton>(idc::kConfigFileRadio)->isChecked(), actions.endsWith('F') || actions.isEmpty());
  }

  void factoryModeEmptiesTheUpdateScript() {
    Act('P');
    Act('n');
    host_->fileAnswers = {QString("/data/up.tar.gz")};
    Click(window_->ControlAs<QPushButton>(idc::kUpdateScriptBrowse));
    QCOMPARE(window_->ControlAs<QLineEdit>(idc::kUpdateScriptEdit)->text(), QString("/data/up.tar.gz"));
    Act('f');
    QVERIFY(window_->ControlAs<QLineEdit>(idc::kUpdateScriptEdit)->text().isEmpty());
    QVERIFY(window_->m_strUpdateScript.empty());
    Act('n');
    QVERIFY(window_->ControlAs<QLineEdit>(idc::kUpdateScriptEdit)->text().isEmpty());
  }

  void modeSwitchesKeepEveryPath() {
    Act('P');
    Act('n');
    const std::pair<int, int> browses[] = {
        {idc::kOriginalPackageBrowse, idc::kOriginalPackageEdit}, {idc::kNewPackageBrowse, idc::kNewPackageEdit},
        {idc::kConfigPackBrowse, idc::kConfigPackEdit}, {idc::kUpdateScriptBrowse, idc::kUpdateScriptEdit}};
    for (const auto& [browse, edit] : browses) {
      host_->fileAnswers = {QString("/p/%1").arg(edit)};
      Click(window_->ControlAs<QPushButton>(browse));
    }
    Act('F');
    host_->fileAnswers = {QString("/p/1001")};
    Click(window_->ControlAs<QPushButton>(idc::kConfigFileBrowse));
    Act('P');
    Act('F');
    for (const int id : kPathEdits) QCOMPARE(window_->ControlAs<QLineEdit>(id)->text(), QString("/p/%1").arg(id));
  }

  // Each Browse button: its file dialog, and that OK replaces only its own
  // field while Cancel changes nothing.
  void browse_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("edit");
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("original package") << idc::kOriginalPackageBrowse << idc::kOriginalPackageEdit << false << 120 << "";
    QTest::newRow("configuration file") << idc::kConfigFileBrowse << idc::kConfigFileEdit << false << 121 << "";
    QTest::newRow("new package") << idc::kNewPackageBrowse << idc::kNewPackageEdit << true << 120 << "bin";
    QTest::newRow("configuration pack") << idc::kConfigPackBrowse << idc::kConfigPackEdit << false << 147 << "";
    QTest::newRow("update script") << idc::kUpdateScriptBrowse << idc::kUpdateScriptEdit << false << 147 << "";
  }
  void browse() {
    QFETCH(int, button);
    QFETCH(int, edit);
    QFETCH(bool, save);
    QFETCH(int, filter);
    QFETCH(QString, suffix);
    Act('P');
    Act('n');
    Act('F');
    for (const int id : kPathEdits) window_->ControlAs<QLineEdit>(id)->setText(QString("/old/%1").arg(id));
    // A tick the user changed must survive the exchange around the dialog.
    Click(window_->ControlAs<QCheckBox>(idc::kAsDefaultCheck));
    window_->Control(button)->setEnabled(true);

    host_->fileAnswers = {QString(), QString::fromUtf8("/新/chosen")};
    Click(window_->ControlAs<QPushButton>(button));
    for (const int id : kPathEdits) QCOMPARE(window_->ControlAs<QLineEdit>(id)->text(), QString("/old/%1").arg(id));
    Click(window_->ControlAs<QPushButton>(button));
    for (const int id : kPathEdits) {
      QCOMPARE(window_->ControlAs<QLineEdit>(id)->text(),
               id == edit ? QString::fromUtf8("/新/chosen") : QString("/old/%1").arg(id));
    }
    QVERIFY(!window_->ControlAs<QCheckBox>(idc::kAsDefaultCheck)->isChecked());
    QCOMPARE(window_->m_bAsDefault, 0);

    // Each dialog opens in the folder of the file last chosen in this window.
    Click(window_->ControlAs<QPushButton>(idc::kOriginalPackageBrowse));
    QCOMPARE(host_->fileDialogs.size(), std::size_t{3});
    QVERIFY(host_->fileDialogs[0].folder.isEmpty());
    QCOMPARE(host_->fileDialogs[2].folder, QString::fromUtf8("/新"));
    const FileDialogSpec& request = host_->fileDialogs[1];
    QCOMPARE(request.save, save);
    QCOMPARE(request.filterId, filter);
    QCOMPARE(request.defaultSuffix, suffix);
  }

  void deleteKeyEmptiesAFocusedPathField() {
    for (const int id : kPathEdits) window_->ControlAs<QLineEdit>(id)->setText(QString("/p/%1").arg(id));
    for (const int id : kPathEdits) {
      auto* edit = window_->ControlAs<QLineEdit>(id);
      edit->setFocus();
      QTest::keyClick(edit, Qt::Key_Backspace);
      QCOMPARE(edit->text(), QString("/p/%1").arg(id));
      QTest::keyClick(edit, Qt::Key_Delete);
      QVERIFY(edit->text().isEmpty());
    }
    window_->UpdateData(true);
    QVERIFY(window_->m_strOriginalPackage.empty());
    QVERIFY(window_->m_strUpdateScript.empty());
  }

  void fileDialogsGetFolderFiltersSuffixAndOverwritePrompt() {
    QFileDialog save;
    SetUpFileDialog(save, {true, 120, "bin", QDir::tempPath(), Language::kChinese});
    QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save.defaultSuffix(), QString("bin"));
    QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(save.nameFilters(), QStringList{QString::fromUtf8("包文件(*.bin) (*.bin)")});
    QCOMPARE(save.directory().absolutePath(), QDir::tempPath());
    QFileDialog open;
    SetUpFileDialog(open, {false, 147, {}, {}, Language::kEnglish});
    QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open.fileMode(), QFileDialog::ExistingFile);
    QVERIFY(open.defaultSuffix().isEmpty());
    QCOMPARE(open.nameFilters(), QStringList{"Configration pack files(*.tar.gz) (*.tar.gz)"});
    QCOMPARE(open.directory().absolutePath(), QDir::currentPath());
    QVERIFY(open.testOption(QFileDialog::DontUseNativeDialog));
  }

  void convertFilter_data() {
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("one pair") << QByteArray("Xml(*.xml)|*.xml||") << QStringList{"Xml(*.xml) (*.xml)"};
    QTest::newRow("two patterns") << QByteArray("Any|*.a;*.b||") << QStringList{"Any (*.a *.b)"};
    QTest::newRow("two pairs") << QByteArray("A|*.a|B|*.b||") << QStringList{"A (*.a)", "B (*.b)"};
    QTest::newRow("empty") << QByteArray("") << QStringList{};
  }
  void convertFilter() {
    QFETCH(QByteArray, filter);
    QFETCH(QStringList, filters);
    QCOMPARE(ConvertFilter(filter.toStdString()), filters);
  }

  void aboutItemOpensTheAboutBox() {
    const QList<QAction*> actions = window_->SystemMenu()->actions();
    QVERIFY(!actions.isEmpty());
    QVERIFY(actions.first()->isSeparator());
    QCOMPARE(actions.last()->text(), QString::fromUtf8("关于 Quarnet(&A)..."));
    QString caption;
    host_->onDialog = [&](QDialog& dialog) {
      auto* about = dynamic_cast<CAboutDlg*>(&dialog);
      if (about == nullptr) return int(QDialog::Rejected);
      caption = about->windowTitle();
      Click(about->ControlAs<QPushButton>(idc::kOk));
      return about->result();
    };
    actions.last()->trigger();
    QCOMPARE(host_->dialogs, 1);
    QCOMPARE(caption, QString::fromUtf8("关于 Quarnet(&A)..."));
    QCOMPARE(window_->ControlAs<QRadioButton>(idc::kConfigFileRadio)->isChecked(), true);
  }

  void sysCommands_data() {
    QTest::addColumn<unsigned>("command");
    QTest::addColumn<int>("aboutBoxes");
    QTest::addColumn<bool>("closes");
    QTest::newRow("16") << 16u << 1 << false;
    QTest::newRow("31") << 31u << 1 << false;
    QTest::newRow("32") << 32u << 0 << false;
    QTest::newRow("15") << 15u << 0 << false;
    QTest::newRow("close") << 0xF060u << 0 << true;
    QTest::newRow("close, low bits set") << 0xF063u << 0 << true;
  }
  void sysCommands() {
    QFETCH(unsigned, command);
    QFETCH(int, aboutBoxes);
    QFETCH(bool, closes);
    window_->OnSysCommand(command, 0);
    QCOMPARE(host_->dialogs, aboutBoxes);
    QCOMPARE(window_->isVisible(), !closes);
    if (closes) QCOMPARE(window_->result(), int(QDialog::Rejected));
  }

  // The About box, the product dialog and the message boxes speak the
  // window's language; Qt's own texts follow the application's.
  void dialogsSpeakTheWindowsLanguage_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("texts");    // About, product dialog, message box
    QTest::addColumn<QStringList>("qtTexts");  // a field's Copy and Select All, Show Details
    QTest::newRow("zh") << Language::kChinese
                        << QStringList{QString::fromUtf8("关于 Quarnet(&A)..."), QString::fromUtf8("确定"),
                                       QString::fromUtf8("请选择要支持的产品"), QString::fromUtf8("确定"),
                                       QString::fromUtf8("提示"), QString::fromUtf8("确定"),
                                       QString::fromUtf8("请选择输入文件或输出文件")}
                        << QStringList{QString::fromUtf8("复制(&C)"), QString::fromUtf8("全选"),
                                       QString::fromUtf8("显示详情...")};
    QTest::newRow("en") << Language::kEnglish
                        << QStringList{"About Quarnet(&A)...", "OK", "Please select the support products", "OK",
                                       "Notice", "OK", "Please select input or output files."}
                        << QStringList{"&Copy", "Select All", "Show Details..."};
  }
  void dialogsSpeakTheWindowsLanguage() {
    QFETCH(Language, language);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, qtTexts);
    Open(language);
    QStringList shown;
    host_->onDialog = [&](QDialog& dialog) {
      auto& control = dynamic_cast<ControlDialog&>(dialog);
      shown << dialog.windowTitle() << control.ControlAs<QPushButton>(idc::kOk)->text();
      return int(QDialog::Rejected);
    };
    window_->OnSysCommand(idc::kIdmAboutBox, 0);
    ProductListBuffer products{};
    window_->SelectProducts(products);
    window_->ShowMessage(126, 0);
    const ShownMessage& message = host_->messages.at(0);
    shown << message.caption << message.okText << message.text;
    QCOMPARE(shown, texts);
    // Room for the caption; only a close button in the title bar.
    const QFontMetrics metrics = window_->fontMetrics();
    QVERIFY(message.minimumWidth >= metrics.horizontalAdvance(message.caption) + 4 * metrics.height());
    QVERIFY(!(message.flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(message.flags & Qt::WindowCloseButtonHint);

    auto* app = qobject_cast<CQuarnetApp*>(qApp);
    app->SetLanguage(language);
    std::unique_ptr<QMenu> menu(window_->ControlAs<QLineEdit>(idc::kNewPackageEdit)->createStandardContextMenu());
    QStringList menuTexts;
    for (const QAction* action : menu->actions()) {
      if (!action->isSeparator()) menuTexts << action->text().section('\t', 0, 0);
    }
    QMessageBox box;
    box.setDetailedText("details");
    QString detailsButton;
    for (QAbstractButton* button : box.buttons()) {
      if (box.buttonRole(button) == QMessageBox::ActionRole) detailsButton = button->text();
    }
    app->SetLanguage(Language::kChinese);
    QCOMPARE(menuTexts << detailsButton, qtTexts);
  }

  void commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<Language>("language");
    const int run = CommandLine::kRun;
    const int error = CommandLine::kUsageError;
    QTest::newRow("none") << QStringList{} << run << Language::kChinese;
    QTest::newRow("zh") << QStringList{"--lang", "zh"} << run << Language::kChinese;
    QTest::newRow("en") << QStringList{"--lang", "en"} << run << Language::kEnglish;
    QTest::newRow("en joined, last wins") << QStringList{"--lang", "zh", "--lang=en"} << run << Language::kEnglish;
    QTest::newRow("version") << QStringList{"--version"} << int(CommandLine::kVersion) << Language::kChinese;
    QTest::newRow("help beats version") << QStringList{"--version", "--help"} << int(CommandLine::kHelp)
                                        << Language::kChinese;
    QTest::newRow("other language") << QStringList{"--lang", "fr"} << error << Language::kChinese;
    QTest::newRow("empty language") << QStringList{"--lang="} << error << Language::kChinese;
    QTest::newRow("no language") << QStringList{"--lang"} << error << Language::kChinese;
    QTest::newRow("unknown option after help") << QStringList{"--help", "-platform"} << error << Language::kChinese;
    QTest::newRow("argument") << QStringList{"package.bin"} << error << Language::kChinese;
  }
  void commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(Language, language);
    std::vector<std::string> argv;
    for (const QString& arg : args) argv.push_back(arg.toStdString());
    const CommandLine command = ParseCommandLine(argv);
    QCOMPARE(int(command.action), action);
    QCOMPARE(command.language, language);
    QCOMPARE(command.error.empty(), action != CommandLine::kUsageError);
  }

  void enterEndsTheWindowUnlessAButtonHasTheFocus() {
    window_->ControlAs<QLineEdit>(idc::kNewPackageEdit)->setFocus();
    QTest::keyClick(window_.get(), Qt::Key_Return);
    QCOMPARE(window_->result(), int(QDialog::Accepted));
    QVERIFY(!window_->isVisible());
  }

  void iconInEightSizes() {
    const QList<QSize> sizes = window_->m_hIcon.availableSizes();
    for (const int size : kIconSizes) {
      QVERIFY(sizes.contains(QSize(size, size)));
      const QImage image = DrawAppIcon(size);
      QCOMPARE(image.size(), QSize(size, size));
      QCOMPARE(image.depth(), 32);
      QVERIFY(image.hasAlphaChannel());
    }
  }

  void fontRendersChinese() {
    const QFont font = window_->font();
    QCOMPARE(QFontInfo(font).family(), QString("Noto Serif CJK SC"));
    QCOMPARE(font.pointSize(), 9);
    QVERIFY(QFontMetrics(font).inFont(QChar(0x6253)));  // 打
  }

  void applicationEndsWhenTheMainWindowCloses() {
    auto* app = qobject_cast<CQuarnetApp*>(qApp);
    QVERIFY(app != nullptr);
    bool sawWindow = false;
    QTimer::singleShot(0, [&] {
      sawWindow = app->m_pMainWnd != nullptr && app->m_pMainWnd->isVisible();
      if (app->m_pMainWnd != nullptr) Click(app->m_pMainWnd->ControlAs<QPushButton>(idc::kCancel));
    });
    QCOMPARE(app->InitInstance(), 0);
    QVERIFY(sawWindow);
    QVERIFY(app->m_pMainWnd == nullptr);
  }

 private:
  void Open(Language language) {
    window_.reset();
    host_ = std::make_unique<ScriptedHost>();
    window_ = std::make_unique<CQuarnetDlg>(nullptr, *host_, language);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  static void LanguageRows() {
    QTest::addColumn<Language>("language");
    QTest::newRow("zh") << Language::kChinese;
    QTest::newRow("en") << Language::kEnglish;
  }

  void Act(char action) {
    auto* combo = window_->ControlAs<QComboBox>(idc::kUpdateModeCombo);
    switch (action) {
      case 'F': Click(window_->ControlAs<QRadioButton>(idc::kConfigFileRadio)); break;
      case 'P': Click(window_->ControlAs<QRadioButton>(idc::kConfigPackRadio)); break;
      case 'f':
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Home);
        break;
      case 'n':
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_End);
        break;
    }
  }

  std::unique_ptr<ScriptedHost> host_;
  std::unique_ptr<CQuarnetDlg> window_;
};

QUARNET_UI_TEST(MainWindowTest);

}  // namespace quarnet::test

#include "main_window_test.moc"
