// ostrel4: a screen magnifier. It takes no arguments and reads no environment
// of its own; everything it keeps lives in its settings file.
#include "shell/start_sequence.h"

int main() {
    return RunProgram();
}
