#include "ui/qt/controls.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QDropEvent>
#include <QMimeData>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>

#include "package/display_text.h"
#include "ui/control_ids.h"

namespace quarnet {
namespace {

QWidget* NewControl(ControlKind kind, QWidget* parent) {
  switch (kind) {
    case ControlKind::kGroup: return new QGroupBox(parent);
    case ControlKind::kLabel: return new QLabel(parent);
    case ControlKind::kPathEdit: return new PathEdit(parent);
    case ControlKind::kEdit: return new QLineEdit(parent);
    case ControlKind::kButton: return new QPushButton(parent);
    case ControlKind::kDefaultButton: {
      auto* button = new QPushButton(parent);
      button->setDefault(true);
      return button;
    }
    case ControlKind::kCheck: return new QCheckBox(parent);
    case ControlKind::kRadio: return new QRadioButton(parent);
    case ControlKind::kSortedCombo: return new SortedComboBox(parent);
    case ControlKind::kCombo: return new QComboBox(parent);
    case ControlKind::kCheckList: return new CheckListBox(parent);
    case ControlKind::kReadOnlyText: {
      auto* text = new QPlainTextEdit(parent);
      text->setReadOnly(true);
      text->setLineWrapMode(QPlainTextEdit::NoWrap);
      text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
      return text;
    }
    case ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
  }
  return nullptr;
}

}  // namespace

QString Res(int id, Language language) {
  const std::string_view text = ShownText(id, language);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromUtf8(const std::string& text) {
  const std::string shown = WindowText(text);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

ControlDialog::ControlDialog(QWidget* parent, Language language, const DialogLayout& layout)
    : QDialog(parent), language_(language), layout_(layout) {
  for (const ControlLayout& control : layout.controls) {
    QWidget* widget = NewControl(control.kind, this);
    widget->setObjectName(QString::number(control.id));
    controls_[control.id] = widget;
  }
}

QWidget* ControlDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void ControlDialog::SetTitle(const std::string& text) { setWindowTitle(FromUtf8(text)); }

std::string ControlDialog::GetText(int id) const {
  QWidget* control = Control(id);
  QString text;
  if (auto* edit = qobject_cast<QLineEdit*>(control)) text = edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(control)) text = combo->currentText();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) text = group->title();
  if (auto* lines = qobject_cast<QPlainTextEdit*>(control)) text = lines->toPlainText();
  return text.toStdString();
}

void ControlDialog::SetText(int id, const std::string& text) {
  QWidget* control = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(FromUtf8(text));
  if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(FromUtf8(text));
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(FromUtf8(text));
  if (auto* group = qobject_cast<QGroupBox*>(control)) group->setTitle(FromUtf8(text));
  if (auto* lines = qobject_cast<QPlainTextEdit*>(control)) lines->setPlainText(FromUtf8(text));
}

bool ControlDialog::GetCheck(int id) const { return ControlAs<QAbstractButton>(id)->isChecked(); }
void ControlDialog::SetCheck(int id, bool checked) { ControlAs<QAbstractButton>(id)->setChecked(checked); }
void ControlDialog::Enable(int id, bool enabled) { Control(id)->setEnabled(enabled); }

void ControlDialog::AddItem(int id, const std::string& text) {
  if (auto* sorted = ControlAs<SortedComboBox>(id)) {
    sorted->AddString(FromUtf8(text));
  } else if (auto* combo = ControlAs<QComboBox>(id)) {
    combo->addItem(FromUtf8(text));
  }
  if (auto* list = ControlAs<CheckListBox>(id)) list->AddString(FromUtf8(text));
}

void ControlDialog::Select(int id, int index) { ControlAs<QComboBox>(id)->setCurrentIndex(index); }
int ControlDialog::GetSelection(int id) const { return ControlAs<QComboBox>(id)->currentIndex(); }
bool ControlDialog::GetItemCheck(int id, int row) const { return ControlAs<CheckListBox>(id)->GetCheck(row); }
void ControlDialog::SetItemCheck(int id, int row, bool checked) { ControlAs<CheckListBox>(id)->SetCheck(row, checked); }
void ControlDialog::End(int result) { done(result == idc::kOk ? Accepted : Rejected); }

void ControlDialog::AcceptFileDrops() { setAcceptDrops(true); }

namespace {

// The local files among what is dragged, as UTF-8 paths.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  return paths;
}

}  // namespace

void ControlDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void ControlDialog::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void ControlDialog::dropEvent(QDropEvent* event) {
  int id = 0;
  for (QWidget* widget = childAt(event->position().toPoint()); widget != nullptr && id == 0;
       widget = widget->parentWidget()) {
    for (const auto& [control, item] : controls_) id = item == widget ? control : id;
  }
  event->acceptProposedAction();
  logic_->OnDropFiles(id, LocalFiles(event->mimeData()));
}

void ControlDialog::accept() { logic_->OnCommand(idc::kOk); }
void ControlDialog::reject() { logic_->OnCommand(idc::kCancel); }

// Buttons report clicks, combo boxes only the user's choice of an item (not
// a selection set in code), check lists only the user's ticks.
void ControlDialog::Bind(DialogLogic& logic) {
  logic_ = &logic;
  for (const auto& [id, widget] : controls_) {
    const int control = id;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      connect(button, &QAbstractButton::clicked, this, [this, control] { logic_->OnCommand(control); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      connect(combo, &QComboBox::activated, this, [this, control] { logic_->OnSelChange(control); });
    } else if (auto* list = qobject_cast<CheckListBox*>(widget)) {
      connect(list, &CheckListBox::checkChange, this, [this, control] { logic_->OnCheckChange(control); });
    }
  }
  logic.OnInit();
}

QSize ControlDialog::DialogUnits(int width, int height) const {
  const QFontMetrics metrics(font());
  const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
  const int baseY = metrics.height();
  return {width * baseX / 4, height * baseY / 8};
}

void ControlDialog::ResizeToTemplate() { resize(DialogUnits(layout_.width, layout_.height).expandedTo(sizeHint())); }

// Once shown the frame's size is known: the window shrinks, if it must, and
// moves so that all of it lies in the screen's available area.
void ControlDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const QRect available = screen()->availableGeometry();
  resize(size().boundedTo(available.size() - (frameGeometry().size() - size())));
  const QRect outer = frameGeometry();
  move(std::max(available.left(), std::min(outer.left(), available.right() + 1 - outer.width())),
       std::max(available.top(), std::min(outer.top(), available.bottom() + 1 - outer.height())));
}

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A tick that reaches the model without SetCheck came from the user.
  connect(model(), &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            if (!settingCheck_ && roles.contains(Qt::CheckStateRole)) emit checkChange();
          });
}

void CheckListBox::AddString(const QString& text) {
  auto* item = new QListWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  settingCheck_ = true;
  addItem(item);
  settingCheck_ = false;
}

bool CheckListBox::GetCheck(int row) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr && it->checkState() == Qt::Checked;
}

void CheckListBox::SetCheck(int row, bool checked) {
  QListWidgetItem* it = item(row);
  if (it == nullptr) return;
  settingCheck_ = true;
  it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  settingCheck_ = false;
}

void SortedComboBox::AddString(const QString& text) {
  int at = 0;
  while (at < count() && QString::compare(itemText(at), text, Qt::CaseInsensitive) <= 0) ++at;
  insertItem(at, text);
}

// The tooltip shows the whole path, however narrow the field.
PathEdit::PathEdit(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  setAcceptDrops(false);  // a dropped file goes to the dialog, which knows the field
  connect(this, &QLineEdit::textChanged, this, &QWidget::setToolTip);
}

void PathEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    clear();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace quarnet
