// The Qt bindings of the described dialogs on their real widgets: every
// control is a widget of its kind under its ID, the user's input reaches
// the handlers, file dialogs and message boxes, the window menu, keys,
// the path fields, icon, fonts, the screen's size and the command line.
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTextLayout>
#include <QTimer>

#include "tests/ui/qt/ui_test.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/about_window.h"
#include "ui/qt/package_view_window.h"
#include "ui/qt/app_icon.h"
#include "ui/command_line.h"
#include "ui/control_ids.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/product_window.h"
#include "ui/qt/app.h"
#include "ui/qt/main_window.h"

namespace quarnet::test {
namespace {

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

  // Each described dialog in each language: its caption, and every control
  // a widget found by its ID, showing its whole text.
  void controlsAreWidgetsFoundByID_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<Language>("language");
    for (const Language language : {Language::kChinese, Language::kEnglish}) {
      for (int dialog = 0; dialog < 4; ++dialog) {
        QTest::addRow("%d %s", dialog, language == Language::kChinese ? "zh" : "en") << dialog << language;
      }
    }
  }
  void controlsAreWidgetsFoundByID() {
    QFETCH(int, dialog);
    QFETCH(Language, language);
    Open(language);
    std::unique_ptr<ControlDialog> owned;
    switch (dialog) {
      case 1: owned = std::make_unique<CProductListSelDlg>(window_.get(), language); break;
      case 2: owned = std::make_unique<CAboutDlg>(window_.get(), language); break;
      case 3: owned = std::make_unique<CJobProgressDlg>(window_.get(), language); break;
    }
    ControlDialog& shown = owned ? *owned : *window_;
    const DialogLayout* layouts[] = {&MainDialog::kLayout, &ProductDialog::kLayout, &AboutDialog::kLayout,
                                 &ProgressDialog::kLayout};
    shown.show();
    QCOMPARE(shown.windowTitle(), Res(layouts[dialog]->captionId, language));
    for (const ControlLayout& control : layouts[dialog]->controls) {
      QWidget* widget = shown.Control(control.id);
      QVERIFY(widget != nullptr && shown.findChild<QWidget*>(QString::number(control.id)) == widget);
      if (control.textId != 0) QCOMPARE(TextOf(widget), Res(control.textId, language));
      QVERIFY2(widget->width() >= widget->minimumSizeHint().width(), "a cut-off text");
    }
  }

  void sortedComboPutsItemsInOrder() {
    SortedComboBox combo;
    for (const char* text : {"delta", "Bravo", "alpha", "charlie"}) combo.AddString(text);
    QCOMPARE(combo.itemText(0), QString("alpha"));
    QCOMPARE(combo.itemText(1), QString("Bravo"));
    QCOMPARE(combo.itemText(3), QString("delta"));
  }

  // Clicks, keys and the combo box's choice reach the handlers, and what
  // they set reaches the widgets.
  void userInputReachesTheHandlers() {
    auto* scriptBrowse = window_->ControlAs<QPushButton>(idc::kUpdateScriptBrowse);
    auto* script = window_->ControlAs<QLineEdit>(idc::kUpdateScriptEdit);
    Click(window_->ControlAs<QRadioButton>(idc::kConfigPackRadio));
    // An inactive path field looks so and takes no Tab focus.
    QVERIFY(!window_->Control(idc::kConfigFileEdit)->isEnabled());
    QVERIFY(!scriptBrowse->isEnabled());
    ChooseMode(Qt::Key_End);
    QVERIFY(scriptBrowse->isEnabled());
    host_->fileAnswers = {QString::fromUtf8("/数据/up.tar.gz")};
    Click(scriptBrowse);
    QCOMPARE(script->text(), QString::fromUtf8("/数据/up.tar.gz"));
    QCOMPARE(host_->fileDialogs.at(0).filterId, 147);
    QCOMPARE(script->toolTip(), script->text());
    ChooseMode(Qt::Key_Home);
    QVERIFY(script->text().isEmpty() && script->toolTip().isEmpty());
    // The Delete key empties a focused path field.
    window_->ControlAs<QLineEdit>(idc::kOriginalPackageEdit)->setText("/p");
    QTest::keyClick(window_->ControlAs<QLineEdit>(idc::kOriginalPackageEdit), Qt::Key_Delete);
    window_->Logic().UpdateData(true);
    QVERIFY(window_->Logic().values.originalPackage.empty());
  }

