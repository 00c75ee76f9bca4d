#include "ui/quarnet_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <thread>

#include "package/job_control.h"
#include "package/output.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/control_ids.h"
#include "ui/job_progress_dlg.h"
#include "ui/product_list_sel_dlg.h"
#include "ui/strings.h"

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

QString DecodePath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string EncodePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The job's output as lines for a message box's details.
QString OutputLines(const std::string& output) {
  QString text = FromUtf8(output);
  text.replace("\r\n", "\n");
  while (text.endsWith('\n')) text.chop(1);
  return text;
}

// A read-only path field that the Delete key empties, so that a path chosen
// by mistake can be dropped.
class PathEdit : public QLineEdit {
 public:
  PathEdit() { setReadOnly(true); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Delete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      clear();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

// Gives a message box at least `width` pixels: the box sizes itself from
// its layout and ignores a minimum width.
void WidenTo(QMessageBox& box, int width) {
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(width, 0), grid->rowCount(), 0, 1, grid->columnCount());
  }
}

// A path edit with its Browse button to the right.
void AddPathRow(QGridLayout* grid, int row, int column, QWidget* edit, QWidget* browse) {
  grid->addWidget(edit, row, column);
  grid->addWidget(browse, row, column + 1);
}

}  // namespace

// The flow's calls to the front end, made on the job's thread: each runs on
// the GUI thread while the job waits for it.
class CQuarnetDlg::JobFrontEnd : public PackageFrontEnd {
 public:
  explicit JobFrontEnd(CQuarnetDlg& window) : window_(window) {}

  int SelectProducts(ProductListBuffer& productList) override {
    int result = 1;
    Call([&] { result = window_.SelectProducts(productList); }, false);
    return result;
  }
  void GetUpdateMode(int& updateMode) override {
    Call([&] { window_.GetUpdateMode(updateMode); }, false);
  }
  // A message is the flow's last use of the window.
  void ShowMessage(int stringId, int number) override {
    Call([&] { window_.ShowMessage(stringId, number); }, true);
  }

 private:
  void Call(const std::function<void()>& call, bool last) {
    QMetaObject::invokeMethod(
        &window_, [&] { window_.RunForJob(call, last); }, Qt::BlockingQueuedConnection);
  }

  CQuarnetDlg& window_;
};

CQuarnetDlg::CQuarnetDlg(QWidget* parent, DialogHost& host, Language language)
    : ControlDialog(parent, language), m_hIcon(AppIcon()), host_(host), progressDelay_(new QTimer(this)) {
  CreateControls();
  OnInitDialog();
  progressDelay_->setSingleShot(true);
  connect(progressDelay_, &QTimer::timeout, this, [this] {
    if (progress_ == nullptr || progress_->isVisible()) return;
    const NormalCursorForDialog cursor;
    progress_->exec();
  });
}

