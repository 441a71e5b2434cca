#pragma once

#include <cstddef>
#include <string>

namespace kovi {

// Where an encoder puts the bytes of a file.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends all of `size` bytes or fails, with the reason in error().
    virtual bool write(const void* data, std::size_t size) = 0;
    virtual const std::string& error() const = 0;
};

} // namespace kovi
