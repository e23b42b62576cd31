#include "plugin/windows/FolderRegistry.h"

#include <cstring>
#include <new>
#include <string>

#include "plugin/hostapi/HostApi.h"

namespace corvane {

FolderRegistry& folderRegistry() {
    static FolderRegistry registry;
    return registry;
}

FolderContext* FolderRegistry::find(HWND folderWindow) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = records_.find(keyOf(folderWindow));
    return it == records_.end() ? nullptr : it->second.get();
}

FolderContext* FolderRegistry::getOrCreate(HWND folderWindow) {
    if (!folderWindow)
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = records_[keyOf(folderWindow)];
    if (!slot) {
        slot.reset(new (std::nothrow) FolderContext);
        if (!slot) {
            records_.erase(keyOf(folderWindow));
            return nullptr;
        }
    }
    return slot.get();
}

void FolderRegistry::remove(HWND folderWindow) {
    std::unique_ptr<FolderContext> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = records_.find(keyOf(folderWindow));
    if (it == records_.end())
        return;
    dropped = std::move(it->second);
    records_.erase(it);
}

std::vector<HWND> FolderRegistry::windows() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HWND> list;
    for (const auto& record : records_)
        list.push_back(record.second->folderWindow);
    return list;
}

HWND FindFolderForView(HWND viewWindow) {
    HostApi& host = hostApi();
    const char* reported = host.APAGetAccount(viewWindow);
    if (!reported)
        return nullptr;
    // Kept apart from the host's string in case the host reuses its buffer for the next call.
    std::string viewAccount = reported;
    for (HWND folder : folderRegistry().windows()) {
        const char* account = host.APAGetAccount(folder);
        if (account && viewAccount == account)
            return folder;
    }
    return nullptr;
}

}  // namespace corvane
