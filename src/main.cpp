#include "setup_run.h"

#include <iostream>

int main(int argc, char* argv[]) {
    // The answers are read through the stream's own buffer rather than
    // character by character through C stdio, so even a huge pasted line is
    // skipped quickly. Every message is flushed explicitly before a read.
    std::ios::sync_with_stdio(false);
    return tolvenix::run_setup(argc, argv, std::cin, std::cout);
}
