// Set<E>: a set of the values of an enumeration, held as bits.
//
// The enumeration's values are its ordinals 0..N-1 (at most 64), as the
// framework's sets are; Set<E> is a value type with the set operators.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

template <typename E>
class Set {
  static_assert(std::is_enum_v<E>, "Set<E> holds values of an enumeration");

public:
  constexpr Set() = default;
  constexpr Set(std::initializer_list<E> values) {
    for (E v : values) bits_ |= bit(v);
  }
  static constexpr Set FromBits(uint64_t bits) {
    Set s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Contains(E v) const { return (bits_ & bit(v)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }
  constexpr void Include(E v) { bits_ |= bit(v); }
  constexpr void Exclude(E v) { bits_ &= ~bit(v); }

  constexpr Set operator+(Set o) const { return FromBits(bits_ | o.bits_); }
  constexpr Set operator-(Set o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr Set operator*(Set o) const { return FromBits(bits_ & o.bits_); }
  constexpr Set& operator+=(Set o) { bits_ |= o.bits_; return *this; }
  constexpr Set& operator-=(Set o) { bits_ &= ~o.bits_; return *this; }
  constexpr Set& operator*=(Set o) { bits_ &= o.bits_; return *this; }
  constexpr Set operator+(E v) const { return *this + Set{v}; }
  constexpr Set operator-(E v) const { return *this - Set{v}; }
  constexpr bool operator<=(Set o) const { return (bits_ & ~o.bits_) == 0; }  // subset
  constexpr bool operator>=(Set o) const { return o <= *this; }
  constexpr bool operator==(const Set&) const = default;

private:
  static constexpr uint64_t bit(E v) { return uint64_t{1} << static_cast<unsigned>(v); }
  uint64_t bits_ = 0;
};
