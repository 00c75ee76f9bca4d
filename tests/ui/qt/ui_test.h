#pragma once
// Shared pieces of the window tests: a DialogHost that answers in code, and
// the registry through which each test class is run by name.
#include <QDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QObject>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/qt/dialog_host.h"

namespace quarnet::test {

// What a message box showed.
struct ShownMessage {
  QString caption;
  QString text;
  QString details;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QString okText;
  QWidget* owner = nullptr;
  Qt::WindowFlags flags;
  int cursor = -1;  // the shape of the program's cursor over it; -1: none set
};

// Answers file dialogs from a queue of paths (a null text: Cancel), records
// message boxes and closes them with OK, or answers a question from
// `answers` (none left: No), and hands every other dialog to `onDialog`,
// whose result it returns.
class ScriptedHost : public DialogHost {
 public:
  std::optional<QString> ChooseFile(QWidget* owner, const FileDialogSpec& request) override;
  int RunModal(QDialog& dialog) override;

  std::deque<QString> fileAnswers;
  std::vector<FileDialogSpec> fileDialogs;
  std::vector<ShownMessage> messages;
  std::deque<bool> answers;
  std::function<int(QDialog&)> onDialog = [](QDialog&) { return int(QDialog::Rejected); };
  int dialogs = 0;  // dialogs other than message boxes
};

// Clicks a radio button, check box or push button on its text's left end,
// where every kind of button takes clicks.
void Click(QWidget* button);
// Clicks the tick box of `row`, as a user does.
void ClickTick(QListWidget& list, int row);
// Moves the focus to `row` and presses the space bar.
void SpaceTick(QListWidget& list, int row);
// Rows with a tick.
std::vector<int> Ticked(const QListWidget& list);

// Test classes register a factory under their class name.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterTest(const char* name, TestFactory factory);

}  // namespace quarnet::test

Q_DECLARE_METATYPE(quarnet::Language)

#define QUARNET_UI_TEST(Class) \
  static const int kRegistered##Class = ::quarnet::test::RegisterTest(#Class, [] { return std::make_unique<Class>(); })
