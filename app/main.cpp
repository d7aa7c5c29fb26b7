// Velandora: plays the show found in the working directory.
#include "app/shell.h"

int main() { return win_main(system_platform()); }
