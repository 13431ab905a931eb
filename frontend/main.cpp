// The desktop program: the window layer's start-up with the main routine.
#include "frontend/winwrapper.h"

int main(int argc, char** argv) { return tarvex::run_tarvex(argc, argv); }
