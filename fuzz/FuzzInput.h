#pragma once
// Turns libFuzzer's bytes into the arguments of a call: a few parameter bytes,
// then a NUL-terminated text (libFuzzer's data is not terminated). Outputs are
// heap buffers of exactly their capacity plus one canary unit, so ASan reports
// a write past the capacity and the canary a write onto it.
#include "CodePage932.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tolltone::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }
    // The rest as text of Unit (16-bit units from byte pairs), terminated.
    template <class Unit>
    std::vector<Unit> Text() {
        std::vector<Unit> text;
        if constexpr (sizeof(Unit) == 1) {
            for (; offset_ < size_; ++offset_) text.push_back(static_cast<Unit>(data_[offset_]));
        } else {
            for (; offset_ + 1 < size_; offset_ += 2)
                text.push_back(static_cast<Unit>(data_[offset_] | (data_[offset_ + 1] << 8)));
        }
        text.push_back(Unit(0));
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

template <class Unit>
class Canaried {
public:
    static constexpr Unit Canary = Unit(0x5A);
    explicit Canaried(int capacity) : capacity_(capacity), units_(new Unit[static_cast<size_t>(capacity) + 1]) {
        for (int i = 0; i <= capacity; ++i) units_[i] = Canary;
    }
    ~Canaried() {
        if (units_[capacity_] != Canary) std::abort();  // written past the capacity
        delete[] units_;
    }
    Canaried(const Canaried&) = delete;
    Canaried& operator=(const Canaried&) = delete;
    Unit* Data() { return units_; }
    // The output must be terminated within its capacity.
    int Length() const {
        for (int i = 0; i < capacity_; ++i)
            if (units_[i] == Unit(0)) return i;
        std::abort();
    }

private:
    int capacity_;
    Unit* units_;
};

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// The 8-bit forms run under the code page 932 rule, the 16-bit forms under none.
template <class Unit>
const auto& FuzzRule() {
    if constexpr (sizeof(Unit) == 1) {
        return fakes::CodePage932();
    } else {
        static const NoDoubleByte none;
        return none;
    }
}

// No double-byte character, but not NoDoubleByte: the general algorithms, which
// the faster NoDoubleByte forms must match unit for unit.
struct GeneralNoDoubleByte {
    template <class Unit>
    bool operator()(const Unit*) const { return false; }
};

// A copy-out call: its result must be the length of a terminated output that
// fits the capacity.
template <class Unit, class Run>
void CopyOutCase(int capacity, Run run) {
    Canaried<Unit> out(capacity);
    const int result = run(out.Data(), capacity);
    Check(result >= 0 && result < capacity && result == out.Length());
}

} // namespace tolltone::fuzz
