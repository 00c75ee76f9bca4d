#include "tests/ui/qt/ui_test.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QStyle>
#include <map>

#include "ui/qt/app.h"

namespace quarnet::test {

std::optional<QString> ScriptedHost::ChooseFile(QWidget*, const FileDialogSpec& request) {
  fileDialogs.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  const QString answer = fileAnswers.front();
  fileAnswers.pop_front();
  if (answer.isNull()) return std::nullopt;
  return answer;
}

int ScriptedHost::RunModal(QDialog& dialog) {
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    messages.push_back({box->windowTitle(), box->text(), box->detailedText(), box->icon(),
                        box->standardButtons(),
                        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->text() : QString(),
                        box->parentWidget(), box->windowFlags(),
                        QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : -1});
    if (box->button(QMessageBox::Yes) == nullptr) return QMessageBox::Ok;
    const bool yes = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes ? QMessageBox::Yes : QMessageBox::No;
  }
  ++dialogs;
  return onDialog(dialog);
}

void Click(QWidget* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void ClickTick(QListWidget& list, int row) {
  const QRect rect = list.visualItemRect(list.item(row));
  const int margin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
  const int indicator = list.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &list);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(rect.left() + margin + indicator / 2, rect.center().y()));
}

void SpaceTick(QListWidget& list, int row) {
  list.setFocus();
  list.setCurrentRow(row);
  QTest::keyClick(&list, Qt::Key_Space);
}

std::vector<int> Ticked(const QListWidget& list) {
  std::vector<int> rows;
  for (int row = 0; row < list.count(); ++row) {
    if (list.item(row)->checkState() == Qt::Checked) rows.push_back(row);
  }
  return rows;
}

namespace {

std::map<std::string, TestFactory>& Registry() {
  static std::map<std::string, TestFactory> registry;
  return registry;
}

}  // namespace

int RegisterTest(const char* name, TestFactory factory) {
  Registry().emplace(name, std::move(factory));
  return 0;
}

}  // namespace quarnet::test

// quarnet_ui_tests [CLASS [QTest options]]: runs one test class, or all.
int main(int argc, char** argv) {
  quarnet::CQuarnetApp app(argc, argv);
  const std::string only = argc > 1 ? argv[1] : "";
  QStringList args{QString::fromLocal8Bit(argv[0])};
  for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  int failures = 0;
  int run = 0;
  for (const auto& [name, factory] : quarnet::test::Registry()) {
    if (!only.empty() && only != name) continue;
    ++run;
    const std::unique_ptr<QObject> test = factory();
    failures += QTest::qExec(test.get(), args);
  }
  if (run == 0) {
    std::fprintf(stderr, "no test class named %s\n", only.c_str());
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
