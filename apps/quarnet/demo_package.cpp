#include "apps/quarnet/demo_package.h"

#include "ui/product_table.h"

namespace quarnet {

PackageFacts DemoFacts() {
  PackageFacts facts;
  facts.readable = true;
  facts.kind = PackageKind::kFull;
  facts.kernelVersion = facts.rootfsVersion = "V200R005C10";
  for (const char* code : {"1A0", "2B0"}) facts.products.push_back({code, ProductNames(code)});
  const struct {
    const char* name;
    std::uint32_t size;
    const char* place;
    std::uint32_t policy;
  } items[] = {{"UBOOT", 262144, "flash:uboot", 0},
               {"KERNEL", 2621440, "flash:kernel", 0},
               {"ROOTFS", 13631488, "flash:rootfs", 0},
               {"UNKNOWN", 18213, "file:/mnt/jffs2/qz_ctree.xml", 0},
               {"UNKNOWN", 2, "file:/mnt/jffs2/Updateflag", 2},
               {"EFS", 68, "flash:efs", 0}};
  for (const auto& item : items) {
    ItemFacts itemFacts;
    itemFacts.name = item.name;
    itemFacts.size = item.size;
    itemFacts.destination = item.place;
    itemFacts.policy = item.policy;
    itemFacts.dataCrc = itemFacts.crc;
    facts.items.push_back(itemFacts);
  }
  return facts;
}

}  // namespace quarnet
