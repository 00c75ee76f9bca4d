#pragma once
// Numeric IDs of the dialogs' controls. Each control also carries its ID as
// its object name, so tests and tools find it by number.
namespace quarnet::idc {

// Buttons shared by the dialogs.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;  // "Close" in the main window and the product dialog

// Main window.
inline constexpr int kOriginalPackageEdit = 1000;
inline constexpr int kConfigFileEdit = 1001;
inline constexpr int kOriginalPackageBrowse = 1002;
inline constexpr int kConfigFileBrowse = 1003;
inline constexpr int kNewPackageEdit = 1004;
inline constexpr int kNewPackageBrowse = 1005;
inline constexpr int kAsDefaultCheck = 1006;
inline constexpr int kPackageButton = 1007;
inline constexpr int kInputGroup = 1008;
inline constexpr int kOutputGroup = 1009;
inline constexpr int kOriginalPackageLabel = 1010;
inline constexpr int kUpdateScriptLabel = 1011;
inline constexpr int kNewPackageLabel = 1012;
inline constexpr int kConfigPackEdit = 1014;
inline constexpr int kConfigPackBrowse = 1015;
inline constexpr int kUpdateScriptEdit = 1016;
inline constexpr int kUpdateScriptBrowse = 1017;
inline constexpr int kConfigFileRadio = 1018;
inline constexpr int kConfigPackRadio = 1019;
inline constexpr int kUpdateModeCombo = 1020;
inline constexpr int kFileTypeGroup = 1021;
inline constexpr int kUpdateModeLabel = 1022;

// Product selection dialog.
inline constexpr int kVersionsList = 1013;
inline constexpr int kProductsList = 1014;
inline constexpr int kProductListEdit = 1015;
inline constexpr int kVersionsGroup = 1016;
inline constexpr int kProductsGroup = 1017;

// Progress dialog of a long job (its Cancel button is kCancel).
inline constexpr int kJobProgressLabel = 1030;
inline constexpr int kJobProgressBar = 1031;

// Package view.
inline constexpr int kPackageViewText = 1050;
inline constexpr int kPackageViewItemLabel = 1051;
inline constexpr int kPackageViewItems = 1052;
inline constexpr int kPackageViewSaveItem = 1053;

// The window menu's own items (multiples of 16: the system keeps the low
// four bits), and the system's standard commands.
inline constexpr int kIdmAboutBox = 16;
inline constexpr int kIdmViewOriginal = 32;
inline constexpr int kIdmViewNewPackage = 48;
inline constexpr int kScMinimize = 0xF020;
inline constexpr int kScMaximize = 0xF030;
inline constexpr int kScClose = 0xF060;
inline constexpr int kScRestore = 0xF120;

}  // namespace quarnet::idc
