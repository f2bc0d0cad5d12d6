/* Runs a command line with this process's unelevated token, as an
 * administrator's programs run under UAC, and prints its exit code (Wine hands
 * back only the lowest byte of its own). */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv)
{
    HANDLE token, primary;
    TOKEN_LINKED_TOKEN linked;
    DWORD size, code = 1;
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process;
    if (argc != 2 || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)
        || !GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)
        || !DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, NULL, SecurityImpersonation, TokenPrimary, &primary)
        || !CreateProcessAsUserW(primary, NULL, argv[1], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    printf("%lu\n", code);
    return 0;
}
