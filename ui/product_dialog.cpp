#include "ui/product_dialog.h"

#include <algorithm>

#include "package/format.h"
#include "ui/control_ids.h"

namespace quarnet {
namespace {

// Versions on the left, products on the right, the product list below.
constexpr ControlLayout kControls[] = {
    {idc::kVersionsGroup, ControlKind::kGroup, 153},  {idc::kVersionsList, ControlKind::kCheckList},
    {idc::kProductsGroup, ControlKind::kGroup, 155},  {idc::kProductsList, ControlKind::kCheckList},
    {idc::kProductListEdit, ControlKind::kEdit},      {idc::kOk, ControlKind::kDefaultButton, 157},
    {idc::kCancel, ControlKind::kButton, 106},
};

bool Contains(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

void AddOnce(std::vector<std::string>& list, const std::string& text) {
  if (!Contains(list, text)) list.push_back(text);
}

}  // namespace

const DialogLayout ProductDialog::kLayout = {151, kControls, 366, 227};

ProductDialog::ProductDialog(DialogAccess& access, Language language, const ProductInfo* table)
    : access_(access), language_(language), table_(table) {}

void ProductDialog::OnInit() {
  ApplyTexts(access_, kLayout, language_);
  access_.SetText(idc::kProductListEdit, productList_);
  FillLists();
}

void ProductDialog::FillLists() {
  for (const ProductInfo* row = table_; row->szVersion[0] != '\0'; ++row) {
    const std::string name(GetText(row->szProductName));
    AddOnce(versions_, std::string(GetText(row->szVersion)));
    AddOnce(products_, name);
    // The first row of a name fixes its code.
    nameToCode_.emplace(name, std::string(GetText(row->szProductCode)));
  }
  for (const std::string& version : versions_) access_.AddItem(idc::kVersionsList, version);
  for (const std::string& name : products_) access_.AddItem(idc::kProductsList, name);
}

void ProductDialog::OnCommand(int id) {
  if (id == idc::kOk) productList_ = access_.GetText(idc::kProductListEdit);
  if (id == idc::kOk || id == idc::kCancel) access_.End(id);
}

void ProductDialog::OnCheckChange(int id) {
  if (id == idc::kVersionsList) {
    OnVersionsTicked();
  } else {
    for (std::size_t row = 0; row < versions_.size(); ++row) access_.SetItemCheck(idc::kVersionsList, int(row), false);
  }
  UpdateProductList();
}

// The products of the ticked versions, and only those, carry ticks.
void ProductDialog::OnVersionsTicked() {
  std::vector<std::string> ticked;
  for (std::size_t row = 0; row < versions_.size(); ++row) {
    if (access_.GetItemCheck(idc::kVersionsList, int(row))) ticked.push_back(versions_[row]);
  }
  std::vector<std::string> names;
  for (const ProductInfo* row = table_; row->szVersion[0] != '\0'; ++row) {
    const std::string name(GetText(row->szProductName));
    if (Contains(ticked, std::string(GetText(row->szVersion)))) AddOnce(names, name);
  }
  for (std::size_t row = 0; row < products_.size(); ++row) {
    access_.SetItemCheck(idc::kProductsList, int(row), Contains(names, products_[row]));
  }
}

void ProductDialog::UpdateProductList() {
  productList_.clear();
  for (std::size_t row = 0; row < products_.size(); ++row) {
    if (!access_.GetItemCheck(idc::kProductsList, int(row))) continue;
    const std::string& code = nameToCode_.at(products_[row]);
    if (productList_.find(code) == std::string::npos) productList_ += code + "|";
  }
  access_.SetText(idc::kProductListEdit, productList_);
}

}  // namespace quarnet
