#include "registry/DataFileCheck.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--verify-data") == 0) {
        return registry::VerifyDataFile(argc >= 3 ? argv[2] : "vora.dat", std::cout);
    }
    std::cerr << "usage: vora --verify-data [FILE]\n";
    return registry::VerifyDataFile("vora.dat", std::cout);
}