// Input group: original package, then the package file type group with the
// configuration file (and as-default box) and the configuration pack (with
// update mode and update script); output group: new package; Package and
// Close at the bottom right.
void CQuarnetDlg::CreateControls() {
  auto* input = AddControl(idc::kInputGroup, new QGroupBox);
  auto* inputGrid = new QGridLayout(input);
  inputGrid->addWidget(AddControl(idc::kOriginalPackageLabel, new QLabel), 0, 0, 1, 2);
  AddPathRow(inputGrid, 1, 0, AddControl(idc::kOriginalPackageEdit, new PathEdit),
             AddControl(idc::kOriginalPackageBrowse, new QPushButton));

  auto* fileType = AddControl(idc::kFileTypeGroup, new QGroupBox);
  auto* typeGrid = new QGridLayout(fileType);
  typeGrid->setColumnMinimumWidth(0, DialogUnits(10, 0).width());
  typeGrid->addWidget(AddControl(idc::kConfigFileRadio, new QRadioButton), 0, 0, 1, 3);
  AddPathRow(typeGrid, 1, 1, AddControl(idc::kConfigFileEdit, new PathEdit),
             AddControl(idc::kConfigFileBrowse, new QPushButton));
  typeGrid->addWidget(AddControl(idc::kAsDefaultCheck, new QCheckBox), 2, 1);
  typeGrid->addWidget(AddControl(idc::kConfigPackRadio, new QRadioButton), 3, 0, 1, 3);
  AddPathRow(typeGrid, 4, 1, AddControl(idc::kConfigPackEdit, new PathEdit),
             AddControl(idc::kConfigPackBrowse, new QPushButton));
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(AddControl(idc::kUpdateModeLabel, new QLabel));
  modeRow->addWidget(AddControl(idc::kUpdateModeCombo, new SortedComboBox));
  modeRow->addStretch();
  typeGrid->addLayout(modeRow, 5, 1);
  typeGrid->addWidget(AddControl(idc::kUpdateScriptLabel, new QLabel), 6, 1);
  AddPathRow(typeGrid, 7, 1, AddControl(idc::kUpdateScriptEdit, new PathEdit),
             AddControl(idc::kUpdateScriptBrowse, new QPushButton));
  inputGrid->addWidget(fileType, 2, 0, 1, 2);

  auto* output = AddControl(idc::kOutputGroup, new QGroupBox);
  auto* outputGrid = new QGridLayout(output);
  outputGrid->addWidget(AddControl(idc::kNewPackageLabel, new QLabel), 0, 0, 1, 2);
  AddPathRow(outputGrid, 1, 0, AddControl(idc::kNewPackageEdit, new PathEdit),
             AddControl(idc::kNewPackageBrowse, new QPushButton));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(AddControl(idc::kPackageButton, new QPushButton));
  buttons->addWidget(AddControl(idc::kCancel, new QPushButton));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(input);
  layout->addWidget(output);
  layout->addStretch();
  layout->addLayout(buttons);

  const auto onClick = [this](int id, void (CQuarnetDlg::*handler)()) {
    connect(ControlAs<QAbstractButton>(id), &QAbstractButton::clicked, this, handler);
  };
  onClick(idc::kOriginalPackageBrowse, &CQuarnetDlg::OnBrowseOriginalPackage);
  onClick(idc::kConfigFileBrowse, &CQuarnetDlg::OnBrowseConfigFile);
  onClick(idc::kNewPackageBrowse, &CQuarnetDlg::OnBrowseNewPackage);
  onClick(idc::kPackageButton, &CQuarnetDlg::OnPackage);
  onClick(idc::kConfigFileRadio, &CQuarnetDlg::OnConfigFileMode);
  onClick(idc::kConfigPackRadio, &CQuarnetDlg::OnConfigPackMode);
  onClick(idc::kConfigPackBrowse, &CQuarnetDlg::OnBrowseConfigPack);
  onClick(idc::kUpdateScriptBrowse, &CQuarnetDlg::OnBrowseUpdateScript);
  connect(ControlAs<QPushButton>(idc::kCancel), &QPushButton::clicked, this, &QDialog::reject);
  // Only the user's choice of an item, not a selection set in code.
  connect(ControlAs<QComboBox>(idc::kUpdateModeCombo), &QComboBox::activated, this,
          &CQuarnetDlg::OnUpdateModeChange);
  ResizeToTemplate(380, 237);
}

