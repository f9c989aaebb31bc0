// SPDX-License-Identifier: MIT
// Raises or lowers the system's screen-reader flag, as Narrator, NVDA and
// JAWS do while they run, and tells every window so:
//     screenreaderflag on|off
#include <cstring>
#include <windows.h>

int main(int argc, char *argv[])
{
    if (argc != 2 || (std::strcmp(argv[1], "on") != 0 && std::strcmp(argv[1], "off") != 0))
        return 2;
    const BOOL on = std::strcmp(argv[1], "on") == 0;
    return SystemParametersInfoW(SPI_SETSCREENREADER, on, nullptr,
               SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)
        ? 0
        : 1;
}
