#pragma once

// While the program runs it holds a named mutex, by which its installer and
// uninstaller see that its files are in use and ask for it to be closed
// first. Windows only; elsewhere nothing needs it.
#ifdef _WIN32
void markRunning();
#else
inline void markRunning() { }
#endif
