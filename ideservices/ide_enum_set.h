// A set of the members of an enumeration, stored as bits indexed by each member's ordinal (the way the IDE
// services keep personalities and command-line tools).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace tarvix {

template <typename E>
class TIdeEnumSet {
public:
    using Bits = uint64_t;

    constexpr TIdeEnumSet() = default;
    constexpr TIdeEnumSet(std::initializer_list<E> members)
    {
        for (E m : members)
            Include(m);
    }

    constexpr bool Contains(E m) const { return (FBits & bit(m)) != 0; }
    constexpr void Include(E m) { FBits |= bit(m); }
    constexpr void Exclude(E m) { FBits &= ~bit(m); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr Bits AsBits() const { return FBits; }

    constexpr TIdeEnumSet operator+(TIdeEnumSet o) const { return FromBits(FBits | o.FBits); }
    constexpr TIdeEnumSet operator-(TIdeEnumSet o) const { return FromBits(FBits & ~o.FBits); }
    constexpr TIdeEnumSet operator*(TIdeEnumSet o) const { return FromBits(FBits & o.FBits); }
    constexpr bool operator==(const TIdeEnumSet&) const = default;

    static constexpr TIdeEnumSet FromBits(Bits bits)
    {
        TIdeEnumSet s;
        s.FBits = bits;
        return s;
    }

private:
    static constexpr Bits bit(E m) { return Bits{1} << static_cast<std::underlying_type_t<E>>(m); }
    Bits FBits = 0;
};

} // namespace tarvix
