#include "plugin/settings/RuleListView.h"

#include <commctrl.h>

#include <string>

#include "plugin/common/StrUtil.h"
#include "plugin/hostapi/HostApi.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/settings/RuleMarksView.h"

namespace corvane {

namespace {

struct Column {
    const char* header;
    int width;
};

// A marked rule's text colour, and the room its "※" takes before the target.
constexpr COLORREF kMarkColour = RGB(200, 0, 0);
constexpr int kMarkWidth = 14;

const Column kColumns[] = {{"対象", 70}, {"振り分け条件", 180}, {"移動先フォルダ", 120}};

const char* targetText(const DistributeRule& rule) {
    switch (rule.searchTarget) {
    case WholeMessage:
        return "すべて";
    case HeaderBlock:
        return "ヘッダ部";
    case NamedHeader:
        return rule.headerName;
    }
    return "";
}

void destinationText(const DistributeRule& rule, char (&text)[1024]) {
    const char* name = nullptr;
    if (rule.destIsTrash)
        name = "ごみ箱";
    else if (hostApi().module)
        name = hostApi().APAGetFolderName(rule.destFolder);
    copyString(text, name ? name : "");
}

bool setCell(HWND list, int row, int column, const char* text, int image) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    if (image >= 0) {
        item.mask |= LVIF_IMAGE;
        item.iImage = image;
    }
    return SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

UINT alignmentOf(int format) {
    switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_CENTER:
        return DT_CENTER;
    case LVCFMT_RIGHT:
        return DT_RIGHT;
    }
    return DT_LEFT;
}

void drawCellImage(HIMAGELIST images, int image, HDC dc, RECT& cell) {
    int size = cell.bottom - cell.top;
    HICON icon = ImageList_GetIcon(images, image, ILD_NORMAL);
    if (!icon)
        return;
    DrawIconEx(dc, cell.left, cell.top, icon, size, size, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
    cell.left += size + 4;
}

}  // namespace

void insertListColumn(HWND list, int index, int width, const char* title) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(title);
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void insertRuleColumns(HWND list) {
    for (int i = 0; i < 3; ++i)
        insertListColumn(list, i, kColumns[i].width, kColumns[i].header);
}

bool setRuleRow(HWND list, int index, const DistributeRule* rule) {
    if (!rule)
        return false;
    int row = index;
    if (index == kNoRow) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = ListView_GetItemCount(list);
        item.pszText = const_cast<char*>(targetText(*rule));
        row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0)
            return true;
    } else {
        setCell(list, row, 0, targetText(*rule), -1);
    }
    std::string condition = rule->searchText;
    if (rule->negate)
        condition += " (含まない)";
    if (!rule->conditions.empty())
        condition += " ほか " + std::to_string(rule->conditions.size()) + (rule->anyOf ? " 件(いずれか)" : " 件(すべて)");
    setCell(list, row, 1, condition.c_str(), -1);
    char destination[1024];
    destinationText(*rule, destination);
    setCell(list, row, 2, destination, classifyFolderPath(rule->destFolder) - 1);
    return true;
}

void drawRuleRow(const DRAWITEMSTRUCT& item) {
    HWND list = item.hwndItem;
    HDC dc = item.hDC;
    RECT row = item.rcItem;
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    const RuleMark* mark = ruleMarkOf(list, static_cast<int>(item.itemID));
    FillRect(dc, &row, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : mark ? kMarkColour : GetSysColor(COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL);
    int left = row.left;
    for (int column = 0;; ++column) {
        LVCOLUMNA info = {};
        info.mask = LVCF_WIDTH | LVCF_FMT;
        if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info)))
            break;
        char text[1024] = {};
        LVITEMA cellItem = {};
        cellItem.mask = LVIF_TEXT | LVIF_IMAGE;
        cellItem.iItem = static_cast<int>(item.itemID);
        cellItem.iSubItem = column;
        cellItem.pszText = text;
        cellItem.cchTextMax = sizeof text;
        cellItem.iImage = -1;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&cellItem));
        RECT cell = {left, row.top, left + info.cx, row.bottom};
        left += info.cx;
        InflateRect(&cell, -4, -1);
        if (column > 0 && cellItem.iImage >= 0 && images)
            drawCellImage(images, cellItem.iImage, dc, cell);
        // A marked rule shows "※" before its target, drawn only: the cell keeps its text.
        if (column == 0 && mark) {
            DrawTextA(dc, "※", -1, &cell, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            cell.left += kMarkWidth;
        }
        DrawTextA(dc, text, -1, &cell,
                  DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX | alignmentOf(info.fmt));
    }
    SelectObject(dc, oldFont);
}

int selectedRow(HWND list) {
    return list ? ListView_GetNextItem(list, -1, LVNI_SELECTED) : kNoRow;
}

void selectRow(HWND list, int index) {
    if (!list || index < 0)
        return;
    ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, index, FALSE);
}

}  // namespace corvane
