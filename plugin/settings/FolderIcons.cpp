#include "plugin/settings/FolderIcons.h"

#include <commctrl.h>

#include "plugin/common/ModuleInstance.h"
#include "plugin/mailbox/MailboxPaths.h"
#include "plugin/resources/resource.h"

namespace corvane {

namespace {

HICON icons[kFolderIconCount] = {};
const int kIconIds[kFolderIconCount] = {IDI_FOLDER_INBOX, IDI_FOLDER_TRASH, IDI_FOLDER_OUTBOX, IDI_FOLDER_PARENT,
                                      IDI_FOLDER_USER};

}  // namespace

void loadFolderIcons() {
    for (int i = 0; i < kFolderIconCount; ++i)
        icons[i] = static_cast<HICON>(LoadImageA(moduleInstance(), MAKEINTRESOURCEA(kIconIds[i]), IMAGE_ICON,
                                                 16, 16, LR_SHARED));
}

HICON folderIcon(int kind) {
    return kind >= 1 && kind <= kFolderIconCount ? icons[kind - 1] : nullptr;
}

HIMAGELIST createFolderImageList() {
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, kFolderIconCount, 0);
    if (!images)
        return nullptr;
    for (int kind = Inbox; kind <= UserFolder; ++kind)
        ImageList_AddIcon(images, folderIcon(kind));
    return images;
}

}  // namespace corvane
