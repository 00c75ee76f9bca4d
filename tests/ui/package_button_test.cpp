// The Package button end to end: refusals, product selection, a successful
// and a failed job, the message boxes, the clean-up of the working
// directory, and a long job's progress dialog, cancelled or ended by a
// signal.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "package/inspect.h"
#include "package/job_control.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test.h"
#include "ui/control_ids.h"
#include "ui/job_progress_dlg.h"
#include "ui/product_list_sel_dlg.h"
#include "ui/quarnet_app.h"
#include "ui/quarnet_dlg.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

const QString kTooLong = QString::fromUtf8("文件路径不能长于255字节");
const QString kSelectFiles = QString::fromUtf8("请选择输入文件或输出文件");
const QString kSelectProducts = QString::fromUtf8("请选择要支持的产品");
const QString kFailed = QString::fromUtf8("重打包失败！");
const QString kSucceeded = QString::fromUtf8("重打包成功！");
const QString kCancelledLine = QString::fromUtf8("任务已取消。");

enum ProductAnswer { kNoDialog, kCancel, kOkNothing, kOkFirstVersion };

}  // namespace

class PackageButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    inputs_ = std::make_unique<TempDir>();
    work_ = std::make_unique<TempDir>();
    chdir_ = std::make_unique<ScopedChdir>(work_->path());
    WriteText(In("cfg.xml"), "<config/>");
    WriteText(In("pack.tar.gz"), "pack");
    WriteText(In("script.tar.gz"), "script");
    WriteBytes(In("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
    WriteText(In("bad.bin"), "not a package");
    host_ = std::make_unique<ScriptedHost>();
    window_ = std::make_unique<CQuarnetDlg>(nullptr, *host_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    SetProgressSink({});
    window_.reset();
    host_.reset();
    chdir_.reset();
    work_.reset();
    inputs_.reset();
  }

  // Paths: a file name of the inputs folder, "LEN" and a number for an
  // absolute path of that many bytes, or empty.
  void refusals_data() {
    QTest::addColumn<char>("mode");  // 'F' configuration file, 'P' configuration pack
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("pack");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("original 256 bytes") << 'F' << "LEN256" << "cfg.xml" << "out.bin" << "" << int(kNoDialog) << kTooLong;
    QTest::newRow("config file 256 bytes") << 'F' << "" << "LEN256" << "out.bin" << "" << int(kNoDialog) << kTooLong;
    QTest::newRow("new package 256 bytes") << 'P' << "" << "" << "LEN256" << "pack.tar.gz" << int(kNoDialog) << kTooLong;
    QTest::newRow("no config file") << 'F' << "" << "" << "out.bin" << "pack.tar.gz" << int(kNoDialog) << kSelectFiles;
    QTest::newRow("no new package") << 'F' << "" << "cfg.xml" << "" << "" << int(kNoDialog) << kSelectFiles;
    QTest::newRow("no config pack") << 'P' << "" << "cfg.xml" << "out.bin" << "" << int(kNoDialog) << kSelectFiles;
    QTest::newRow("products cancelled") << 'F' << "" << "cfg.xml" << "out.bin" << "" << int(kCancel) << "";
    QTest::newRow("no product ticked") << 'P' << "" << "" << "out.bin" << "pack.tar.gz" << int(kOkNothing)
                                       << kSelectProducts;
  }
  void refusals() {
    QFETCH(char, mode);
    QFETCH(QString, original);
    QFETCH(QString, config);
    QFETCH(QString, output);
    QFETCH(QString, pack);
    QFETCH(int, answer);
    QFETCH(QString, message);
    SetPaths(original, config, output, pack, "");
    Choose(mode, 'f');
    AnswerProducts(ProductAnswer(answer));
    Press();
    QCOMPARE(host_->dialogs, answer == kNoDialog ? 0 : 1);
    if (message.isEmpty()) {
      QVERIFY(host_->messages.empty());
    } else {
      ExpectOneMessage(message);
    }
    QVERIFY(ListDir(work_->path()).empty());
    QVERIFY(!fs::exists(In("out.bin")));
  }

  void success_data() {
    QTest::addColumn<char>("mode");
    QTest::addColumn<QString>("original");
    QTest::addColumn<bool>("asDefault");
    QTest::addColumn<char>("updateMode");  // 'f' factory, 'n' normal
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("files");  // device paths of the chosen and staging files
    QTest::addColumn<QByteArray>("flag");    // the Updateflag item, if any
    QTest::addColumn<QByteArray>("products");
    QTest::newRow("file mode, as default, products ticked")
        << 'F' << "" << true << 'f' << "" << "out.bin"
        << QStringList{"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh", "/mnt/jffs2/qz_default_ctree.xml"}
        << QByteArray() << QByteArray("1A0|1D1|1F3|2B7|");
    QTest::newRow("file mode, original, not default")
        << 'F' << "orig.bin" << false << 'f' << "" << "out.bin"
        << QStringList{"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh"} << QByteArray() << QByteArray(kProducts);
    QTest::newRow("pack mode, factory") << 'P' << "" << true << 'f' << "" << "out.bin"
                                        << QStringList{"/mnt/jffs2/customize_xml.tar.gz", "/mnt/jffs2/Updateflag"}
                                        << QByteArray("0\n") << QByteArray("1A0|1D1|1F3|2B7|");
    QTest::newRow("pack mode, normal, script, original")
        << 'P' << "orig.bin" << true << 'n' << "script.tar.gz" << "out.bin"
        << QStringList{"/mnt/jffs2/customize_xml.tar.gz", "/mnt/jffs2/Updateflag", "/mnt/jffs2/customize_upgrade.tar.gz"}
        << QByteArray("1\n") << QByteArray(kProducts);
    QTest::newRow("new package path of 255 bytes")
        << 'F' << "orig.bin" << true << 'f' << "" << "LEN255"
        << QStringList{"/mnt/jffs2/qz_ctree.xml", "/var/default_script.sh", "/mnt/jffs2/qz_default_ctree.xml"}
        << QByteArray() << QByteArray(kProducts);
  }
  void success() {
    QFETCH(char, mode);
    QFETCH(QString, original);
    QFETCH(bool, asDefault);
    QFETCH(char, updateMode);
    QFETCH(QString, script);
    QFETCH(QString, output);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, flag);
    QFETCH(QByteArray, products);
    SetPaths(original, "cfg.xml", output, "pack.tar.gz", "");
    Choose(mode, updateMode);
    if (!script.isEmpty()) SetPath(window_->m_strUpdateScript, script);
    if (!asDefault) Click(window_->ControlAs<QCheckBox>(idc::kAsDefaultCheck));
    AnswerProducts(original.isEmpty() ? kOkFirstVersion : kNoDialog);
    Press();

    ExpectOneMessage(kSucceeded);
    QCOMPARE(host_->dialogs, original.isEmpty() ? 1 : 0);
    const std::string out = window_->m_strNewPackage;
    const QStringList details = host_->messages[0].details.split('\n');
    QVERIFY(details.size() == 2 && details[0].startsWith("Verified: "));
    QCOMPARE(details[1], QString::fromUtf8("新包文件：") + QString::fromStdString(out));
    const Inspection package = InspectPackageFile(out.c_str());
    QVERIFY(package.Consistent());
    QCOMPARE(QByteArray(GetText(package.externHeader.productList).data()), products);
    QStringList found;
    QByteArray flagData;
    const Bytes bytes = ReadBytes(out);
    for (const ItemRecord& record : package.records) {
      const QString destination = QString::fromStdString(std::string(GetText(record.destination)));
      const bool chosen = destination.startsWith("file:/mnt/jffs2/qz_") || destination.startsWith("file:/var/default") ||
                          destination.startsWith("file:/mnt/jffs2/customize");
      const bool flagItem = destination == "file:/mnt/jffs2/Updateflag" && GetText(record.itemName) == "UNKNOWN";
      if (chosen || flagItem) found << destination.mid(5);
      if (flagItem) flagData = QByteArray(reinterpret_cast<const char*>(bytes.data()) + record.itemOffset, record.itemLen);
    }
    QCOMPARE(found, files);
    QCOMPARE(flagData, flag);
    QVERIFY(ListDir(work_->path()).empty());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }

  void failedJobOffersItsOutputAsDetails() {
    SetPaths("bad.bin", "cfg.xml", "out.bin", "", "");
    Press();
    ExpectOneMessage(kFailed);
    const QString details = host_->messages[0].details;
    QVERIFY(!details.isEmpty());
    QVERIFY(!details.contains('\r'));
    QVERIFY(!details.endsWith('\n'));
    QVERIFY(!fs::exists(In("out.bin")));
    QVERIFY(ListDir(work_->path()).empty());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }

  // The dialog shows at once here; the job's percentages only rise, up to 100.
  void longJobShowsItsProgress() {
    WriteBytes(In("big.bin"), BigPackage());
    SetPaths("big.bin", "cfg.xml", "out.bin", "", "");
    std::vector<int> shown;
    std::atomic<bool> watching{false};
    HoldJobUntil([&] { return watching.load(); });
    WhenProgressShows([&](CJobProgressDlg& dialog) {
      QCOMPARE(dialog.parentWidget(), static_cast<QWidget*>(window_.get()));
      QVERIFY(dialog.isModal());
      shown.push_back(dialog.Percent());
      connect(dialog.findChild<QProgressBar*>(), &QProgressBar::valueChanged, [&](int value) { shown.push_back(value); });
      watching = true;
    });
    Press();
    ExpectOneMessage(kSucceeded);
    QVERIFY(shown.size() > 2);
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    QCOMPARE(shown.back(), 100);
  }

  // Either way the job stops at its next block and leaves nothing: no job
  // folder or partial file beside the output, the old output as it was.
  void stoppedJobLeavesNothing_data() {
    QTest::addColumn<int>("signalNumber");  // 0: the Cancel button
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("SIGTERM") << SIGTERM;
  }
  void stoppedJobLeavesNothing() {
    QFETCH(int, signalNumber);
    WriteBytes(In("big.bin"), BigPackage());
    WriteText(In("out.bin"), "old output");
    const std::vector<std::string> before = ListDir(inputs_->path());
    SetPaths("big.bin", "cfg.xml", "out.bin", "", "");
    auto* app = static_cast<CQuarnetApp*>(QCoreApplication::instance());
    app->m_pMainWnd = window_.get();
    CQuarnetApp::CatchEndingSignals();  // over QtTest's crash handler
    HoldJobUntil(CancelRequested);
    WhenProgressShows([&](CJobProgressDlg& dialog) {
      if (signalNumber == 0) Click(dialog.ControlAs<QPushButton>(idc::kCancel));
      else std::raise(signalNumber);
    });
    Press();
    app->m_pMainWnd = nullptr;
    if (signalNumber == 0) {
      ExpectOneMessage(kFailed);
      QCOMPARE(host_->messages[0].details.split('\n').last(), kCancelledLine);
      QVERIFY(window_->isVisible());
    } else {
      QVERIFY(host_->messages.empty());
      QVERIFY(!window_->isVisible());
      QCOMPARE(CancelSignal(), signalNumber);
    }
    QCOMPARE(ListDir(inputs_->path()), before);
    QCOMPARE(ReadText(In("out.bin")), std::string("old output"));
    QVERIFY(ListDir(work_->path()).empty());
  }

  void originalPathOf255BytesPassesTheLengthCheck() {
    SetPaths("LEN255", "cfg.xml", "out.bin", "", "");
    Press();
    ExpectOneMessage(kFailed);  // no such file, but not refused for its length
  }

 private:
  std::string In(const std::string& name) const { return (inputs_->path() / name).string(); }

  QString Resolve(const QString& path) const {
    if (path.isEmpty()) return path;
    if (path.startsWith("LEN")) {
      const std::string folder = inputs_->path().string() + "/";
      return QString::fromStdString(folder + std::string(path.mid(3).toUInt() - folder.size(), 'n'));
    }
    return QString::fromStdString(In(path.toStdString()));
  }

  void SetPath(std::string& member, const QString& path) {
    window_->UpdateData(true);
    member = Resolve(path).toStdString();
    window_->UpdateData(false);
  }

  void SetPaths(const QString& original, const QString& config, const QString& output, const QString& pack,
                const QString& script) {
    SetPath(window_->m_strOriginalPackage, original);
    SetPath(window_->m_strConfigFile, config);
    SetPath(window_->m_strNewPackage, output);
    SetPath(window_->m_strConfigPack, pack);
    SetPath(window_->m_strUpdateScript, script);
  }

  void Choose(char mode, char updateMode) {
    const int radio = mode == 'F' ? idc::kConfigFileRadio : idc::kConfigPackRadio;
    Click(window_->ControlAs<QRadioButton>(radio));
    if (mode == 'P') {
      auto* combo = window_->ControlAs<QComboBox>(idc::kUpdateModeCombo);
      combo->setFocus();
      QTest::keyClick(combo, updateMode == 'f' ? Qt::Key_Home : Qt::Key_End);
    }
  }

  void AnswerProducts(ProductAnswer answer) {
    host_->onDialog = [answer](QDialog& dialog) {
      auto& products = dynamic_cast<CProductListSelDlg&>(dialog);
      // Dialogs during the job show the normal cursor.
      const QCursor* cursor = QGuiApplication::overrideCursor();
      if (cursor == nullptr || cursor->shape() != Qt::ArrowCursor) return int(QDialog::Rejected);
      products.show();
      if (answer == kOkFirstVersion) ClickTick(*products.m_listVersions, 0);
      const int button = answer == kCancel ? idc::kCancel : idc::kOk;
      Click(products.ControlAs<QPushButton>(button));
      return products.result();
    };
  }

  // An original package whose root file system takes many blocks.
  static Bytes BigPackage() {
    std::vector<TestItem> items = OriginalItems();
    items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(std::size_t{8} << 20, 0x5a));
    return LayOutPackage(items, kProducts);
  }

  // Holds the next job after its first block until `release` is true.
  static void HoldJobUntil(std::function<bool()> release) {
    SetProgressSink([release](std::uint64_t done, std::uint64_t total) {
      while (done > 0 && done < total && !release()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
  }

  // Runs `action` once the next job's progress dialog shows, which it does
  // at once.
  void WhenProgressShows(std::function<void(CJobProgressDlg&)> action) {
    window_->m_nProgressDelayMs = 0;
    auto* poll = new QTimer(window_.get());
    connect(poll, &QTimer::timeout, [this, poll, action] {
      auto* dialog = window_->findChild<CJobProgressDlg*>();
      if (dialog == nullptr || !dialog->isVisible()) return;
      poll->deleteLater();
      poll->stop();
      action(*dialog);
    });
    poll->start(1);
  }

  void Press() { Click(window_->ControlAs<QPushButton>(idc::kPackageButton)); }

  void ExpectOneMessage(const QString& text) {
    QCOMPARE(host_->messages.size(), std::size_t{1});
    const ShownMessage& shown = host_->messages[0];
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.caption, QString::fromUtf8("提示"));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(shown.okText, QString::fromUtf8("确定"));
    QCOMPARE(shown.owner, static_cast<QWidget*>(window_.get()));
  }

  std::unique_ptr<TempDir> inputs_;
  std::unique_ptr<TempDir> work_;
  std::unique_ptr<ScopedChdir> chdir_;
  std::unique_ptr<ScriptedHost> host_;
  std::unique_ptr<CQuarnetDlg> window_;
};

QUARNET_UI_TEST(PackageButtonTest);

}  // namespace quarnet::test

#include "package_button_test.moc"
