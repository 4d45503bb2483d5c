// The program's entry: it reads no command-line options.
#include "app/vesk_program.h"

int main() { return VeskMain(); }
