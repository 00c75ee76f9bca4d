#include "ui/product_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "package/format.h"
#include "tests/support/process.h"

namespace quarnet {
namespace {

struct Row {
  std::string version, name, code;
};

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (const ProductInfo* row = ProductTable(); row->szVersion[0] != '\0'; ++row) {
    rows.push_back({std::string(GetText(row->szVersion)), std::string(GetText(row->szProductName)),
                    std::string(GetText(row->szProductCode))});
  }
  return rows;
}

// Every field ends in NUL and holds only NUL after its text.
bool ZeroFilled(const std::array<char, 128>& field) {
  const std::size_t n = GetText(field).size();
  if (n == field.size()) return false;
  for (std::size_t i = n; i < field.size(); ++i) {
    if (field[i] != '\0') return false;
  }
  return true;
}

TEST(ProductTable, HasFiftyRowsThenAnAllZeroRow) {
  const ProductInfo* table = ProductTable();
  ASSERT_EQ(Rows().size(), 50u);
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(ZeroFilled(table[i].szVersion)) << i;
    EXPECT_TRUE(ZeroFilled(table[i].szProductName)) << i;
    EXPECT_TRUE(ZeroFilled(table[i].szProductCode)) << i;
  }
  const auto* end = reinterpret_cast<const unsigned char*>(&table[50]);
  for (std::size_t i = 0; i < sizeof(ProductInfo); ++i) ASSERT_EQ(end[i], 0) << i;
}

TEST(ProductTable, FieldsHaveTheirShape) {
  const std::regex version("V[0-9]{3}R[0-9]{3}(C[0-9]{2})?(_BIN[0-9])?");
  const std::regex code("[0-9A-F]{3}");
  for (const Row& row : Rows()) {
    EXPECT_TRUE(std::regex_match(row.version, version)) << row.version;
    EXPECT_GE(row.version.size(), 8u) << row.version;
    EXPECT_LE(row.version.size(), 16u) << row.version;
    EXPECT_GE(row.name.size(), 6u) << row.name;
    EXPECT_LE(row.name.size(), 10u) << row.name;
    EXPECT_TRUE(std::regex_match(row.code, code)) << row.code;
  }
}

TEST(ProductTable, RelationsBetweenVersionsNamesAndCodes) {
  std::set<std::string> versions;
  std::map<std::string, std::set<std::string>> codesOfName;
  std::map<std::string, std::set<std::string>> namesOfCode;
  std::set<std::pair<std::string, std::string>> pairs;
  for (const Row& row : Rows()) {
    versions.insert(row.version);
    codesOfName[row.name].insert(row.code);
    namesOfCode[row.code].insert(row.name);
    EXPECT_TRUE(pairs.emplace(row.version, row.name).second) << row.version << " " << row.name;
  }
  EXPECT_EQ(versions.size(), 12u);
  EXPECT_EQ(codesOfName.size(), 33u);
  EXPECT_EQ(namesOfCode.size(), 25u);
  for (const auto& [name, codes] : codesOfName) EXPECT_EQ(codes.size(), 1u) << name;
  int shared = 0;
  for (const auto& [code, names] : namesOfCode) shared += names.size() > 1 ? 1 : 0;
  EXPECT_EQ(shared, 8);
  int underSeveralVersions = 0;
  for (const auto& [name, codes] : codesOfName) {
    int count = 0;
    for (const Row& row : Rows()) count += row.name == name ? 1 : 0;
    underSeveralVersions += count > 1 ? 1 : 0;
  }
  EXPECT_GT(underSeveralVersions, 0);
}

// A package's product code named: each name once, in table order.
TEST(ProductTable, NamesOfACode) {
  EXPECT_EQ(ProductNames("1B2"), (std::vector<std::string>{"Dellith-4", "Dellith-8"}));
  EXPECT_EQ(ProductNames("2D0"), std::vector<std::string>{"Varrow-9"});
  for (const char* unknown : {"", "2d0", "2D", "2D0|"}) EXPECT_TRUE(ProductNames(unknown).empty()) << unknown;
}

struct CommandResult {
  int status = -1;
  std::string out;
};

CommandResult RunCli(const std::vector<std::string>& args) {
  const test::ProcessResult r = test::RunProcess(test::BinPath("quarnet-cli"), args, ".");
  return {r.exitCode, r.out};
}

TEST(ProductsCommand, PrintsTheTableOneRowALine) {
  std::string expected;
  for (const Row& row : Rows()) expected += row.version + "\t" + row.name + "\t" + row.code + "\n";
  const CommandResult result = RunCli({"products"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, expected);
}

TEST(ProductsCommand, HelpAndUsageErrors) {
  const CommandResult help = RunCli({"products", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: quarnet-cli products"), std::string::npos);
  EXPECT_EQ(RunCli({"products", "extra"}).status, 2);
  EXPECT_EQ(RunCli({"products", "--help", "extra"}).status, 2);
}

}  // namespace
}  // namespace quarnet
