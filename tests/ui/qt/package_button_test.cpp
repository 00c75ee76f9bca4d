// The Package button on the real window: the job on its own thread, a long
// job's progress dialog, and a job stopped by Cancel, a signal or closing
// the window, with the message boxes it brings up.
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "package/job_control.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/ui_test.h"
#include "ui/control_ids.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/app.h"
#include "ui/qt/main_window.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

const QString kFailed = QString::fromUtf8("重打包失败！");
const QString kSucceeded = QString::fromUtf8("重打包成功！");

}  // namespace

class PackageButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    inputs_ = std::make_unique<TempDir>();
    work_ = std::make_unique<TempDir>();
    chdir_ = std::make_unique<ScopedChdir>(work_->path());
    WriteText(In("cfg.xml"), "<config/>");
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

  // The dialog shows at once here; the job's percentages only rise, up to 100.
  void longJobShowsItsProgress() {
    WriteBigPackage();
    SetPaths("big.bin", "out.bin");
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
  // Cancel tells why the job failed; a signal or Yes to closing ends the
  // window without a message, No lets the job go on.
  void stoppedJobLeavesNothing_data() {
    QTest::addColumn<int>("signalNumber");  // 0: the Cancel button, -1: closing the window
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("visible");
    QTest::newRow("Cancel button") << 0 << false << 1 << true << true;
    QTest::newRow("SIGTERM") << SIGTERM << false << 0 << true << false;
    QTest::newRow("close, Yes") << -1 << true << 1 << true << false;
    QTest::newRow("close, No") << -1 << false << 2 << false << true;
  }
  void stoppedJobLeavesNothing() {
    QFETCH(int, signalNumber);
    QFETCH(bool, yes);
    QFETCH(int, messages);
    QFETCH(bool, stopped);
    QFETCH(bool, visible);
    WriteBigPackage();
    WriteText(In("out.bin"), "old output");
    const std::vector<std::string> before = ListDir(inputs_->path());
    SetPaths("big.bin", "out.bin");
    std::atomic<bool> released{false};
    HoldJobUntil([&] { return released || CancelRequested(); });
    host_->answers = {yes};
    WhenProgressShows([&](CJobProgressDlg& dialog) {
      if (signalNumber == 0) Click(dialog.ControlAs<QPushButton>(idc::kCancel));
      if (signalNumber > 0) std::raise(signalNumber);
      if (signalNumber < 0) window_->close();
      released = true;
    });
    Press();
    QCOMPARE(int(host_->messages.size()), messages);
    // Message boxes come up over the job's wait cursor with the normal one.
    for (const ShownMessage& shown : host_->messages) QCOMPARE(shown.cursor, int(Qt::ArrowCursor));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    if (signalNumber < 0) QCOMPARE(host_->messages[0].text, QString::fromUtf8("取消任务并退出？"));
    if (signalNumber == 0) QCOMPARE(host_->messages[0].text, QString::fromUtf8("任务已取消，未做任何更改。"));
    if (signalNumber > 0) QCOMPARE(CancelSignal(), signalNumber);
    QCOMPARE(window_->isVisible(), visible);
    QCOMPARE(ReadText(In("out.bin")) == "old output", stopped);
    QCOMPARE(ListDir(inputs_->path()), before);
    QVERIFY(ListDir(work_->path()).empty());
  }

 private:
  std::string In(const std::string& name) const { return (inputs_->path() / name).string(); }

  void SetPaths(const std::string& original, const std::string& output) {
    MainDialog& dialog = window_->Logic();
    dialog.values.originalPackage = original.empty() ? "" : In(original);
    dialog.values.configFile = In("cfg.xml");
    dialog.values.newPackage = In(output);
    dialog.UpdateData(false);
  }

  // An original package whose root file system takes many blocks.
  void WriteBigPackage() {
    std::vector<TestItem> items = OriginalItems();
    items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(std::size_t{8} << 20, 0x5a));
    WriteBytes(In("big.bin"), LayOutPackage(items, kProducts));
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
    window_->Logic().progressDelayMs = 0;
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
    QCOMPARE(host_->messages[0].text, text);
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
