// The plug-in's exported entry points: APC_ENTRY(name, argument bytes, result, parameters).
// They are exported undecorated; the 32-bit build maps each to its stdcall symbol.
// No include guard: the includer defines APC_ENTRY.
APC_ENTRY(APCGetPlugName, 0, const char*, ())
APC_ENTRY(APCStartUp, 4, BOOL, (int reserved))
APC_ENTRY(APCCleanUp, 0, void, ())
APC_ENTRY(APCVersionInfo, 4, INT_PTR, (HWND parent))
APC_ENTRY(APCSetup, 4, INT_PTR, (HWND parent))
APC_ENTRY(APCFolderCreate, 4, void, (HWND folderWindow))
APC_ENTRY(APCFolderClose, 4, void, (HWND folderWindow))
APC_ENTRY(APCFolderLoad, 8, void, (HWND folderWindow, int ignored))
APC_ENTRY(APCViewCreate, 4, void, (HWND viewWindow))
APC_ENTRY(APCViewClose, 4, void, (HWND viewWindow))
APC_ENTRY(APCFolderInitMenu, 12, void, (HWND window, HMENU menu, int kind))
APC_ENTRY(APCViewInitMenu, 12, void, (HWND window, HMENU menu, int kind))
