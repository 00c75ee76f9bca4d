#include "ui/controls.h"

#include <QFontMetrics>

namespace quarnet {

QString Res(int id, Language language) {
  const std::string_view text = LoadResString(ShownId(id, language));
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* ControlDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QSize ControlDialog::DialogUnits(int width, int height) const {
  const QFontMetrics metrics(font());
  const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
  const int baseY = metrics.height();
  return {width * baseX / 4, height * baseY / 8};
}

void ControlDialog::ResizeToTemplate(int width, int height) {
  resize(DialogUnits(width, height).expandedTo(sizeHint()));
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

int CheckListBox::AddString(const QString& text) {
  auto* item = new QListWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  settingCheck_ = true;
  addItem(item);
  settingCheck_ = false;
  return count() - 1;
}

QString CheckListBox::GetText(int row) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr ? it->text() : QString();
}

int CheckListBox::GetCheck(int row) const {
  const QListWidgetItem* it = item(row);
  return it != nullptr && it->checkState() == Qt::Checked ? 1 : 0;
}

void CheckListBox::SetCheck(int row, int check) {
  QListWidgetItem* it = item(row);
  if (it == nullptr) return;
  settingCheck_ = true;
  it->setCheckState(check != 0 ? Qt::Checked : Qt::Unchecked);
  settingCheck_ = false;
}

int SortedComboBox::AddString(const QString& text) {
  int at = 0;
  while (at < count() && QString::compare(itemText(at), text, Qt::CaseInsensitive) <= 0) ++at;
  insertItem(at, text);
  return at;
}

}  // namespace quarnet