void CQuarnetDlg::OnInitDialog() {
  DoDataExchange(false);

  systemMenu_ = new QMenu(this);
  const QString about = Res(101);
  if (!about.isEmpty()) {
    systemMenu_->addSeparator();
    systemMenu_->addAction(about, this, [this] { OnSysCommand(idc::kIdmAboutBox, 0); });
  }
  setWindowIcon(m_hIcon);

  const auto setText = [this](int id, int stringId) {
    QWidget* control = Control(id);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(Res(stringId));
    if (auto* label = qobject_cast<QLabel*>(control)) label->setText(Res(stringId));
    if (auto* group = qobject_cast<QGroupBox*>(control)) group->setTitle(Res(stringId));
  };
  setWindowTitle(Res(132));
  setText(idc::kOriginalPackageBrowse, 102);
  setText(idc::kConfigFileBrowse, 102);
  setText(idc::kNewPackageBrowse, 102);
  setText(idc::kPackageButton, 104);
  setText(idc::kCancel, 106);
  setText(idc::kInputGroup, 108);
  setText(idc::kOutputGroup, 110);
  setText(idc::kOriginalPackageLabel, 112);
  setText(idc::kNewPackageLabel, 116);
  setText(idc::kAsDefaultCheck, 118);
  setText(idc::kFileTypeGroup, 135);
  setText(idc::kConfigPackBrowse, 145);
  setText(idc::kUpdateModeLabel, 139);
  setText(idc::kConfigPackRadio, 137);
  setText(idc::kConfigFileRadio, 114);
  setText(idc::kUpdateScriptLabel, 149);
  setText(idc::kUpdateScriptBrowse, 145);

  auto* combo = ControlAs<SortedComboBox>(idc::kUpdateModeCombo);
  combo->AddString(Res(141));
  combo->AddString(Res(143));
  Enable({idc::kConfigPackBrowse, idc::kUpdateModeCombo, idc::kUpdateModeLabel, idc::kUpdateScriptBrowse,
          idc::kUpdateScriptLabel},
         false);
  ControlAs<QRadioButton>(idc::kConfigFileRadio)->setChecked(true);
  combo->setCurrentIndex(0);
}

void CQuarnetDlg::DoDataExchange(bool saveAndValidate) {
  auto* asDefault = ControlAs<QCheckBox>(idc::kAsDefaultCheck);
  const std::pair<int, std::string*> paths[] = {
      {idc::kOriginalPackageEdit, &m_strOriginalPackage}, {idc::kConfigFileEdit, &m_strConfigFile},
      {idc::kNewPackageEdit, &m_strNewPackage},           {idc::kConfigPackEdit, &m_strConfigPack},
      {idc::kUpdateScriptEdit, &m_strUpdateScript},
  };
  if (saveAndValidate) {
    m_bAsDefault = asDefault->isChecked() ? 1 : 0;
    for (const auto& [id, member] : paths) *member = EncodePath(ControlAs<QLineEdit>(id)->text());
  } else {
    asDefault->setChecked(m_bAsDefault != 0);
    for (const auto& [id, member] : paths) ControlAs<QLineEdit>(id)->setText(DecodePath(*member));
  }
}

void CQuarnetDlg::UpdateData(bool saveAndValidate) { DoDataExchange(saveAndValidate); }

void CQuarnetDlg::OnSysCommand(unsigned id, long /*param*/) {
  // The low four bits of a command are the system's own.
  switch (id & 0xFFF0u) {
    case idc::kIdmAboutBox: {
      CAboutDlg about(this, GetLanguage());
      host_.RunModal(about);
      break;
    }
    case idc::kScClose: close(); break;
    case idc::kScMinimize: showMinimized(); break;
    case idc::kScMaximize: showMaximized(); break;
    case idc::kScRestore: showNormal(); break;
    default: break;  // moving and sizing belong to the window manager
  }
}

// A job ends before the window does.
void CQuarnetDlg::closeEvent(QCloseEvent* event) {
  if (jobRunning_) {
    event->ignore();
    return;
  }
  ControlDialog::closeEvent(event);
}

// The handler records a signal before the GUI thread hears of it.
bool CQuarnetDlg::EndingForSignal() const { return endingForSignal_ || CancelSignal() != 0; }

void CQuarnetDlg::EndForSignal(int signalNumber) {
  endingForSignal_ = true;
  if (jobRunning_) RequestCancelBySignal(signalNumber);
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != this && widget->isVisible()) widget->close();
  }
  if (!jobRunning_) reject();
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

void CQuarnetDlg::Browse(bool save, int filterId, const char* suffix, std::string& target) {
  const std::optional<QString> path = host_.ChooseFile(this, {save, filterId, suffix, lastFolder_, GetLanguage()});
  if (!path) return;
  lastFolder_ = QFileInfo(*path).absolutePath();
  UpdateData(true);
  target = EncodePath(*path);
  UpdateData(false);
}

