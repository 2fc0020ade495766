#pragma once
// The DES block cipher (FIPS 46-3), one 64-bit block at a time.
//
// Our own, because stored values, link commands and content addresses are
// single DES, and the system libraries offer single DES only behind
// OpenSSL's legacy provider (not loaded by default, and not to be relied on
// on every machine).  The test vectors in tests/crypto hold it to the
// standard.
//
// A block is held as a 64-bit number whose most significant bit is DES bit
// 1, which is the most significant bit of byte 0 of the 8-byte block.
#include <array>
#include <cstdint>

class DesKeySchedule {
public:
  enum class Direction { Encipher, Decipher };

  // Prepares the sixteen 48-bit subkeys from the 8 key bytes (parity bits
  // ignored); for deciphering they are kept in reverse order.
  DesKeySchedule(const std::array<std::uint8_t, 8> &key, Direction direction);

  std::uint64_t Transform(std::uint64_t block) const;
  void Transform(const std::uint8_t in[8], std::uint8_t out[8]) const;

private:
  std::array<std::uint64_t, 16> subkeys_{};
};
