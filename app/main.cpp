#include <cstdio>
#include <span>

#include "app/run.h"

int main(int argc, char** argv) {
    return runProgram(std::span<const char* const>(argv + 1, argc - 1), stdout, stderr);
}
