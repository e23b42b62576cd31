// The plug-in's two commands in the host's folder and view menus: relabelled host items when
// the hook library turns them into the commands, else items of their own at the end.
#include "plugin/entry/Plugin.h"

#include "contract/MenuItems.h"

using namespace corvane;

namespace {

enum MenuKind {
    FolderMenuBar = 101,
    FolderMenu = 102,
    ViewMenuBar = 201,
    ViewMenu = 202,
};

// The host fills the 48-byte form of the menu-item structure.
static_assert(!kIs32Bit || sizeof(MENUITEMINFOA) == 48, "menu-item structure size");

void relabel(HMENU menu, UINT id, const char* text) {
    MENUITEMINFOA item;
    ZeroMemory(&item, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE;
    item.fType = MFT_STRING;
    item.dwTypeData = const_cast<char*>(text);
    SetMenuItemInfoA(menu, id, FALSE, &item);
}

void appendSeparator(HMENU menu) {
    MENUITEMINFOA item;
    ZeroMemory(&item, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE;
    item.fType = MFT_SEPARATOR;
    InsertMenuItemA(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}

void appendCommand(HMENU menu, int commandId, const char* text) {
    MENUITEMINFOA item;
    ZeroMemory(&item, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE | MIIM_ID;
    item.fType = MFT_STRING;
    item.wID = static_cast<UINT>(commandId);
    item.dwTypeData = const_cast<char*>(text);
    InsertMenuItemA(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}

void initFolderMenu(HMENU menu, int kind) {
    if (kind == FolderMenuBar)
        menu = GetSubMenu(menu, 2);
    else if (kind != FolderMenu)
        return;
    if (!menu)
        return;
    const PluginState& state = pluginState();
    if (state.hook.loaded()) {
        bool bar = kind == FolderMenuBar;
        relabel(menu, kFolderDistributeItem, bar ? "選択メールのCorvane(&L)\tALT+L" : "選択メールのCorvane");
        relabel(menu, kFolderUndoItem, bar ? "Corvaneを元に戻す(&B)\tALT+P" : "Corvaneを元に戻す");
        return;
    }
    appendSeparator(menu);
    appendCommand(menu, state.distributeCommandId, "選択メールのCorvane");
    appendCommand(menu, state.undoCommandId, "Corvaneを元に戻す");
}

void initViewMenu(HMENU menu, int kind) {
    if (kind == ViewMenuBar)
        menu = GetSubMenu(menu, 3);
    else if (kind != ViewMenu)
        return;
    if (!menu)
        return;
    const PluginState& state = pluginState();
    if (state.hook.loaded()) {
        relabel(menu, kViewDistributeItem, kind == ViewMenuBar ? "Corvane(&B)\tALT+L" : "Corvane(&B)");
        return;
    }
    appendSeparator(menu);
    appendCommand(menu, state.distributeCommandId, "Corvane");
}

}  // namespace

extern "C" void WINAPI APCFolderInitMenu(HWND, HMENU menu, int kind) {
    guarded([menu, kind] { initFolderMenu(menu, kind); });
}

extern "C" void WINAPI APCViewInitMenu(HWND, HMENU menu, int kind) {
    guarded([menu, kind] { initViewMenu(menu, kind); });
}
