#pragma once
// The Qt side of a described dialog (ui/dialog.h): the controls of its
// DialogLayout made as widgets and reachable by their numeric IDs, the
// accessor over those widgets, and the widgets' signals forwarded to the
// description's handlers. Also sizes in dialog units, a check list that
// reports only the user's ticks, a sorted combo box and the path field.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <map>

#include "ui/dialog.h"
#include "ui/strings.h"

namespace quarnet {

// The text that the windows show in `language` for the loaded string ID `id`.
QString Res(int id, Language language);
QString FromUtf8(const std::string& text);

// A dialog whose controls, made from `layout`, are reachable by their numeric
// control IDs (each also carries its ID as its object name, so tests and
// tools find it by number), and whose texts come from the string table in
// its language.
class ControlDialog : public QDialog, public virtual DialogAccess {
  Q_OBJECT

 public:
  ControlDialog(QWidget* parent, Language language, const DialogLayout& layout);

  Language GetLanguage() const { return language_; }
  // The text of the loaded string ID `id` in the dialog's language.
  QString Res(int id) const { return quarnet::Res(id, language_); }

  // The control with ID `id`, or null.
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }

  // DialogAccess.
  void SetTitle(const std::string& text) override;
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  bool GetCheck(int id) const override;
  void SetCheck(int id, bool checked) override;
  void Enable(int id, bool enabled) override;
  void AddItem(int id, const std::string& text) override;
  void Select(int id, int index) override;
  int GetSelection(int id) const override;
  bool GetItemCheck(int id, int row) const override;
  void SetItemCheck(int id, int row, bool checked) override;
  void End(int result) override;

 public slots:
  // Enter and Escape (and the close box) go to the handlers as OK and Cancel.
  void accept() override;
  void reject() override;
  // `width` by `height` dialog units in pixels of the dialog's font: a
  // horizontal unit is a quarter of the average character width, a vertical
  // unit an eighth of the line height.
  QSize DialogUnits(int width, int height) const;

 protected:
  // Forwards the controls' signals to `logic` and lets it fill them.
  void Bind(DialogLogic& logic);
  // Gives the dialog the size of its template, or more if its layout needs it.
  void ResizeToTemplate();
  // Local files dragged onto the dialog go to the handlers' OnDropFiles,
  // with the control under the drop.
  void AcceptFileDrops();
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The whole window fits the screen's available area.
  void showEvent(QShowEvent* event) override;

 private:
  Language language_;
  const DialogLayout& layout_;
  std::map<int, QWidget*> controls_;
  DialogLogic* logic_ = nullptr;
};

// A list whose rows carry tick boxes; rows are ticked, never selected.
// checkChange() reports only the user's own ticks (a click on a row's tick
// box, or the space bar on the focused row); SetCheck reports nothing, so
// handlers that set ticks do not trigger each other.
class CheckListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CheckListBox(QWidget* parent = nullptr);

  void AddString(const QString& text);
  bool GetCheck(int row) const;
  void SetCheck(int row, bool checked);

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
  // Inserts `text` at its sorted place.
  void AddString(const QString& text);
};

// A read-only path field that the Delete key empties, so that a path chosen
// by mistake can be dropped; its tooltip is the whole path.
class PathEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit PathEdit(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quarnet
