// SPDX-License-Identifier: MIT
#include "editions.h"
#include "runedition.h"

int main(int argc, char *argv[])
{
    return runEdition(argc, argv, kEdition3);
}
