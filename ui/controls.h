#pragma once
// The small layer that gives the dialogs what they expect of a dialog
// framework: controls found by numeric ID, sizes in dialog units, a check
// list that reports only the user's ticks, and a sorted combo box.
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QString>
#include <map>

#include "ui/strings.h"

namespace quarnet {

// The text that the windows show in `language` for the loaded string ID `id`.
QString Res(int id, Language language);

// A dialog whose controls are reachable by their numeric control IDs, and
// whose texts come from the string table in its language.
class ControlDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ControlDialog(QWidget* parent = nullptr, Language language = Language::kChinese)
      : QDialog(parent), language_(language) {}

  Language GetLanguage() const { return language_; }
  // The text of the loaded string ID `id` in the dialog's language.
  QString Res(int id) const { return quarnet::Res(id, language_); }

  // The control with ID `id`, or null.
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }

 protected:
  template <class T>
  T* AddControl(int id, T* widget) {
    widget->setObjectName(QString::number(id));
    controls_[id] = widget;
    return widget;
  }
  // `width` by `height` dialog units in pixels of the dialog's font: a
  // horizontal unit is a quarter of the average character width, a vertical
  // unit an eighth of the line height.
  QSize DialogUnits(int width, int height) const;
  // Gives the dialog the size of its template, or more if its layout needs it.
  void ResizeToTemplate(int width, int height);

 private:
  Language language_;
  std::map<int, QWidget*> controls_;
};

// A list whose rows carry tick boxes; rows are ticked, never selected.
// checkChange() reports only the user's own ticks (a click on a row's tick
// box, or the space bar on the focused row); SetCheck reports nothing, so
// handlers that set ticks do not trigger each other.
class CheckListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CheckListBox(QWidget* parent = nullptr);

  int AddString(const QString& text);
  int GetCount() const { return count(); }
  QString GetText(int row) const;
  int GetCheck(int row) const;
  void SetCheck(int row, int check);

 signals:
  void checkChange();

 private:
  bool settingCheck_ = false;
};

// A drop-down list that keeps its items sorted, case-insensitively.
class SortedComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  // Inserts `text` at its sorted place and returns that index.
  int AddString(const QString& text);
};

}  // namespace quarnet
