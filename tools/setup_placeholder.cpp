// Stands in for the setup executable while the wizard is not built (a build without Qt): tarvix-pack appends the
// sample edition to it, so that the payload can be listed (tarvix-pack --list) and unpacked by the tests.
#include <cstdio>

int main()
{
    std::puts("tarvix-setup placeholder: the installation wizard is not part of this build. This file carries a "
              "payload; tarvix-pack --list shows it.");
    return 1;
}
