#include "ui/strings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quarnet {
namespace {

constexpr std::pair<int, std::string_view> kStrings[] = {
    {101, "关于 Quarnet(&A)..."},
    {102, "浏览"},
    {103, "Browse"},
    {104, "打包"},
    {105, "Package"},
    {106, "关闭"},
    {107, "Close"},
    {108, "输入"},
    {109, "Input"},
    {110, "输出"},
    {111, "Output"},
    {112, "原始包文件:"},
    {113, "Original Package:"},
    {114, "配置文件"},
    {115, "Configration File"},
    {116, "新包文件"},
    {117, "New Package:"},
    {118, "作为默认配置"},
    {119, "As default configration"},
    {120, "包文件(*.bin)|*.bin||"},
    {121, "配置文件(*.xml)|*.xml||"},
    {122, "Package files(*.bin)|*.bin||"},
    {123, "Configration files(*.xml)|*.xml||"},
    {124, "提示"},
    {125, "Notice"},
    {126, "请选择输入文件或输出文件"},
    {127, "Please select input or output files."},
    {128, "重打包失败！"},
    {129, "Repack failed!"},
    {130, "重打包成功！"},
    {131, "Repack success!"},
    {132, "Quarnet"},
    {133, "Quarnet"},
    {134, "About Quarnet(&A)..."},
    {135, "包文件类型"},
    {136, "Package File Type"},
    {137, "配置文件包"},
    {138, "Configration File Package"},
    {139, "配置更新模式"},
    {140, "Update Mode"},
    {141, "出厂更新模式"},
    {142, "Factory Mode"},
    {143, "普通更新模式"},
    {144, "Normal Mode"},
    {145, "浏览"},
    {146, "Browse"},
    {147, "配置文件包(*.tar.gz)|*.tar.gz||"},
    {148, "Configration pack files(*.tar.gz)|*.tar.gz||"},
    {149, "升级脚本文件"},
    {150, "Update Script File"},
    {151, "请选择要支持的产品"},
    {152, "Please select the support products"},
    {153, "ONT版本"},
    {154, "ONT Versions"},
    {155, "产品"},
    {156, "Products"},
    {157, "确定"},
    {158, "OK"},
    {159, "文件路径不能长于%d字节"},
    {160, "File path length must be less than %d byte(s)"},
    // The progress dialog of a long job and the details of its outcome.
    {161, "正在重打包，请稍候..."},
    {162, "Repacking, please wait..."},
    {163, "取消"},
    {164, "Cancel"},
    {165, "正在取消..."},
    {166, "Cancelling..."},
    {167, "任务已取消。"},
    {168, "The job was cancelled."},
    {169, "原因："},
    {170, "Reason: "},
    {171, "新包文件："},
    {172, "New package: "},
    // Closing the window while a job runs.
    {173, "取消任务并退出？"},
    {174, "Cancel the job and quit?"},
    // The outcome of a job: a cancel, and the kinds of cause of a failure.
    {175, "任务已取消，未做任何更改。"},
    {176, "The job was cancelled. Nothing was changed."},
    {177, "不是有效的固件包"},
    {178, "not a valid firmware package"},
    {179, "原始包已损坏"},
    {180, "the original package is damaged"},
    {181, "找不到所选的文件"},
    {182, "a chosen file is missing"},
    {183, "所选的路径不是文件"},
    {184, "a chosen path is not a file"},
    {185, "输出文件夹不可写"},
    {186, "the output folder cannot be written"},
    {187, "磁盘已满"},
    {188, "the disk is full"},
    {189, "新包未通过校验"},
    {190, "the new package failed its check"},
    {191, "无法读写文件"},
    {192, "a file could not be read or written"},
    // What the check of a new package compared.
    {193, "已校验：%d 个项目，%d 字节的包头，全部校验和；%d 个镜像项目与原始包一致；添加了 %d 个文件"},
    {194, "Verified: %d items, %d-byte header, all checksums; %d image items identical to the original; %d files added"},
    // The stages of a job in its progress dialog.
    {195, "正在解包..."},
    {196, "Unpacking..."},
    {197, "正在生成新包..."},
    {198, "Building the new package..."},
    {199, "正在校验新包..."},
    {200, "Checking the new package..."},
    // The answers of a question box, with the keys that press them.
    {201, "是(&Y)"},
    {202, "&Yes"},
    {203, "否(&N)"},
    {204, "&No"},
    // A job that succeeded with warnings, and what each kind of warning says.
    {205, "重打包成功，但有需要注意的问题："},
    {206, "Repack succeeded, but some things need your attention:"},
    {207, "原始包中项目的校验和与其内容不符，已按其内容重打包"},
    {208, "the checksums of the original package's items disagree with their contents; repacked with the contents"},
    {209, "文件夹未能写入磁盘，断电时新包可能丢失"},
    {210, "a folder could not be written to the disk; a power cut may lose the new package"},
    {211, "任务文件夹未能删除"},
    {212, "the job's folder could not be removed"},
    {213, "原始包中有同名项目，只保留了最后一个"},
    {214, "the original package holds items of the same name; only the last one was kept"},
    {215, "新包没有产品列表（原始包没有产品列表）"},
    {216, "the new package has no product list (the original package has none)"},
    {217, "另有问题，见详细信息"},
    {218, "something else went wrong; see the details"},
    {219, "注意："},
    {220, "Warning: "},
    // More kinds of cause of a failure.
    {221, "输出文件夹不存在"},
    {222, "the output folder does not exist"},
    {223, "文件被另一个程序占用"},
    {224, "another program holds the file"},
    {225, "没有访问权限"},
    {226, "access denied"},
    {227, "包中的项目名称不能用作此系统上的文件名"},
    {228, "an item's name in the package cannot be a file name on this system"},
    {229, "系统不接受该路径"},
    {230, "the system refuses the path"},
    // What the check of a package built without an original compared.
    {231, "已校验：%d 个项目，%d 字节的包头，全部校验和；添加了 %d 个文件"},
    {232, "Verified: %d items, %d-byte header, all checksums; %d files added"},
    // What a new package holds against its original, after what was verified.
    {261, "逐字节保留的项目："},
    {262, "Items kept byte for byte:"},
    {263, "添加的文件："},
    {264, "Files added:"},
    {265, "被替换的项目："},
    {266, "Items replaced:"},
    {267, "原始包中未保留的项目："},
    {268, "Items of the original left out:"},
    {269, "%d 字节"},
    {270, "%d bytes"},
    // Failures the job finds itself: %1, %2, ... are the names and figures.
    {301, "%1 不是固件包：它不以包标记开头"},
    {302, "%1 is not a firmware package: it does not begin with a package mark"},
    {303, "%1 在包头中途就结束了"},
    {304, "%1 ends inside its header"},
    {305, "%1 含有超过 16 个项目"},
    {306, "%1 holds more than 16 items"},
    {307, "%1 在项目表中途就结束了"},
    {308, "%1 ends inside its item table"},
    {309, "读取 %1：包在项目 %2 中途就结束了"},
    {310, "read %1: the package ends inside item %2"},
    {311, "项目名称 %1 不是单纯的文件名"},
    {312, "Item Name %1 is not a plain file name"},
    {313, "项目名称 %1 不能用作此系统上的文件名：%2"},
    {314, "Item Name %1 cannot be a file name on this system: %2"},
    {315, "%1.bin 就是包 %2 本身"},
    {316, "%1.bin is the package %2 itself"},
    {317, "内核的项目头版本为“%1”，根文件系统的为“%2”"},
    {318, "the kernel's item head says version \"%1\", the root file system's \"%2\""},
    {319, "原始包已损坏：项目 %1（%2）的记录 CRC 为 %3，其内容的 CRC 为 %4"},
    {320, "the original package is damaged: item %1 (%2): its record says CRC %3, its bytes have CRC %4"},
    {321, "读取 %1：文件比打包开始时短"},
    {322, "read %1: shorter than when the build began"},
    {323, "%1：项目文件为空"},
    {324, "%1: empty item file"},
    {325, "%1：包将超过 4 GiB"},
    {326, "%1: the package would pass 4 GiB"},
    {327, "新包未通过检查：%1"},
    {328, "the new package failed its check: %1"},
    // The package view and the window menu's items that open it.
    {401, "查看原始包(&V)..."},
    {402, "View the Original Package(&V)..."},
    {403, "查看新包(&N)..."},
    {404, "View the New Package(&N)..."},
    {405, "包内容"},
    {406, "Package Contents"},
    {407, "文件：%1"},
    {408, "File: %1"},
    {409, "类型：完整包"},
    {410, "Kind: full package"},
    {411, "类型：精简包（没有包头校验和与产品列表）"},
    {412, "Kind: compact package (no header checksum, no product list)"},
    {413, "类型：不是固件包"},
    {414, "Kind: not a firmware package"},
    {415, "版本：%1"},
    {416, "Version: %1"},
    {417, "产品：%1"},
    {418, "Products: %1"},
    {419, "项目："},
    {420, "Items:"},
    {421, "    %1  %2 字节  %3  策略 %4  %5"},
    {422, "    %1  %2 bytes  %3  policy %4  %5"},
    {423, "CRC 一致"},
    {424, "CRC agrees"},
    {425, "CRC 不一致"},
    {426, "CRC DIFFERS"},
    {427, "结论：包完整一致"},
    {428, "Verdict: the package is consistent"},
    {429, "结论：有 %1 项检查未通过"},
    {430, "Verdict: %1 check(s) failed"},
    {431, "请先选择原始包"},
    {432, "Please choose the original package first."},
    {433, "无法读取该包"},
    {434, "The package cannot be read."},
    {435, "（没有产品列表）"},
    {436, "(no product list)"},
    {437, "版本：内核 %1，根文件系统 %2"},
    {438, "Version: kernel %1, root file system %2"},
    {439, "请先打包一个新包"},
    {440, "Please build a new package first."},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));

}  // namespace

std::string_view LoadResString(int id) {
  const auto* it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                    [](const auto& entry, int key) { return entry.first < key; });
  return it != std::end(kStrings) && it->first == id ? it->second : std::string_view();
}

int EnglishTwinId(int id) {
  switch (id) {
    case 101: return 134;
    case 120: return 122;
    case 121: return 123;
    default: return id + 1;
  }
}

int ShownId(int id, Language language) { return language == Language::kEnglish ? EnglishTwinId(id) : id; }

std::string_view ShownText(int id, Language language) { return LoadResString(ShownId(id, language)); }

std::string FormatResString(std::string_view text, std::int64_t number) {
  std::string out(text);
  const auto at = out.find("%d");
  if (at != std::string::npos) out.replace(at, 2, std::to_string(number));
  return out;
}

}  // namespace quarnet
