// Makes the password database the program ships with: table LcUser with one
// row whose 口令 is empty, so the first login needs no password.

#include <iostream>
#include <string>

#include "passworddb/PasswordDatabase.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: velotan-makedb <path of Lc_Addlist.mdb>\n";
        return 2;
    }
    std::string error;
    if (!velotan::passworddb::PasswordDatabase::Create(
            argv[1], velotan::passworddb::kDatabasePassword, &error)) {
        std::cerr << "velotan-makedb: " << argv[1] << ": " << error << "\n";
        return 1;
    }
    return 0;
}
