// The product dialog on its real widgets: the user's ticks by mouse and
// space bar reach the handlers, ticks set in code raise nothing, and the
// buttons and keys end it with its list.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "tests/ui/qt/ui_test.h"
#include "ui/control_ids.h"
#include "ui/qt/product_window.h"
#include "ui/qt/main_window.h"

namespace quarnet::test {

class ProductDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dialog_ = std::make_unique<CProductListSelDlg>();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
  }
  void cleanup() { dialog_.reset(); }

  void userTicksReachTheHandlers() {
    ClickTick(List(idc::kVersionsList), 0);
    QCOMPARE(Ticked(List(idc::kProductsList)).size(), std::size_t{4});
    QCOMPARE(dialog_->ControlAs<QLineEdit>(idc::kProductListEdit)->text(), QString("1A0|1D1|1F3|2B7|"));
    SpaceTick(List(idc::kProductsList), 0);
    QVERIFY(Ticked(List(idc::kVersionsList)).empty());
    QCOMPARE(dialog_->ControlAs<QLineEdit>(idc::kProductListEdit)->text(), QString("1D1|1F3|2B7|"));
  }

  void ticksSetByTheDialogRaiseNoNotification() {
    QSignalSpy versions(&List(idc::kVersionsList), &CheckListBox::checkChange);
    QSignalSpy products(&List(idc::kProductsList), &CheckListBox::checkChange);
    dialog_->SetItemCheck(idc::kVersionsList, 0, true);
    dialog_->Logic().OnCheckChange(idc::kVersionsList);
    QCOMPARE(versions.count(), 0);
    QCOMPARE(products.count(), 0);
    SpaceTick(List(idc::kVersionsList), 0);
    QCOMPARE(versions.count(), 1);
    QCOMPARE(products.count(), 0);
  }

  // How the dialog ends: by the OK button, Enter in the field after typing,
  // Cancel or Escape; what the main window then gets.
  void ends_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("endKey");  // 0: a click on `button`
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("list");
    QTest::newRow("OK") << "" << 0 << idc::kOk << true << "";
    QTest::newRow("Enter after typing") << "typed" << int(Qt::Key_Return) << 0 << true << "typed";
    QTest::newRow("Cancel") << "typed" << 0 << idc::kCancel << false << "";
    QTest::newRow("Escape") << "" << int(Qt::Key_Escape) << 0 << false << "";
  }
  void ends() {
    QFETCH(QString, typed);
    QFETCH(int, endKey);
    QFETCH(int, button);
    QFETCH(bool, ok);
    QFETCH(QString, list);
    ScriptedHost host;
    QString title;
    host.onDialog = [&](QDialog& dialog) {
      auto& d = dynamic_cast<CProductListSelDlg&>(dialog);
      title = d.windowTitle();
      d.show();
      auto* field = d.ControlAs<QLineEdit>(idc::kProductListEdit);
      field->setFocus();
      QTest::keyClicks(field, typed);
      if (endKey != 0) {
        QTest::keyClick(field, Qt::Key(endKey));
      } else {
        Click(d.ControlAs<QPushButton>(button));
      }
      return d.result();
    };
    CQuarnetDlg window(nullptr, host, Language::kEnglish);
    const std::optional<std::string> got = window.RunProductDialog();
    QCOMPARE(host.dialogs, 1);
    QCOMPARE(title, QString("Please select the support products"));  // in the window's language
    QCOMPARE(got.has_value(), ok);
    QCOMPARE(QString::fromStdString(got.value_or("")), list);
  }

 private:
  CheckListBox& List(int id) { return *dialog_->ControlAs<CheckListBox>(id); }

  std::unique_ptr<CProductListSelDlg> dialog_;
};

QUARNET_UI_TEST(ProductDialogTest);

}  // namespace quarnet::test

#include "product_dialog_test.moc"