  // Files dropped on a path field reach the description with that field;
  // text and remote files are not offered.
  void droppedFilesReachTheHandlers() {
    QMimeData data;
    data.setUrls({QUrl("https://example.invalid/a.bin"), QUrl::fromLocalFile(QString::fromUtf8("/数据/新.bin"))});
    auto* edit = window_->Control(idc::kNewPackageEdit);
    const QPoint at = edit->mapTo(window_.get(), edit->rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    QCOMPARE(window_->ControlAs<QLineEdit>(idc::kNewPackageEdit)->text(), QString::fromUtf8("/数据/新.bin"));
    QVERIFY(window_->ControlAs<QLineEdit>(idc::kOriginalPackageEdit)->text().isEmpty());
    QMimeData text;
    text.setText("/a.xml");
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &refused);
    QVERIFY(!refused.isAccepted());
  }

  void fileDialogsGetFiltersSuffixAndOverwritePrompt() {
    QFileDialog save;
    SetUpFileDialog(save, {true, 120, "bin", QDir::tempPath(), Language::kChinese, "UBOOT.bin"});
    QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save.defaultSuffix(), QString("bin"));
    QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(save.nameFilters(), QStringList{QString::fromUtf8("包文件(*.bin) (*.bin)")});
    QCOMPARE(save.directory().absolutePath(), QDir::tempPath());
    QCOMPARE(save.selectedFiles(), QStringList{QDir::tempPath() + "/UBOOT.bin"});
    QFileDialog open;
    SetUpFileDialog(open, {false, 147, {}, {}, Language::kEnglish, {}});
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
    QCOMPARE(actions.at(1)->text(), QString::fromUtf8("关于 Quarnet(&A)..."));
    int result = -1;
    bool fixed = false;
    host_->onDialog = [&](QDialog& dialog) {
      auto* about = dynamic_cast<CAboutDlg*>(&dialog);
      if (about == nullptr) return int(QDialog::Rejected);
      // Fixed, with no maximise button.
      fixed = !(about->windowFlags() & Qt::WindowMaximizeButtonHint) && about->minimumSize() == about->maximumSize();
      Click(about->ControlAs<QPushButton>(idc::kOk));
      return result = about->result();
    };
    actions.at(1)->trigger();
    QCOMPARE(host_->dialogs, 1);
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(fixed);
  }

  // The menu's view of the original shows its facts in a fixed-width font;
  // an item saved from there is saved on the job's thread, and the box that
  // says so belongs to the view.
  void viewItemOpensThePackageView() {
    TempDir temp;
    const std::string original = Utf8(temp.path() / "orig.bin");
    WriteBytes(original, LayOutPackage(OriginalItems(), kProducts));
    window_->ControlAs<QLineEdit>(idc::kOriginalPackageEdit)->setText(QString::fromStdString(original));
    QString shown;
    bool fixedPitch = false;
    QWidget* savedOwner = nullptr;
    QDialog* shownView = nullptr;
    host_->onDialog = [&](QDialog& dialog) {
      auto* view = dynamic_cast<CPackageViewDlg*>(&dialog);
      shownView = view;
      if (view == nullptr) return int(QDialog::Rejected);
      auto* text = view->ControlAs<QPlainTextEdit>(idc::kPackageViewText);
      shown = text->toPlainText();
      fixedPitch = QFontInfo(text->font()).fixedPitch();
      view->ControlAs<QComboBox>(idc::kPackageViewItems)->setCurrentIndex(2);
      host_->fileAnswers.push_back(QString::fromStdString(Utf8(temp.path() / "rootfs.img")));
      Click(view->ControlAs<QPushButton>(idc::kPackageViewSaveItem));
      savedOwner = host_->messages.empty() ? nullptr : host_->messages.back().owner;
      Click(view->ControlAs<QPushButton>(idc::kOk));
      return view->result();
    };
    const QList<QAction*> actions = window_->SystemMenu()->actions();
    QCOMPARE(actions.at(2)->text(), QString::fromUtf8("查看原始包(&V)..."));
    actions.at(2)->trigger();
    QCOMPARE(host_->dialogs, 1);
    QVERIFY2(shown.contains(QString::fromUtf8("类型：完整包\n版本：") + kVersion), qPrintable(shown));
    QVERIFY(shown.endsWith(QString::fromUtf8("结论：包完整一致")));
    QVERIFY(fixedPitch);
    QCOMPARE(host_->fileDialogs.at(0).name, QString("ROOTFS.bin"));
    QVERIFY(savedOwner == shownView);
    QCOMPARE(ReadBytes(temp.path() / "rootfs.img"), OriginalItems()[2].data);
  }

  // The close command ends the window as Escape does.
  void closeCommand() {
    window_->OnSysCommand(idc::kScClose);
    QVERIFY(!window_->isVisible());
    QCOMPARE(window_->result(), int(QDialog::Rejected));
  }

  // A notice: caption, text, details, one OK button without icon, a close
  // button alone in the title bar. A question: Yes and No, No the default.
  void messageBoxes() {
    QVERIFY(window_->ShowMessage({MessageKind::kNotice, "提示", "重打包失败！", "line 1\nline 2"}));
    host_->answers = {true};
    QVERIFY(window_->ShowMessage({MessageKind::kQuestion, "Quarnet", "取消任务并退出？", ""}));
    QVERIFY(!window_->ShowMessage({MessageKind::kQuestion, "Quarnet", "取消任务并退出？", ""}));
    const ShownMessage& notice = host_->messages.at(0);
    QCOMPARE(notice.caption + notice.text + notice.details + notice.okText,
             QString::fromUtf8("提示重打包失败！line 1\nline 2确定"));
    QCOMPARE(notice.icon, QMessageBox::NoIcon);
    QCOMPARE(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(notice.owner, static_cast<QWidget*>(window_.get()));
    const Qt::WindowFlags buttons = Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    QCOMPARE(notice.flags & (buttons | Qt::WindowMinMaxButtonsHint), buttons);
    const ShownMessage& question = host_->messages.at(1);
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
  }

  // Qt's own texts follow the application's language.
  void qtTextsInTheWindowsLanguage() {
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
    const QList<QSize> sizes = window_->windowIcon().availableSizes();
    for (const int size : kIconSizes) {
      QVERIFY(sizes.contains(QSize(size, size)));
      const QImage image = DrawAppIcon(size);
      QCOMPARE(image.size(), QSize(size, size));
      QCOMPARE(image.depth(), 32);
      QVERIFY(image.hasAlphaChannel());
    }
  }

  // Latin text in the desktop's own font, Chinese from the CJK font.
  void fontsOfLatinAndChineseText() {
    QTextLayout layout(QString::fromUtf8("a打"), window_->font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QSet<QString> families;  // the runs come in no fixed order
    for (const QGlyphRun& run : layout.glyphRuns()) families << run.rawFont().familyName();
    const QString desktop = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    QCOMPARE(families, QSet<QString>({desktop, "Noto Sans CJK SC"}));
  }

  // The main window and the product dialog fit the screen's available
  // area, with the buttons in view; ui.SmallScreen runs this on a screen
  // too small for their full size.
  void windowsFitTheScreen() {
    CProductListSelDlg products(window_.get());
    products.show();
    for (ControlDialog* dialog : {static_cast<ControlDialog*>(window_.get()), static_cast<ControlDialog*>(&products)}) {
      QVERIFY(dialog->screen()->availableGeometry().contains(dialog->frameGeometry()));
      QVERIFY(dialog->rect().contains(dialog->Control(idc::kCancel)->geometry()));
    }
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

  // Home: factory mode, End: normal mode, chosen with the keyboard.
  void ChooseMode(Qt::Key key) {
    auto* combo = window_->ControlAs<QComboBox>(idc::kUpdateModeCombo);
    combo->setFocus();
    QTest::keyClick(combo, key);
  }

  std::unique_ptr<ScriptedHost> host_;
  std::unique_ptr<CQuarnetDlg> window_;
};

QUARNET_UI_TEST(MainWindowTest);

}  // namespace quarnet::test

#include "main_window_test.moc"
