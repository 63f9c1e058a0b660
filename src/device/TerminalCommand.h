#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The Custom Command dialog's rules without the dialog: reading the framing
// bytes the user types, showing the checksum, and building the frame that
// goes on the wire. Pure functions, safe from any thread.
namespace kestrova {

// The standard unsigned base-16 conversion to 32 bits: leading white space
// skipped, an optional sign, an optional "0x"/"0X" prefix, digits up to the
// first character that is not a hexadecimal digit. No digits give 0; a value
// beyond 32 bits gives 0xFFFFFFFF; a minus sign negates modulo 2^32.
std::uint32_t ParseHexUnsigned32(std::string_view text);

// A framing byte typed as hexadecimal text: the low 8 bits of the
// conversion above ("0x02", "02" and "2" give 0x02; "0x1FF" gives 0xFF).
// Nothing when the text holds no hexadecimal digit ("", "xyz", a bare "0x"):
// a zero byte only where the user typed a zero ("0", "00", "0x00").
std::optional<std::uint8_t> FramingByte(std::string_view text);

// The checksum as the dialog shows it: "0x" and two upper-case hexadecimal
// digits.
std::string ChecksumDisplay(std::uint8_t checksum);

// The frame of a typed command: the start byte, the command's bytes as they
// are, the checksum as two upper-case hexadecimal digits when one is given,
// and the end byte. Built as bytes, so a start or end byte of 0x00 and any
// byte of the command go on the wire as given. Without a start byte the
// frame is empty (nothing is sent); without an end byte it ends after the
// command (or its checksum).
std::vector<std::uint8_t> TerminalFrame(std::optional<std::uint8_t> start, std::span<const std::uint8_t> command,
                                        std::optional<std::uint8_t> checksum, std::optional<std::uint8_t> end);

// A received payload as text: its bytes up to the first zero byte.
std::string_view PayloadText(std::span<const std::uint8_t> payload);

}  // namespace kestrova
