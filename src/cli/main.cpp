#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    sf::cli::Args args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = sf::cli::run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
