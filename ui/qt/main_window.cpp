#include "ui/qt/main_window.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <thread>

#include "platform/process.h"
#include "ui/qt/about_window.h"
#include "ui/qt/package_view_window.h"
#include "ui/qt/app_icon.h"
#include "ui/control_ids.h"
#include "ui/qt/product_window.h"

namespace quarnet {
namespace {

// Shows `shape` over every window of the program while it lives.
class ScopedCursor {
 public:
  explicit ScopedCursor(Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(shape); }
  ~ScopedCursor() { QGuiApplication::restoreOverrideCursor(); }
  ScopedCursor(const ScopedCursor&) = delete;
  ScopedCursor& operator=(const ScopedCursor&) = delete;
};

// While the wait cursor shows, a dialog that comes up gets the normal one.
class NormalCursorForDialog {
 public:
  NormalCursorForDialog() : active_(QGuiApplication::overrideCursor() != nullptr) {
    if (active_) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~NormalCursorForDialog() {
    if (active_) QGuiApplication::restoreOverrideCursor();
  }
  NormalCursorForDialog(const NormalCursorForDialog&) = delete;
  NormalCursorForDialog& operator=(const NormalCursorForDialog&) = delete;

 private:
  bool active_;
};

// Gives a message box at least `width` pixels: the box sizes itself from
// its layout and ignores a minimum width.
void WidenTo(QMessageBox& box, int width) {
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(width, 0), grid->rowCount(), 0, 1, grid->columnCount());
  }
}

// Scrolls its content when the screen is too small for it, but asks for the
// content's whole size (Qt's own cap is 24 lines).
class FittingScrollArea : public QScrollArea {
 public:
  explicit FittingScrollArea(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
  }
  QSize sizeHint() const override { return widget()->sizeHint(); }
};

// A path edit with its Browse button to the right.
void AddPathRow(QGridLayout* grid, int row, int column, QWidget* edit, QWidget* browse) {
  grid->addWidget(edit, row, column);
  grid->addWidget(browse, row, column + 1);
}

}  // namespace

CQuarnetDlg::CQuarnetDlg(QWidget* parent, DialogHost& host, Language language, bool remember)
    : ControlDialog(parent, language, MainDialog::kLayout), host_(host), dialog_(*this, language) {
  dialog_.remember = remember;
  LayOut();
  MakeSystemMenu();
  setWindowIcon(AppIcon());
  progressDelay_.setSingleShot(true);
  connect(&progressDelay_, &QTimer::timeout, this, [this] {
    if (progress_ == nullptr || progress_->isVisible()) return;
    const NormalCursorForDialog cursor;
    progress_->exec();
  });
  Bind(dialog_);
  AcceptFileDrops();
  ResizeToTemplate();
}

