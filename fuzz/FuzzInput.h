#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The input's pieces between NUL bytes: command-line arguments, or a record's fields.
inline std::vector<std::string> PiecesBetweenNuls(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            pieces.emplace_back();
        else
            pieces.back() += static_cast<char>(data[i]);
    }
    return pieces;
}
