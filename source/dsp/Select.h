#pragma once
#include <cstdint>
#include <cstring>

namespace br::dsp
{
/** How a per-sample choice between two values is made. Both give the same bits;
    they differ only in what the compiler can do with them. */
enum class Choice
{
    /** On the bit patterns, for loops that must vectorise. With the default
        -ftrapping-math, GCC moves a value that only one arm of a ?: needs into a
        branch and then refuses to vectorise the loop, because it may not compute
        float maths speculatively. Selecting the bits uses both values, so both are
        computed and the select becomes a mask. */
    lanes,
    /** An ordinary ?:, for scalar code, where a predictable branch is cheaper than
        moving the values through integer registers. */
    branch
};

/** `condition ? whenTrue : whenFalse`, bit for bit, NaN and signed zero included. */
template <Choice how = Choice::lanes> inline float select (bool condition, float whenTrue, float whenFalse) noexcept
{
    if constexpr (how == Choice::branch)
    {
        return condition ? whenTrue : whenFalse;
    }
    else
    {
        std::uint32_t t, f;
        std::memcpy (&t, &whenTrue, sizeof (t));
        std::memcpy (&f, &whenFalse, sizeof (f));
        const std::uint32_t mask = 0u - static_cast<std::uint32_t> (condition);
        const std::uint32_t bits = (t & mask) | (f & ~mask);
        float result;
        std::memcpy (&result, &bits, sizeof (result));
        return result;
    }
}
} // namespace br::dsp
