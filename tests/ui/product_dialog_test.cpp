// The product selection dialog on its real widgets, and SelectProducts.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <array>
#include <set>
#include <string>

#include "package/format.h"
#include "tests/ui/ui_test.h"
#include "ui/control_ids.h"
#include "ui/product_list_sel_dlg.h"
#include "ui/product_table.h"

namespace quarnet::test {
namespace {

std::vector<const ProductInfo*> TableRows() {
  std::vector<const ProductInfo*> rows;
  for (const ProductInfo* row = ProductTable(); row->szVersion[0] != '\0'; ++row) rows.push_back(row);
  return rows;
}

// The product list that the ticked products must give, worked out from the
// table: codes in products-list order, each once.
std::string ExpectedList(const CProductListSelDlg& dialog) {
  std::string list;
  for (const int row : Ticked(*dialog.m_listProducts)) {
    const std::string name = dialog.m_listProducts->item(row)->text().toStdString();
    for (const ProductInfo* info : TableRows()) {
      const std::string code(GetText(info->szProductCode));
      if (GetText(info->szProductName) == name && list.find(code) == std::string::npos) {
        list += code + "|";
        break;
      }
    }
  }
  return list;
}

// Rows of the products list that belong to any of `versions`.
std::vector<int> ProductsOfVersions(const CProductListSelDlg& dialog, const std::set<std::string>& versions) {
  std::set<std::string> names;
  for (const ProductInfo* info : TableRows()) {
    if (versions.count(std::string(GetText(info->szVersion)))) names.emplace(GetText(info->szProductName));
  }
  std::vector<int> rows;
  for (int row = 0; row < dialog.m_listProducts->count(); ++row) {
    if (names.count(dialog.m_listProducts->item(row)->text().toStdString())) rows.push_back(row);
  }
  return rows;
}

int RowOf(const QListWidget& list, const char* text) {
  const auto items = list.findItems(QString::fromUtf8(text), Qt::MatchExactly);
  return items.size() == 1 ? list.row(items.first()) : -1;
}

QString FieldText(const CProductListSelDlg& dialog) {
  return dialog.ControlAs<QLineEdit>(idc::kProductListEdit)->text();
}

}  // namespace

class ProductDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dialog_ = std::make_unique<CProductListSelDlg>();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
  }
  void cleanup() { dialog_.reset(); }

  void opensWithTextsAndListsInTableOrder() {
    CProductListSelDlg& d = *dialog_;
    QCOMPARE(d.windowTitle(), QString::fromUtf8("请选择要支持的产品"));
    QCOMPARE(d.ControlAs<QPushButton>(idc::kOk)->text(), QString::fromUtf8("确定"));
    QCOMPARE(d.ControlAs<QPushButton>(idc::kCancel)->text(), QString::fromUtf8("关闭"));
    QCOMPARE(d.m_listVersions->count(), 12);
    QCOMPARE(d.m_listProducts->count(), 33);
    // Order of first appearance; a name under several versions is listed once.
    std::vector<std::string> names;
    for (const ProductInfo* info : TableRows()) {
      const std::string name(GetText(info->szProductName));
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    for (int row = 0; row < 33; ++row) QCOMPARE(d.m_listProducts->item(row)->text().toStdString(), names[row]);
    QCOMPARE(d.m_listVersions->item(0)->text().toStdString(), std::string(GetText(TableRows()[0]->szVersion)));
    QVERIFY(Ticked(*d.m_listVersions).empty());
    QVERIFY(Ticked(*d.m_listProducts).empty());
    QVERIFY(FieldText(d).isEmpty());
  }

  // Each step ticks or unticks one version row by mouse; afterwards the
  // products of the ticked versions, and only those, carry ticks.
  void versionTicks_data() {
    QTest::addColumn<std::vector<int>>("clicks");
    QTest::newRow("one version") << std::vector<int>{4};
    QTest::newRow("union of two") << std::vector<int>{0, 7};
    QTest::newRow("two, then one unticked") << std::vector<int>{0, 7, 0};
    QTest::newRow("last one unticked") << std::vector<int>{3, 3};
  }
  void versionTicks() {
    QFETCH(std::vector<int>, clicks);
    CProductListSelDlg& d = *dialog_;
    for (const int row : clicks) ClickTick(*d.m_listVersions, row);
    std::set<std::string> versions;
    for (const int row : Ticked(*d.m_listVersions)) versions.insert(d.m_listVersions->item(row)->text().toStdString());
    QCOMPARE(Ticked(*d.m_listProducts), ProductsOfVersions(d, versions));
    QCOMPARE(d.m_strProductList, ExpectedList(d));
    QCOMPARE(FieldText(d).toStdString(), d.m_strProductList);
    QCOMPARE(d.m_strProductList.empty(), versions.empty());
  }

  void productTickClearsVersionTicksAndKeepsProductTicks() {
    CProductListSelDlg& d = *dialog_;
    ClickTick(*d.m_listVersions, 1);
    ClickTick(*d.m_listVersions, 2);
    std::vector<int> products = Ticked(*d.m_listProducts);
    QVERIFY(!products.empty());
    const int extra = RowOf(*d.m_listProducts, "Selvin-6");
    QVERIFY(std::find(products.begin(), products.end(), extra) == products.end());
    SpaceTick(*d.m_listProducts, extra);
    QVERIFY(Ticked(*d.m_listVersions).empty());
    products.insert(std::upper_bound(products.begin(), products.end(), extra), extra);
    QCOMPARE(Ticked(*d.m_listProducts), products);
    QCOMPARE(d.m_strProductList, ExpectedList(d));
    // Unticking one product by hand keeps the others.
    ClickTick(*d.m_listProducts, products.front());
    products.erase(products.begin());
    QCOMPARE(Ticked(*d.m_listProducts), products);
    QCOMPARE(FieldText(d).toStdString(), ExpectedList(d));
  }

  void sharedCodeListedOnce() {
    CProductListSelDlg& d = *dialog_;
    ClickTick(*d.m_listProducts, RowOf(*d.m_listProducts, "Ambrel-2"));
    ClickTick(*d.m_listProducts, RowOf(*d.m_listProducts, "Lumiro-9"));
    ClickTick(*d.m_listProducts, RowOf(*d.m_listProducts, "Ambrel-1"));
    QCOMPARE(d.m_strProductList, std::string("1A0|22E|"));
  }

  void ticksSetByTheDialogRaiseNoNotification() {
    QSignalSpy versions(dialog_->m_listVersions, &CheckListBox::checkChange);
    QSignalSpy products(dialog_->m_listProducts, &CheckListBox::checkChange);
    dialog_->m_listVersions->SetCheck(0, 1);
    dialog_->OnVersionsCheckChange();
    QCOMPARE(versions.count(), 0);
    QCOMPARE(products.count(), 0);
    SpaceTick(*dialog_->m_listVersions, 0);
    QCOMPARE(versions.count(), 1);
    QCOMPARE(products.count(), 0);
  }

  void typedTextReturnedUnchangedUntilTheNextTick() {
    CProductListSelDlg& d = *dialog_;
    auto* field = d.ControlAs<QLineEdit>(idc::kProductListEdit);
    field->setFocus();
    QTest::keyClicks(field, "zz9|odd");
    Click(d.ControlAs<QPushButton>(idc::kOk));
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.GetProductList(), std::string("zz9|odd"));
    ClickTick(*d.m_listProducts, 0);
    QCOMPARE(FieldText(d).toStdString(), ExpectedList(d));
  }

  void emptyTableGivesEmptyLists() {
    const ProductInfo empty[1] = {};
    CProductListSelDlg d(nullptr, Language::kChinese, empty);
    QCOMPARE(d.m_listVersions->count(), 0);
    QCOMPARE(d.m_listProducts->count(), 0);
    d.OnOK();
    QCOMPARE(d.GetProductList(), std::string());
  }

  void selectProductsWithNullBufferShowsNoDialog() {
    ScriptedHost host;
    QCOMPARE(SelectProducts(nullptr, nullptr, host, Language::kChinese), -1);
    QCOMPARE(host.dialogs, 0);
  }

  // How the dialog ends: by the OK button, Cancel, Escape, or Enter in the
  // field after typing; what SelectProducts then returns and writes.
  void selectProducts_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("endKey");  // 0: a button click
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("written");  // null: buffer untouched
    QTest::newRow("OK with a version ticked") << "" << 0 << idc::kOk << 0 << QByteArray("1A0|1D1|1F3|2B7|");
    QTest::newRow("OK with nothing ticked") << "" << 0 << idc::kOk << 0 << QByteArray("");
    QTest::newRow("Enter after typing") << "typed" << int(Qt::Key_Return) << 0 << 0 << QByteArray("typed");
    QTest::newRow("cut to 127 bytes") << QString(130, 'x') << 0 << idc::kOk << 0 << QByteArray(127, 'x');
    QTest::newRow("Cancel") << "" << 0 << idc::kCancel << -1 << QByteArray();
    QTest::newRow("Escape") << "" << int(Qt::Key_Escape) << 0 << -1 << QByteArray();
  }
  void selectProducts() {
    QFETCH(QString, typed);
    QFETCH(int, endKey);
    QFETCH(int, button);
    QFETCH(int, result);
    QFETCH(QByteArray, written);
    ScriptedHost host;
    host.onDialog = [&](QDialog& dialog) {
      auto& d = dynamic_cast<CProductListSelDlg&>(dialog);
      d.show();
      if (QString(QTest::currentDataTag()) == "OK with a version ticked") ClickTick(*d.m_listVersions, 0);
      auto* field = d.ControlAs<QLineEdit>(idc::kProductListEdit);
      field->setFocus();
      if (!typed.isEmpty()) QTest::keyClicks(field, typed);
      if (endKey != 0) {
        QTest::keyClick(field, Qt::Key(endKey));
      } else {
        Click(d.ControlAs<QPushButton>(button));
      }
      return d.result();
    };
    std::array<char, kProductListSize> buffer;
    buffer.fill('\0');
    if (written.isNull()) buffer.fill('#');
    const auto before = buffer;
    QCOMPARE(SelectProducts(buffer.data(), nullptr, host, Language::kChinese), result);
    QCOMPARE(host.dialogs, 1);
    if (written.isNull()) {
      QVERIFY(buffer == before);
    } else {
      QCOMPARE(QByteArray(buffer.data(), static_cast<qsizetype>(written.size())), written);
      for (std::size_t i = static_cast<std::size_t>(written.size()); i < buffer.size(); ++i) QCOMPARE(buffer[i], '\0');
    }
  }

 private:
  std::unique_ptr<CProductListSelDlg> dialog_;
};

QUARNET_UI_TEST(ProductDialogTest);

}  // namespace quarnet::test

#include "product_dialog_test.moc"
