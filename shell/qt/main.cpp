// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/Program.h"

int main(int argc, char** argv) { return quillon::RunQuillon(argc, argv); }
