#include "package/job_log.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quarnet {
namespace {

using test::InTempDir;
using test::ReadText;

class JobLog : public InTempDir {
 protected:
  ~JobLog() override { CloseJobLog(); }
};

PackageFileHeader ExampleHeader() {
  PackageFileHeader h;
  h.mark = kPackageMark;
  h.fileLen = 976;
  h.fileCrc = 0xFFFFFFFE;
  h.headerLen = 848;
  h.itemNum = 2;
  h.packTotal = 200;
  h.packNum = 1;
  h.externLen = 128;
  h.itemInfoLen = 360;
  return h;
}

ItemRecord ExampleRecord() {
  ItemRecord r;
  r.itemCrc = 0x80000001;
  r.itemOffset = 884;
  r.itemLen = 100;
  SetText(r.destination, destination::kKernel);
  SetText(r.itemName, item::kKernel);
  SetText(r.itemVersion, "V100R002C00");
  r.itemPolicy = 1;
  r.reserved = 0xABCDEF01;
  return r;
}

constexpr char kExampleRecordLines[] =
    "Index        : 0 \r\n"
    "Item CRC     : 0x80000001 (-2147483647) \r\n"
    "Item Offset  : 0x00000374 (884) \r\n"
    "Item Len     : 0x00000064 (100) \r\n"
    "Destination  : flash:kernel \r\n"
    "Item Name    : KERNEL \r\n"
    "Item Version : V100R002C00 \r\n"
    "Item Policy  : 1 \r\n"
    "Reserved     : 0xabcdef01 \r\n";

TEST_F(JobLog, FileHeaderBlockIsByteExact) {
  OpenJobLog();
  LogFileHeader(ExampleHeader(), "1A0|2B0|");
  CloseJobLog();
  EXPECT_EQ(ReadText(kJobLogName),
            "File Header  : \r\n"
            "Mark         : QZNP \r\n"
            "File Len     : 0x000003d0 (976) \r\n"
            "File CRC     : 0xfffffffe (-2) \r\n"
            "Header Len   : 0x00000350 (848) \r\n"
            "Item Num     : 2 \r\n"
            "Pack Total   : 200 \r\n"
            "Pack Num     : 1 \r\n"
            "Extern Len   : 0x00000080 (128) \r\n"
            "Item Info Len: 0x00000168 (360) \r\n"
            "Reserved     : 0x00000000 (0) \r\n"
            "Extern File Header: \r\n"
            "Product List : 1A0|2B0| \r\n");
}

TEST_F(JobLog, ItemBlocksAndArgumentsAreByteExact) {
  OpenJobLog();
  const ItemRecord table[2] = {ExampleRecord(), ExampleRecord()};
  LogItemRecords(2, table);
  const char* args[] = {nullptr, "-K", "KERNEL.bin"};
  LogPackAllArgs(3, args);
  LogItemRecords(0, table);
  LogItemRecords(-1, table);
  CloseJobLog();
  EXPECT_EQ(ReadText(kJobLogName), std::string("Item 0:\r\n") + kExampleRecordLines + "Item 1:\r\n" +
                                       kExampleRecordLines +
                                       "Make All package args:\r\n"
                                       "arg0 : (null) \r\n"
                                       "arg1 : -K \r\n"
                                       "arg2 : KERNEL.bin \r\n");
}

TEST_F(JobLog, FieldsWithoutNulAreCutAtTheirEnd) {
  OpenJobLog();
  ItemRecord r = ExampleRecord();
  r.itemName.fill('N');
  r.itemVersion.fill('V');
  r.destination.fill('D');
  LogItemRecord(r);
  CloseJobLog();
  const std::string log = ReadText(kJobLogName);
  EXPECT_NE(log.find("Destination  : " + std::string(256, 'D') + " \r\n"), std::string::npos);
  EXPECT_NE(log.find("Item Name    : " + std::string(16, 'N') + " \r\n"), std::string::npos);
  EXPECT_NE(log.find("Item Version : " + std::string(64, 'V') + " \r\n"), std::string::npos);
}

TEST_F(JobLog, ClosedLogWritesNothing) {
  const ItemRecord table[1] = {ExampleRecord()};
  const char* args[] = {nullptr, "-V"};
  LogPackAllArgs(2, args);
  LogFileHeader(ExampleHeader(), "");
  LogItemRecords(1, table);
  LogItemRecord(table[0]);
  EXPECT_TRUE(test::ListDir(dir()).empty());

  OpenJobLog();
  CloseJobLog();
  LogItemRecords(1, table);
  EXPECT_EQ(ReadText(kJobLogName), "");
}

// The previous job's log stays whole until the new one is closed.
TEST_F(JobLog, ReplacesThePreviousLogWhenClosed) {
  test::WriteText(kJobLogName, "previous job");
  OpenJobLog();
  const char* args[] = {nullptr};
  LogPackAllArgs(1, args);
  EXPECT_EQ(ReadText(kJobLogName), "previous job");
  CloseJobLog();
  EXPECT_EQ(ReadText(kJobLogName), "Make All package args:\r\narg0 : (null) \r\n");
}

}  // namespace
}  // namespace quarnet
