// Shows registry values in test failures as their type and bytes.
#pragma once

#include "platform/registry.h"

#include <cstdio>
#include <ostream>

namespace tarvix::platform {

inline void PrintTo(const RegValue& value, std::ostream* os)
{
    *os << "{type " << value.type << ", " << value.data.size() << " bytes:";
    for (unsigned char c : value.data) {
        char buf[4];
        std::snprintf(buf, sizeof buf, " %02x", c);
        *os << buf;
    }
    *os << "}";
}

} // namespace tarvix::platform
