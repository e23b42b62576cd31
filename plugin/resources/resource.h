// Resource identifiers of the plug-in's dialogs, controls and icons.
#pragma once

#define IDD_ABOUT 100
#define IDD_RULE_EDIT 101
#define IDD_RULES_PAGE 102
#define IDD_OPTIONS_PAGE 103
#define IDD_IMPORT_CONFIRM 107
#define IDD_PROGRESS 108

#define IDC_ABOUT_REGEX 1019
#define IDC_ABOUT_HOOK 1020
#define IDC_PROGRESS_BAR 1021
#define IDC_PROGRESS_CANCEL 1002
