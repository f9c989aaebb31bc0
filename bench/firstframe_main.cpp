// SPDX-License-Identifier: MIT
// One program of editions/, ending after its first painted frame.
// TILVANE_EDITION names the profile.
#include "editions.h"
#include "firstframequit.h"
#include "form1.h"
#include "runedition.h"

int main(int argc, char *argv[])
{
    return runEdition(
        argc, argv, TILVANE_EDITION, [](Form1 &window) { new FirstFrameQuit(&window); });
}
