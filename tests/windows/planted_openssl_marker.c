/* What another user could plant where OpenSSL looks for its configuration.
 * Built as a DLL, it leaves "<its own path>.loaded" behind when anything loads
 * it. Built with -DCONTROL, it is a program that asks OpenSSL for its
 * configuration as OpenSSL's own start-up would when told "read", and
 * prints the folder it reads it from: the plant is proven real before the program is shown to
 * ignore it. */
#include <windows.h>

#ifdef CONTROL
#include <openssl/crypto.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    (void)argv;
    puts(OpenSSL_version(OPENSSL_DIR));
    if (argc > 1) /* "read" */
        OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, NULL);
    return 0;
}
#else
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8];
        DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        lstrcpyW(path + n, L".loaded");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}
#endif
