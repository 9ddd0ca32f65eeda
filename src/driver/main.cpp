#include "driver/run.h"

int main(int argc, char** argv) { runProgram(argc, argv); }
