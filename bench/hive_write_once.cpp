// hive_write_once PREFIX VALUE: the program hive_bench times for one registry write. It stores VALUE as the
// REG_SZ "Caminho D37" of HKEY_LOCAL_MACHINE\SOFTWARE\Morvane\TarvixComps (the destination the wizard remembers)
// in the Wine prefix PREFIX: the hive is loaded, changed and saved atomically with its flushes, as every change
// is. Exit code 0, or 1 with the error on standard error.
#include <cstdio>
#include <exception>

#include "platform/wine/wine_registry.h"

int main(int argc, char** argv)
{
    using namespace tarvix::platform;
    if (argc != 3) {
        std::fputs("usage: hive_write_once PREFIX VALUE\n", stderr);
        return 2;
    }
    try {
        wine::WineRegistry registry(argv[1]);
        const auto key = registry.openKey(RegRoot::LocalMachine, "SOFTWARE\\Morvane\\TarvixComps",
                                          KeyAccess::Read | KeyAccess::Write, true);
        if (!key) {
            std::fputs("hive_write_once: the key cannot be opened\n", stderr);
            return 1;
        }
        key->setValue("Caminho D37", RegValue::string(argv[2]));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hive_write_once: %s\n", e.what());
        return 1;
    }
}
