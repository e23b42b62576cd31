// The hook library's exports: HOOK_EXPORT(name, argument bytes, result, parameters).
// Each is exported under its decorated name, "_" name "@" bytes, which is what callers look up.
// No include guard: the includer defines HOOK_EXPORT.
HOOK_EXPORT(appendHookWnd, 8, int, (HWND owner, HWND window))
HOOK_EXPORT(beginHook, 8, BOOL, (int distributeCommandId, int undoCommandId))
HOOK_EXPORT(endHook, 0, BOOL, ())
HOOK_EXPORT(removeHookWnd, 4, int, (HWND window))
HOOK_EXPORT(getVersion, 0, const char*, ())
