// make_setup N FILE: writes a launch list of N typical records.
#include "records.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_setup RECORDS FILE\n");
        return 2;
    }
    const std::string text = pikorina::bench::MakeRecords(std::strtoull(argv[1], nullptr, 10));
    std::ofstream file(argv[2], std::ios::binary);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return file ? 0 : 1;
}
