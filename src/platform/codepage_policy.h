// The parts of the code page 932 mapping that are fixed by this tool rather
// than taken from the system's converter (see codepage.h), shared by every
// platform's body so that the bodies cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char QuestionMark = '?';
constexpr char16_t KatakanaMiddleDot = 0x30FB;

// Lead bytes of a two-byte character: 81-9F and E0-FC.
bool IsLeadByte(uint8_t b);
// Bytes that can follow a lead byte: 40-7E and 80-FC.
bool IsTrailByte(uint8_t b);

// The single byte for U+0080 and U+F8F0-U+F8F3 (80, A0, FD, FE, FF); 0 for
// any other unit.
char UnitSingleByte(char16_t u);
// The unit for the single bytes 80, A0, FD, FE and FF; 0 for any other byte.
char16_t SingleByteExtra(uint8_t b);

// Units that become "?" although a converter may give them bytes: those
// that would not come back as themselves, and every surrogate.
bool HasNoRoundTrip(char16_t u);

// Units that the policy maps itself, never the system's converter.
bool IsSpecialUnit(char16_t u);

// The unit for the character at `bytes` that the converter refused, and the
// number of bytes (1 or 2) it stands for. Sets `replaced` when it is U+30FB.
char16_t RefusedCharacter(const uint8_t* bytes, size_t left, size_t* taken, bool* replaced);
