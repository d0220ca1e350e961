// Registers the names given on its command line in that order and prints the number of the
// last one: a second process for the clipboard format test.
#include <cstdio>

#include "platform/com/activation.h"

int main(int argc, char** argv) {
    unsigned number = 0;
    for (int i = 1; i < argc; ++i) {
        number = platform::com::RegisterClipboardFormat(argv[i]);
    }
    std::printf("%u\n", number);
    return argc > 1 ? 0 : 2;
}
