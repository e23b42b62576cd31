#include "TestSupport.h"

using namespace testing_support;

namespace {

struct Item {
    UINT id;
    UINT type;
    std::string text;
};

std::vector<Item> itemsOf(HMENU menu) {
    std::vector<Item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        items.push_back({info.wID, info.fType, text});
    }
    return items;
}

std::string textOf(HMENU menu, UINT id) {
    char text[256] = {};
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

class Menus : public PluginTest {
protected:
    int distributeId() const { return host.commands.at(0).id; }
    int undoId() const { return host.commands.at(1).id; }
    void expectAppended(HMENU menu, size_t before, bool withUndo) {
        std::vector<Item> items = itemsOf(menu);
        ASSERT_EQ(before + (withUndo ? 3 : 2), items.size());
        EXPECT_TRUE(items[before].type & MFT_SEPARATOR);
        EXPECT_EQ(static_cast<UINT>(distributeId()), items[before + 1].id);
        EXPECT_EQ(withUndo ? "選択メールのCorvane" : "Corvane", items[before + 1].text);
        if (withUndo) {
            EXPECT_EQ(static_cast<UINT>(undoId()), items[before + 2].id);
            EXPECT_EQ("Corvaneを元に戻す", items[before + 2].text);
        }
    }
};

}  // namespace

TEST_F(Menus, WithoutHookLibraryItemsOfTheirOwnAreAppended) {
    startPlugin();
    HMENU folderBar = standin::StandInHost::createFolderMenuBar();
    HMENU folderMail = GetSubMenu(folderBar, 2);
    size_t before = itemsOf(folderMail).size();
    plugin.APCFolderInitMenu(nullptr, folderBar, 101);
    expectAppended(folderMail, before, true);
    // Nothing looks for entries an earlier call appended.
    plugin.APCFolderInitMenu(nullptr, folderBar, 101);
    EXPECT_EQ(before + 6, itemsOf(folderMail).size());

    HMENU context = CreatePopupMenu();
    plugin.APCFolderInitMenu(nullptr, context, 102);
    expectAppended(context, 0, true);

    HMENU viewBar = standin::StandInHost::createViewMenuBar();
    HMENU viewMail = GetSubMenu(viewBar, 3);
    before = itemsOf(viewMail).size();
    plugin.APCViewInitMenu(nullptr, viewBar, 201);
    expectAppended(viewMail, before, false);
    HMENU viewContext = CreatePopupMenu();
    plugin.APCViewInitMenu(nullptr, viewContext, 202);
    expectAppended(viewContext, 0, false);
    for (HMENU menu : {folderBar, viewBar, context, viewContext})
        DestroyMenu(menu);
}

TEST_F(Menus, OtherKindsAndMissingPopupsChangeNothing) {
    startPlugin();
    HMENU bar = standin::StandInHost::createFolderMenuBar();
    HMENU flat = CreatePopupMenu();
    AppendMenuA(flat, MF_STRING, 1, "x");
    for (int kind : {103, 200, 0, 203}) {
        plugin.APCFolderInitMenu(nullptr, bar, kind);
        plugin.APCViewInitMenu(nullptr, bar, kind);
    }
    plugin.APCFolderInitMenu(nullptr, flat, 101);  // no pop-up at position 2
    plugin.APCViewInitMenu(nullptr, flat, 201);
    EXPECT_EQ(3u, itemsOf(GetSubMenu(bar, 2)).size());
    EXPECT_EQ(4u, itemsOf(bar).size());
    EXPECT_EQ(1u, itemsOf(flat).size());
    DestroyMenu(bar);
    DestroyMenu(flat);
}

TEST_F(Menus, WithHookLibraryTheHostItemsAreRelabelledInPlace) {
    placeHookBesidePlugin("testhook_beside");
    startPlugin();
    HMENU folderBar = standin::StandInHost::createFolderMenuBar();
    HMENU mail = GetSubMenu(folderBar, 2);
    plugin.APCFolderInitMenu(nullptr, folderBar, 101);
    ASSERT_EQ(3u, itemsOf(mail).size());
    EXPECT_EQ("選択メールのCorvane(&L)\tALT+L", textOf(mail, 32826));
    EXPECT_EQ("Corvaneを元に戻す(&B)\tALT+P", textOf(mail, 32825));
    EXPECT_EQ(32826u, itemsOf(mail)[1].id);

    HWND folder = host.openFolderWindow("Main", "Main\\Inbox.box");
    HMENU context = host.buildFolderContextMenu(folder);
    EXPECT_EQ(3u, itemsOf(context).size());
    EXPECT_EQ("選択メールのCorvane", textOf(context, 32826));
    EXPECT_EQ("Corvaneを元に戻す", textOf(context, 32825));

    HMENU viewBar = standin::StandInHost::createViewMenuBar();
    plugin.APCViewInitMenu(nullptr, viewBar, 201);
    EXPECT_EQ(2u, itemsOf(GetSubMenu(viewBar, 3)).size());
    EXPECT_EQ("Corvane(&B)\tALT+L", textOf(GetSubMenu(viewBar, 3), 32802));
    HMENU viewContext = host.buildViewContextMenu(nullptr);
    EXPECT_EQ("Corvane(&B)", textOf(viewContext, 32802));
    EXPECT_EQ(2u, itemsOf(viewContext).size());
    for (HMENU menu : {folderBar, context, viewBar, viewContext})
        DestroyMenu(menu);
}