void CQuarnetDlg::LayOut() {
  auto* input = ControlAs<QGroupBox>(idc::kInputGroup);
  auto* inputGrid = new QGridLayout(input);
  inputGrid->addWidget(Control(idc::kOriginalPackageLabel), 0, 0, 1, 2);
  AddPathRow(inputGrid, 1, 0, Control(idc::kOriginalPackageEdit), Control(idc::kOriginalPackageBrowse));

  auto* fileType = ControlAs<QGroupBox>(idc::kFileTypeGroup);
  auto* typeGrid = new QGridLayout(fileType);
  typeGrid->setColumnMinimumWidth(0, DialogUnits(10, 0).width());
  typeGrid->addWidget(Control(idc::kConfigFileRadio), 0, 0, 1, 3);
  AddPathRow(typeGrid, 1, 1, Control(idc::kConfigFileEdit), Control(idc::kConfigFileBrowse));
  typeGrid->addWidget(Control(idc::kAsDefaultCheck), 2, 1);
  typeGrid->addWidget(Control(idc::kConfigPackRadio), 3, 0, 1, 3);
  AddPathRow(typeGrid, 4, 1, Control(idc::kConfigPackEdit), Control(idc::kConfigPackBrowse));
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(Control(idc::kUpdateModeLabel));
  modeRow->addWidget(Control(idc::kUpdateModeCombo));
  modeRow->addStretch();
  typeGrid->addLayout(modeRow, 5, 1);
  typeGrid->addWidget(Control(idc::kUpdateScriptLabel), 6, 1);
  AddPathRow(typeGrid, 7, 1, Control(idc::kUpdateScriptEdit), Control(idc::kUpdateScriptBrowse));
  inputGrid->addWidget(fileType, 2, 0, 1, 2);

  auto* output = ControlAs<QGroupBox>(idc::kOutputGroup);
  auto* outputGrid = new QGridLayout(output);
  outputGrid->addWidget(Control(idc::kNewPackageLabel), 0, 0, 1, 2);
  AddPathRow(outputGrid, 1, 0, Control(idc::kNewPackageEdit), Control(idc::kNewPackageBrowse));

  // The groups scroll on a small screen; the buttons stay in view. Each
  // widget keeps its window, and so the controls their tab order.
  auto* scroll = new FittingScrollArea(this);
  auto* groups = new QWidget(this);
  auto* groupsLayout = new QVBoxLayout(groups);
  groupsLayout->setContentsMargins(0, 0, 0, 0);
  groupsLayout->addWidget(input);
  groupsLayout->addWidget(output);
  groupsLayout->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Control(idc::kPackageButton));
  buttons->addWidget(Control(idc::kCancel));
  scroll->setWidget(groups);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll);
  layout->addLayout(buttons);
}

void CQuarnetDlg::MakeSystemMenu() {
  systemMenu_ = new QMenu(this);
  systemMenu_->addSeparator();
  for (const auto& [command, textId] : MainDialog::kMenuItems) {
    const unsigned id = static_cast<unsigned>(command);
    systemMenu_->addAction(Res(textId), this, [this, id] { OnSysCommand(id); });
  }
}

void CQuarnetDlg::OnSysCommand(unsigned id) {
  if (dialog_.OnSysCommand(id)) return;
  switch (id & 0xFFF0u) {
    case idc::kScClose: close(); break;
    case idc::kScMinimize: showMinimized(); break;
    case idc::kScMaximize: showMaximized(); break;
    case idc::kScRestore: showNormal(); break;
    default: break;  // moving and sizing belong to the window manager
  }
}

void CQuarnetDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (!systemMenu_->isEmpty()) systemMenu_->exec(event->globalPos());
}

// Enter while no push button has the focus ends the dialog, like Escape.
void CQuarnetDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier && qobject_cast<QPushButton*>(focusWidget()) == nullptr) {
    accept();
    return;
  }
  ControlDialog::keyPressEvent(event);
}