void CQuarnetDlg::OnBrowseOriginalPackage() { Browse(false, 120, "", m_strOriginalPackage); }
void CQuarnetDlg::OnBrowseConfigFile() { Browse(false, 121, "", m_strConfigFile); }
void CQuarnetDlg::OnBrowseNewPackage() { Browse(true, 120, "bin", m_strNewPackage); }
void CQuarnetDlg::OnBrowseConfigPack() { Browse(false, 147, "", m_strConfigPack); }
void CQuarnetDlg::OnBrowseUpdateScript() { Browse(false, 147, "", m_strUpdateScript); }

void CQuarnetDlg::Enable(std::initializer_list<int> ids, bool enable) {
  for (const int id : ids) Control(id)->setEnabled(enable);
}

bool CQuarnetDlg::IsFactoryModeSelected() const {
  return ControlAs<QComboBox>(idc::kUpdateModeCombo)->currentText() == Res(141);
}

void CQuarnetDlg::OnConfigFileMode() {
  ControlAs<QRadioButton>(idc::kConfigFileRadio)->setChecked(true);
  Enable({idc::kConfigFileBrowse, idc::kAsDefaultCheck}, true);
  Enable({idc::kConfigPackBrowse, idc::kUpdateModeLabel, idc::kUpdateModeCombo, idc::kUpdateScriptBrowse,
          idc::kUpdateScriptLabel},
         false);
}

void CQuarnetDlg::OnConfigPackMode() {
  ControlAs<QRadioButton>(idc::kConfigPackRadio)->setChecked(true);
  Enable({idc::kConfigPackBrowse, idc::kUpdateModeLabel, idc::kUpdateModeCombo}, true);
  if (IsFactoryModeSelected()) {
    // The label is already disabled on every way into this state.
    Enable({idc::kUpdateScriptBrowse}, false);
  } else {
    Enable({idc::kUpdateScriptBrowse, idc::kUpdateScriptLabel}, true);
  }
  Enable({idc::kConfigFileBrowse, idc::kAsDefaultCheck}, false);
}

void CQuarnetDlg::OnUpdateModeChange() {
  if (IsFactoryModeSelected()) {
    Enable({idc::kUpdateScriptLabel, idc::kUpdateScriptBrowse}, false);
    m_strUpdateScript.clear();
    ControlAs<QLineEdit>(idc::kUpdateScriptEdit)->clear();
  } else {
    Enable({idc::kUpdateScriptLabel, idc::kUpdateScriptBrowse}, true);
  }
}

void CQuarnetDlg::OnPackage() {
  UpdateData(true);
  PackageChoices choices;
  choices.originalPackage = m_strOriginalPackage;
  choices.configFile = m_strConfigFile;
  choices.newPackage = m_strNewPackage;
  choices.configPack = m_strConfigPack;
  choices.updateScript = m_strUpdateScript;
  choices.asDefault = m_bAsDefault != 0;
  choices.fileType = ControlAs<QRadioButton>(idc::kConfigFileRadio)->isChecked() ? PackageFileType::kConfigFile
                                                                                 : PackageFileType::kConfigPack;
  const ScopedCursor wait(Qt::WaitCursor);
  RunJob(choices);
}

// The flow runs on a thread of its own so that the windows paint; its lines,
// its progress and its calls to the front end come back to the GUI thread
// as queued calls.
void CQuarnetDlg::RunJob(const PackageChoices& choices) {
  ResetCancel();
  jobOutput_.clear();
  CJobProgressDlg progress(this, GetLanguage());
  progress_ = &progress;
  jobRunning_ = true;
  {
    const ScopedOutputSink lines(JobLineSink());
    // A sink installed before the job goes on hearing it.
    const ProgressSink outerSink = SetProgressSink({});
    SetProgressSink(JobProgressSink(outerSink));
    RunFlowOffThread(choices);
    SetProgressSink(outerSink);
  }
  progress_ = nullptr;
  jobRunning_ = false;
  if (EndingForSignal()) reject();
}

// The job's lines still reach standard output, and are kept to explain a
// failure.
OutputSink CQuarnetDlg::JobLineSink() {
  return [this](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    QMetaObject::invokeMethod(
        this, [this, piece = std::string(text)] { jobOutput_.append(piece); }, Qt::QueuedConnection);
  };
}

