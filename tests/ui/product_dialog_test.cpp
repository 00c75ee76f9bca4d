// The described product selection dialog without a toolkit, and the list
// that the main window passes on to the Package flow.
#include <gtest/gtest.h>

#include <set>

#include "package/format.h"
#include "tests/ui/recording_window.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/product_dialog.h"

namespace quarnet::test {
namespace {

// The product dialog on a recording window.
struct Products {
  explicit Products(const ProductInfo* table = ProductTable()) : dialog(window, Language::kEnglish, table) {
    dialog.OnInit();
  }
  // The user ticks or unticks the row of `list` that shows `name`.
  void Tick(int list, const std::string& name) {
    const std::vector<std::string>& rows = list == idc::kVersionsList ? dialog.Versions() : dialog.Products();
    window.Tick(dialog, list, static_cast<int>(std::find(rows.begin(), rows.end(), name) - rows.begin()));
  }
  long Ticked(int list) const { return std::count(window.At(list).ticks.begin(), window.At(list).ticks.end(), true); }
  std::string Field() const { return window.GetText(idc::kProductListEdit); }

  RecordingWindow window{ProductDialog::kLayout};
  ProductDialog dialog;
};

TEST(ProductDialog, OpensWithTextsAndListsInTableOrder) {
  const Products p;
  EXPECT_EQ(p.window.title + "|" + p.window.GetText(idc::kVersionsGroup) + "|" + p.window.GetText(idc::kProductsGroup) +
                "|" + p.window.GetText(idc::kOk) + "|" + p.window.GetText(idc::kCancel),
            "Please select the support products|ONT Versions|Products|OK|Close");
  EXPECT_EQ(p.window.At(idc::kVersionsList).items, p.dialog.Versions());
  EXPECT_EQ(p.window.At(idc::kProductsList).items, p.dialog.Products());
  // Order of first appearance; a name under several versions is listed once.
  ASSERT_EQ(p.dialog.Versions().size(), 12u);
  EXPECT_EQ(p.dialog.Versions().front(), "V100R001C00");
  const std::vector<std::string>& names = p.dialog.Products();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 33u);
  EXPECT_EQ(std::vector<std::string>(names.begin() + 3, names.begin() + 6),
            (std::vector<std::string>{"Tarnis-7", "Ambrel-2", "Corvane-A"}));
  EXPECT_EQ(p.Ticked(idc::kProductsList) + p.Ticked(idc::kVersionsList), 0);
  EXPECT_EQ(p.Field(), "");
}

// Each step ticks or unticks a version; afterwards the products of the
// ticked versions carry ticks, and the field lists their codes in the
// products' order, each once.
TEST(ProductDialog, VersionTicks) {
  const struct {
    std::vector<std::string> clicks;
    long products;
    const char* list;
  } rows[] = {
      {{"V120R002C00"}, 4, "1B2|21C|31A|"},
      {{"V100R001C00", "V210R003C01_BIN3"}, 8, "1A0|1D1|1F3|2B7|1C6|24B|341|"},
      {{"V100R001C00", "V210R003C01_BIN3", "V100R001C00"}, 4, "1C6|1D1|24B|341|"},
      {{"V100R003", "V100R003"}, 0, ""},
  };
  for (const auto& row : rows) {
    Products p;
    for (const std::string& version : row.clicks) p.Tick(idc::kVersionsList, version);
    EXPECT_EQ(p.Ticked(idc::kProductsList), row.products) << row.list;
    EXPECT_EQ(p.Field(), row.list);
  }
}

// A product ticked by hand clears the version ticks and keeps the product
// ticks; unticking one keeps the others.
TEST(ProductDialog, ProductTicks) {
  Products p;
  p.Tick(idc::kVersionsList, "V100R002C01");
  p.Tick(idc::kVersionsList, "V100R003");
  ASSERT_EQ(p.Ticked(idc::kProductsList), 7);
  p.Tick(idc::kProductsList, "Selvin-6");
  EXPECT_EQ(p.Ticked(idc::kVersionsList), 0);
  EXPECT_EQ(p.Ticked(idc::kProductsList), 8);
  p.Tick(idc::kProductsList, "Ambrel-2");
  EXPECT_EQ(p.Field(), "1A4|1F3|20A|2C9|1C6|2D0|2A1|");
  // Names that share a code give it once.
  for (const char* name : {"Selvin-6", "Lumiro-9", "Ambrel-1", "Ambrel-2"}) p.Tick(idc::kProductsList, name);
  EXPECT_EQ(p.Field(), "1A0|1A4|1F3|20A|2C9|1C6|2D0|22E|");
}

// OK returns the field's text as typed, until the next tick rewrites it.
TEST(ProductDialog, TypedTextReturnedUnchangedUntilTheNextTick) {
  Products p;
  p.window.SetText(idc::kProductListEdit, "zz9|odd");
  p.window.Click(p.dialog, idc::kOk);
  EXPECT_EQ(p.window.ended, idc::kOk);
  EXPECT_EQ(p.dialog.ProductList(), "zz9|odd");
  p.Tick(idc::kProductsList, "Ambrel-1");
  EXPECT_EQ(p.Field(), "1A0|");
}

TEST(ProductDialog, EmptyTableGivesEmptyLists) {
  const ProductInfo empty[1] = {};
  Products p(empty);
  EXPECT_TRUE(p.window.At(idc::kVersionsList).items.empty() && p.window.At(idc::kProductsList).items.empty());
  p.window.Click(p.dialog, idc::kOk);
  EXPECT_EQ(p.dialog.ProductList(), "");
}

// What the main window gives the flow after the product dialog: at most
// 127 bytes, zero-filled; after Cancel -1 and the buffer as it was.
TEST(ProductDialog, ListForTheFlow) {
  const struct {
    std::optional<std::string> answer;
    int result;
    std::string written;
  } rows[] = {
      {"1A0|1D1|", 0, "1A0|1D1|"},
      {"", 0, ""},
      {std::string(130, 'x'), 0, std::string(127, 'x')},
      {std::nullopt, -1, std::string(127, '#')},
  };
  for (const auto& row : rows) {
    RecordingWindow window(MainDialog::kLayout);
    MainDialog main(window, Language::kChinese);
    window.productList = row.answer;
    ProductListBuffer buffer;
    buffer.fill('#');
    buffer.back() = '\0';
    EXPECT_EQ(main.SelectProducts(buffer), row.result);
    const std::string tail(row.result == 0 ? 128 - row.written.size() : 1, '\0');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), row.written + tail);
  }
}

}  // namespace
}  // namespace quarnet::test
