#pragma once

#include <cstdint>
#include <initializer_list>

// A set of up to eight elements of an enumeration, one bit per ordinal, in one byte.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> elements) {
        for (E e : elements) {
            bits_ |= Bit(e);
        }
    }
    static constexpr TSet FromBits(std::uint8_t bits) {
        TSet set;
        set.bits_ = bits;
        return set;
    }

    constexpr std::uint8_t Bits() const { return bits_; }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet& Include(E e) {
        bits_ |= Bit(e);
        return *this;
    }
    friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
    friend constexpr TSet operator|(TSet a, TSet b) { return FromBits(a.bits_ | b.bits_); }
    friend constexpr TSet operator&(TSet a, TSet b) { return FromBits(a.bits_ & b.bits_); }

private:
    static constexpr std::uint8_t Bit(E e) { return std::uint8_t(1u << unsigned(e)); }
    std::uint8_t bits_ = 0;
};
