#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Takes the fuzzer's bytes apart: small numbers from the front, the rest as it is.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : m_data(data), m_size(size)
    {
    }

    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    // Up to `count` bytes, fewer at the end of the input.
    const std::uint8_t *take(std::size_t count, std::size_t &taken)
    {
        taken = count < m_size - m_pos ? count : m_size - m_pos;
        const std::uint8_t *at = m_data + m_pos;
        m_pos += taken;
        return at;
    }

    const std::uint8_t *rest(std::size_t &size) { return take(m_size - m_pos, size); }
    bool atEnd() const { return m_pos >= m_size; }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// A property that failed: libFuzzer keeps the input that broke it.
#define FUZZ_ASSERT(condition)                                                              \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)
