// make_site TEMPLATE_DIR TARGET_DIR: builds a ready site folder from the shipped template.
#include <exception>
#include <iostream>

#include "common/site_folder.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_site TEMPLATE_DIR TARGET_DIR\n";
        return 1;
    }
    try {
        vc::makeSiteFolder(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "make_site: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
