#include <iostream>

#include "KregCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = kreg::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
