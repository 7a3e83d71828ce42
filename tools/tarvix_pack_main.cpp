// tarvix-pack: see tools/tarvix_pack.h.
#include <iostream>

#include "tools/tarvix_pack.h"

int main(int argc, char** argv)
{
    return tarvix::pack::Main(argc, argv, std::cout, std::cerr);
}
