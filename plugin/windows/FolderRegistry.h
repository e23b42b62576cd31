// The record kept for each open host folder window, and the registry that finds it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "plugin/rules/RulesFile.h"

namespace corvane {

// A folder window's record: its account's rules and options (what the rules file holds), the
// window, and the buffer of the distribution that runs in it.
struct FolderContext : AccountSettings {
    HWND folderWindow = nullptr;
    char* workBuffer = nullptr;  // the running distribution's message buffer, else none
};

// Folder windows and their records, ordered by the handle's value as an unsigned 32-bit
// number. Records are made and dropped on the host's window thread; a distribution worker
// looks its record up from its own thread, so the map itself is guarded. Records never move
// while they exist.
class FolderRegistry {
public:
    FolderContext* find(HWND folderWindow) const;
    // The window's record, made and registered if it has none; none for a null handle or
    // when no memory could be had.
    FolderContext* getOrCreate(HWND folderWindow);
    void remove(HWND folderWindow);
    // The folder windows in ascending handle order (a copy: callers may call the host).
    std::vector<HWND> windows() const;

private:
    static uint32_t keyOf(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
    mutable std::mutex mutex_;
    std::map<uint32_t, std::unique_ptr<FolderContext>> records_;
};

FolderRegistry& folderRegistry();

// The folder window of the same account that a view window belongs to (the lowest handle
// among equals), or none.
HWND FindFolderForView(HWND viewWindow);

}  // namespace corvane