// A caption beside the title bar's icon and close button; a notice has one
// OK button without icon, an outcome OK with the information or error icon,
// a question Yes and No; details widen the box so that the job's lines are
// readable.
std::unique_ptr<QMessageBox> MakeMessageBox(ControlDialog& parent, const MessageBoxContent& message) {
  auto box = std::make_unique<QMessageBox>(&parent);
  box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  box->setWindowTitle(FromUtf8(message.caption));
  box->setTextFormat(Qt::PlainText);
  box->setText(FromUtf8(message.text));
  if (message.kind == MessageKind::kQuestion) {
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
  } else {
    box->setIcon(message.kind == MessageKind::kInformation ? QMessageBox::Information
                 : message.kind == MessageKind::kWarning   ? QMessageBox::Warning
                 : message.kind == MessageKind::kError     ? QMessageBox::Critical
                                                           : QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->button(QMessageBox::Ok)->setText(parent.Res(kTextOk));
  }
  for (QAbstractButton* button : box->buttons()) button->setIcon(QIcon());
  if (!message.details.empty()) {
    box->setDetailedText(FromUtf8(message.details));
    WidenTo(*box, parent.DialogUnits(240, 0).width());
  }
  WidenTo(*box, parent.fontMetrics().horizontalAdvance(box->windowTitle()) + parent.DialogUnits(60, 0).width());
  return box;
}

bool CQuarnetDlg::ShowMessage(const MessageBoxContent& message) {
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(Top(), message);
  const NormalCursorForDialog cursor;
  const int answer = host_.RunModal(*box);
  return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

std::optional<std::string> CQuarnetDlg::ChooseFile(const FileRequest& request) {
  const std::optional<QString> path =
      host_.ChooseFile(&Top(), {request.save, request.filterId, FromUtf8(request.defaultSuffix),
                                FromUtf8(request.folder), GetLanguage(), FromUtf8(request.name)});
  if (!path) return std::nullopt;
  return path->toStdString();
}

std::optional<std::string> CQuarnetDlg::RunProductDialog() {
  const NormalCursorForDialog cursor;
  CProductListSelDlg dialog(this, GetLanguage());
  if (host_.RunModal(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.Logic().ProductList();
}

void CQuarnetDlg::RunAboutDialog() {
  CAboutDlg about(this, GetLanguage());
  host_.RunModal(about);
}

void CQuarnetDlg::RunPackageView(const PackageViewContent& content) {
  CPackageViewDlg view(this, GetLanguage(), content);
  view_ = &view;
  host_.RunModal(view);
  view_ = nullptr;
}

ControlDialog& CQuarnetDlg::Top() { return view_ != nullptr ? *view_ : *this; }

void CQuarnetDlg::CancelDialogs() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != this && widget->isVisible()) widget->close();
  }
}

void CQuarnetDlg::ShowProgress(int delayMs) {
  if (progress_ == nullptr) progress_ = std::make_unique<CJobProgressDlg>(&Top(), GetLanguage());
  progressDelay_.start(delayMs);
}

void CQuarnetDlg::HoldProgress() { progressDelay_.stop(); }

void CQuarnetDlg::UpdateProgress(int percent, int stageTextId) {
  if (progress_ != nullptr) progress_->SetProgress(percent, stageTextId);
}

void CQuarnetDlg::CloseProgress() {
  progressDelay_.stop();
  if (progress_ != nullptr && progress_->isVisible()) progress_->done(QDialog::Accepted);
}

// The wait cursor shows over every window while the job runs; until the
// progress dialog shows, the window takes no input. The job's end closes
// the progress dialog, whose loop runs inside this one.
void CQuarnetDlg::RunJob(const std::function<void()>& job) {
  const ScopedCursor wait(Qt::WaitCursor);
  const std::unique_ptr<QSocketNotifier> stopWatch = WatchStopSignals();
  QEventLoop loop;
  bool ended = false;
  const auto end = [this, &loop, &ended] {
    CloseProgress();
    ended = true;
    loop.quit();
  };
  std::thread thread([&] {
    job();
    QMetaObject::invokeMethod(this, end, Qt::QueuedConnection);
  });
  // An application-wide exit also ends this loop; the job may still wait
  // for the GUI thread then.
  while (!ended) loop.exec(QEventLoop::ExcludeUserInputEvents);
  thread.join();
  progressDelay_.stop();
  progress_.reset();
}

// A stop signal, noted at once for the job, wakes this thread through the
// notifier: the job's boxes close, and the window ends after the job.
std::unique_ptr<QSocketNotifier> CQuarnetDlg::WatchStopSignals() {
  const int notifier = os::StopSignalNotifier();
  if (notifier < 0) return nullptr;
  auto watch = std::make_unique<QSocketNotifier>(notifier, QSocketNotifier::Read);
  connect(watch.get(), &QSocketNotifier::activated, this, [this] {
    os::DrainStopSignalNotifier();
    if (const int signalNumber = os::StopSignal()) dialog_.OnSignal(signalNumber);
  });
  return watch;
}

void CQuarnetDlg::CallFromJob(const std::function<void()>& call) {
  QMetaObject::invokeMethod(this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void CQuarnetDlg::PostFromJob(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace quarnet
