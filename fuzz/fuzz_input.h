#pragma once
// Deterministic splitting of a fuzzer input: option bytes from the front, then texts that end at a
// byte 0. Past the end every byte reads 0 and every text is empty, so short inputs still mean something.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace rowsmith::fuzz {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(reinterpret_cast<const char*>(data), size) {}

    uint8_t Byte() { return pos_ < data_.size() ? static_cast<uint8_t>(data_[pos_++]) : 0; }

    uint32_t Word32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }

    // The bytes up to the next 0 (which is consumed), or up to the end.
    std::string_view Text() {
        const std::string_view rest = data_.substr(pos_);
        const std::size_t zero = rest.find('\0');
        if (zero == std::string_view::npos) {
            pos_ = data_.size();
            return rest;
        }
        pos_ += zero + 1;
        return rest.substr(0, zero);
    }

    bool AtEnd() const { return pos_ >= data_.size(); }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// A broken invariant is a finding: abort, which libFuzzer and the corpus replay both report as a crash.
[[noreturn]] inline void FailCheck(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
    std::abort();
}

}  // namespace rowsmith::fuzz

#define FUZZ_CHECK(cond)                                                     \
    do {                                                                     \
        if (!(cond)) ::rowsmith::fuzz::FailCheck(#cond, __FILE__, __LINE__); \
    } while (0)
