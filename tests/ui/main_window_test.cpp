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
#include <QRegularExpression>
#include <QSettings>
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
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
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

  void opensWithItsTexts_data() {
    QTest::addColumn<Language>("language");
    QTest::newRow("zh") << Language::kChinese;
    QTest::newRow("en") << Language::kEnglish;
  }
  void opensWithItsTexts() {
    QFETCH(Language, language);
    Open(language);
    const std::map<int, const char*> texts = {
        {idc::kOriginalPackageBrowse, "浏览"}, {idc::kConfigFileBrowse, "浏览"},      {idc::kNewPackageBrowse, "浏览"},
        {idc::kPackageButton, "打包"},         {idc::kCancel, "关闭"},                {idc::kInputGroup, "输入"},
        {idc::kOutputGroup, "输出"},           {idc::kOriginalPackageLabel, "原始包文件:"}, {idc::kNewPackageLabel, "新包文件"},
        {idc::kAsDefaultCheck, "作为默认配置"}, {idc::kFileTypeGroup, "包文件类型"},   {idc::kConfigPackBrowse, "浏览"},
        {idc::kUpdateModeLabel, "配置更新模式"}, {idc::kConfigPackRadio, "配置文件包"}, {idc::kConfigFileRadio, "配置文件"},
        {idc::kUpdateScriptLabel, "升级脚本文件"}, {idc::kUpdateScriptBrowse, "浏览"}, {idc::kUpdateModeCombo, "出厂更新模式"},
    };
    const bool en = language == Language::kEnglish;
    QCOMPARE(window_->windowTitle(), QString("Quarnet"));
    // Chinese exactly as stored; in English every text is there, none in Chinese.
    for (const auto& [id, text] : texts) {
      QWidget* control = window_->Control(id);
      const QString shown = TextOf(control);
      QVERIFY2(en ? !shown.isEmpty() && !shown.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]"))
                  : shown == QString::fromUtf8(text),
               qPrintable(shown));
      QVERIFY2(control->width() >= control->minimumSizeHint().width(), "a cut-off text");
    }
    auto* combo = window_->ControlAs<QComboBox>(idc::kUpdateModeCombo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), en ? QString("Normal Mode") : QString::fromUtf8("普通更新模式"));
    QCOMPARE(combo->currentIndex(), 0);
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

  void deleteKeyEmptiesTheFocusedPathField() {
    for (const int id : kPathEdits) window_->ControlAs<QLineEdit>(id)->setText("/p");
    QTest::keyClick(window_->ControlAs<QLineEdit>(idc::kOriginalPackageEdit), Qt::Key_Delete);
    window_->UpdateData(true);
    QVERIFY(window_->m_strOriginalPackage.empty());
    QCOMPARE(window_->m_strConfigFile, std::string("/p"));
  }

  void fileDialogsGetFiltersSuffixAndOverwritePrompt() {
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
    QTest::newRow("16") << 16u << 1;
    QTest::newRow("31") << 31u << 1;
    QTest::newRow("32") << 32u << 0;
    QTest::newRow("15") << 15u << 0;
    QTest::newRow("close") << 0xF060u << 0;
  }
  void sysCommands() {
    QFETCH(unsigned, command);
    QFETCH(int, aboutBoxes);
    window_->OnSysCommand(command, 0);
    QCOMPARE(host_->dialogs, aboutBoxes);
    // The close command ends the window as Escape does.
    QCOMPARE(window_->isVisible(), command != 0xF060u);
  }

  // The About box, the product dialog and the message boxes follow the
  // window into English, and Qt's own texts follow the application.
  void dialogsInEnglish() {
    Open(Language::kEnglish);
    QStringList shown;
    host_->onDialog = [&](QDialog& dialog) {
      shown << dialog.windowTitle();
      for (QWidget* control : dialog.findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(control) && !TextOf(control).isEmpty()) shown << TextOf(control);
      }
      return int(QDialog::Rejected);
    };
    window_->OnSysCommand(idc::kIdmAboutBox, 0);
    ProductListBuffer products{};
    window_->SelectProducts(products);
    window_->ShowMessage(126, 0);
    const ShownMessage& message = host_->messages.at(0);
    QCOMPARE((shown << message.caption << message.okText << message.text).join('|'),
             QString("About Quarnet(&A)...|OK|Please select the support products|ONT Versions|Products|OK|Close|"
                     "Notice|OK|Please select input or output files."));
    // Only a close button in the title bar.
    const Qt::WindowFlags buttons = Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    QCOMPARE(message.flags & (buttons | Qt::WindowMinMaxButtonsHint), buttons);

    auto* app = qobject_cast<CQuarnetApp*>(qApp);
    app->SetLanguage(Language::kEnglish);
    QCOMPARE(QFileDialog::tr("Look in:"), QString("Look in:"));
    app->SetLanguage(Language::kChinese);
    QCOMPARE(QFileDialog::tr("Look in:"), QString::fromUtf8("查找范围："));
    // What Qt's file dialog stores stays out of the user's settings.
    QVERIFY(!QSettings(QSettings::UserScope, "QtProject").fileName().startsWith(QDir::homePath()));
  }

  void commandLine_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("action");
    QTest::newRow("none") << "" << int(CommandLine::kRun);
    QTest::newRow("help beats version") << "--version --help" << int(CommandLine::kHelp);
    QTest::newRow("other language") << "--lang fr" << int(CommandLine::kUsageError);
    QTest::newRow("no language") << "--lang" << int(CommandLine::kUsageError);
    QTest::newRow("unknown option") << "--lang=en -x" << int(CommandLine::kUsageError);
  }
  void commandLine() {
    QFETCH(QString, args);
    QFETCH(int, action);
    std::vector<std::string> argv;
    for (const QString& arg : args.split(' ', Qt::SkipEmptyParts)) argv.push_back(arg.toStdString());
    QCOMPARE(int(ParseCommandLine(argv).action), action);
    QCOMPARE(ParseCommandLine({"--lang", "zh", "--lang=en"}).language, Language::kEnglish);
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
