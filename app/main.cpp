#include <QApplication>

#include "display_scaling.h"
#include "running_mark.h"
#include "tovik_all_in_one.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <shellapi.h> // after windows.h, whose types it uses

#include <algorithm>
#include <vector>
#endif

namespace {

int run(int argc, char *argv[])
{
    markRunning();
    enableDisplayScaling();
    QApplication a(argc, argv);
    Tovik_all_in_one w;
    w.show();
    const int result = a.exec();
    return result;
}

} // namespace

#ifdef Q_OS_WIN
// MinGW's own start-up would split the command line by its rules and call
// main(); Windows programs take their arguments as CommandLineToArgvW splits
// them, each in the ANSI code page, which is also what Qt expects of argv.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!wide)
        return -1; // nothing to start: no Qt object exists yet
    std::vector<std::vector<char>> arguments;
    for (int i = 0; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        arguments.emplace_back(std::max(size, 1), '\0');
        if (size > 0)
            WideCharToMultiByte(CP_ACP, 0, wide[i], -1, arguments.back().data(), size, nullptr, nullptr);
    }
    LocalFree(wide);
    std::vector<char *> argv;
    for (std::vector<char> &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return run(argc, argv.data());
}
#else
int main(int argc, char *argv[])
{
    return run(argc, argv);
}
#endif
