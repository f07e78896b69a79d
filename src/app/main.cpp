#include "registry/DataFileCheck.h"

#ifndef VORA_NO_UI
#include "app/QuellmarkApp.h"
#endif

#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--verify-data") == 0) {
        return registry::VerifyDataFile(argc >= 3 ? argv[2] : "vora.dat", std::cout);
    }
#ifdef VORA_NO_UI
    std::cerr << "usage: vora --verify-data [FILE]\n";
    return 2;
#else
    std::string script;
    if (argc >= 3 && std::strcmp(argv[1], "--replay") == 0) {
        script = argv[2];
    } else if (argc >= 2) {
        std::cerr << "usage: vora [--replay SCRIPT | --verify-data [FILE]]\n";
        return 2;
    }
    CQuellmarkApp app;
    return app.Run(argc, argv, script);
#endif
}
