/* A stand-in installer for the end-to-end run under Wine: it writes
   "installed.txt" beside itself, so the run sees that the file the program
   saved is the one "Cài đặt" started. */
#include <windows.h>
#include <wchar.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    wchar_t *name = wcsrchr(path, L'\\');
    if (length == 0 || length == MAX_PATH || !name)
        return 1;
    wcscpy(name + 1, L"installed.txt");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    BOOL ok = file != INVALID_HANDLE_VALUE && WriteFile(file, "installed\r\n", 11, &written, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok ? 0 : 1;
}
