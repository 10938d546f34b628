// Quorix: the program's entry point.
#include "shell/program.h"

int main(int argc, char **argv) {
    return quorixMain(argc, argv);
}
