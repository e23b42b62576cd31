// Resource identifiers of the plug-in's dialogs, controls and icons.
#pragma once

#define IDD_ABOUT 100
#define IDD_RULE_EDIT 101
#define IDD_RULES_PAGE 102
#define IDD_OPTIONS_PAGE 103
#define IDD_IMPORT_CONFIRM 107
#define IDD_PROGRESS 108
#define IDD_LEARN 109
#define IDD_LEARN_PROGRESS 110
#define IDD_CONDITION 111
#define IDD_TRY 112

#define IDC_ABOUT_REGEX 1019
#define IDC_ABOUT_HOOK 1020
#define IDC_PROGRESS_BAR 1021
#define IDC_PROGRESS_CANCEL 1002

#define IDI_FOLDER_INBOX 102
#define IDI_FOLDER_TRASH 103
#define IDI_FOLDER_OUTBOX 104
#define IDI_FOLDER_PARENT 105
#define IDI_FOLDER_USER 106

// Rules page (102).
#define IDC_RULE_LIST 1000
#define IDC_RULE_NEW 1002
#define IDC_RULE_EDIT 1003
#define IDC_RULE_DELETE 1004
#define IDC_RULE_UP 1005
#define IDC_RULE_DOWN 1006

// Rule editor (101).
#define IDC_REGEX 1002
#define IDC_TARGET_WHOLE 1005
#define IDC_TARGET_HEADER_BLOCK 1006
#define IDC_SEARCH_TEXT 1007
#define IDC_DEST_FOLDER 1009
#define IDC_TARGET_NAMED 1014
#define IDC_HEADER_NAME 1015
#define IDC_MATCH_CASE 1016
#define IDC_NEGATE 1030
#define IDC_ALL_CONDITIONS 1031
#define IDC_ANY_CONDITION 1032
#define IDC_CONDITION_LIST 1033
#define IDC_CONDITION_ADD 1034
#define IDC_CONDITION_EDIT 1035
#define IDC_CONDITION_DELETE 1036
#define IDC_TRY_RULE 1037

// Condition dialog (111): the editor's target radios, header box, search text, IDC_MATCH_CASE,
// IDC_REGEX and IDC_NEGATE.

// Options page (103).
#define IDC_UNREAD_MAIL 1001
#define IDC_IMPORT_HOST_RULES 1002
#define IDC_REPORT_RESULT 1017
#define IDC_DECODE_MIME 1018
#define IDC_LEARN_FROM_FILED 1019

// Learning dialog (109) and its progress dialog (110, with IDC_PROGRESS_BAR and
// IDC_PROGRESS_CANCEL as the other runs).
#define IDC_LEARN_LIST 1023
#define IDC_LEARN_HOLDOUT 1024
#define IDC_LEARN_UNSEPARATED 1025
#define IDC_LEARN_STAGE 1026
#define IDC_LEARN_COUNTS 1027

// The try of a rule (112), after a progress dialog 110 of its own texts.
#define IDC_TRY_LIST 1040
#define IDC_TRY_COUNT 1041
#define IDC_TRY_WHY 1042