// Posts each whole percentage once; the bar never moves back.
ProgressSink CQuarnetDlg::JobProgressSink(ProgressSink outerSink) {
  postedPercent_ = -1;
  return [this, outerSink](std::uint64_t done, std::uint64_t total) {
    const int percent = static_cast<int>(done * 100 / total);
    if (percent > postedPercent_) {
      postedPercent_ = percent;
      QMetaObject::invokeMethod(this, [this, percent] { progress_->SetPercent(percent); }, Qt::QueuedConnection);
    }
    if (outerSink) outerSink(done, total);
  };
}

// Until the progress dialog shows, the window takes no input.
void CQuarnetDlg::RunFlowOffThread(const PackageChoices& choices) {
  QEventLoop loop;
  JobFrontEnd frontEnd(*this);
  bool ended = false;
  const auto end = [this, &loop, &ended] {
    if (progress_->isVisible()) progress_->done(QDialog::Accepted);
    ended = true;
    loop.quit();
  };
  progressDelay_->start(m_nProgressDelayMs);
  std::thread job([&] {
    RunPackageFlow(choices, frontEnd);
    QMetaObject::invokeMethod(this, end, Qt::QueuedConnection);
  });
  // An application-wide exit also ends this loop; the job may still wait
  // for the GUI thread then.
  while (!ended) loop.exec(QEventLoop::ExcludeUserInputEvents);
  job.join();
  progressDelay_->stop();
}

// The progress dialog waits while the job asks the window; the flow's last
// call, its message, replaces the dialog.
void CQuarnetDlg::RunForJob(const std::function<void()>& call, bool last) {
  progressDelay_->stop();
  if (last && progress_->isVisible()) progress_->done(QDialog::Accepted);
  call();
  if (!last) progressDelay_->start(m_nProgressDelayMs);
}

int CQuarnetDlg::SelectProducts(ProductListBuffer& productList) {
  if (EndingForSignal()) return 1;
  const NormalCursorForDialog cursor;
  return quarnet::SelectProducts(productList.data(), this, host_, GetLanguage());
}

void CQuarnetDlg::GetUpdateMode(int& updateMode) {
  updateMode = IsFactoryModeSelected() ? kFactoryMode : kNormalUpdateMode;
}

// Details of a failed job: its lines, then that it was cancelled or why it
// failed. Of a successful one: what it verified and where the new package is.
QString CQuarnetDlg::JobDetails(int stringId) const {
  const JobReport report = LastJobReport();
  QStringList lines;
  if (stringId == kTextRepackFailed) {
    if (!jobOutput_.empty()) lines << OutputLines(jobOutput_);
    if (CancelRequested()) {
      lines << Res(167);
    } else if (!report.reason.empty()) {
      lines << Res(169) + FromUtf8(report.reason);
    }
  } else if (stringId == kTextRepackSuccess) {
    if (!report.verified.empty()) lines << FromUtf8(report.verified);
    if (!report.output.empty()) lines << Res(171) + DecodePath(report.output);
  }
  return lines.join('\n');
}

// Caption 124, one OK button, no icon, a close button alone in the title
// bar; the job's details.
void CQuarnetDlg::ShowMessage(int stringId, int number) {
  if (EndingForSignal()) return;
  QMessageBox box(this);
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  box.setWindowTitle(Res(124));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(FormatResString(Res(stringId).toStdString(), number)));
  box.setIcon(QMessageBox::NoIcon);
  box.setStandardButtons(QMessageBox::Ok);
  QAbstractButton* ok = box.button(QMessageBox::Ok);
  ok->setText(Res(157));
  ok->setIcon(QIcon());
  const QString details = JobDetails(stringId);
  if (!details.isEmpty()) {
    box.setDetailedText(details);
    // Wide enough that the job's lines are readable.
    WidenTo(box, DialogUnits(240, 0).width());
  }
  // The caption beside the title bar's icon and close button.
  WidenTo(box, fontMetrics().horizontalAdvance(box.windowTitle()) + DialogUnits(60, 0).width());
  const NormalCursorForDialog cursor;
  host_.RunModal(box);
}

}  // namespace quarnet
