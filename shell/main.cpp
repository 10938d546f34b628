// Quorix: the program's entry point.
#include "shell/program.h"

int main() {
    return runQuorix();
}
