#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Small text helpers shared by every layer. Texts are UTF-8.

// True when a and b are equal with the ASCII letters compared without regard to case.
bool SameText(std::string_view a, std::string_view b);

// The program's integer conversion: optional blanks, an optional sign, decimal digits 0-9
// and nothing after them, within 32 bits. False, and value untouched, for any other text.
bool TryStrToInt(std::string_view text, std::int32_t& value);
// As TryStrToInt; raises EConvertError "'<text>' is not a valid integer value" instead.
std::int32_t StrToInt(std::string_view text);

// Returned by DecodeUtf8 for a byte that does not start a well-formed sequence.
inline constexpr char32_t InvalidCodePoint = 0xFFFFFFFF;

// The code point at pos and its length in bytes; InvalidCodePoint, length 1, for a byte
// that does not start a well-formed UTF-8 sequence (overlong forms, surrogates and values
// above U+10FFFF included).
char32_t DecodeUtf8(std::string_view text, std::size_t pos, std::size_t& length);
// True for the bytes that continue a UTF-8 sequence.
bool IsUtf8Continuation(char c);
// The byte offset of the character with 0-based index n; the text's size when it has
// fewer characters. A character is a lead byte and the continuation bytes after it.
std::size_t Utf8Offset(std::string_view text, std::size_t n);
