#pragma once

#include <QtGlobal>

#include <memory>

namespace ovlin {

// Where the copy engine's random draws come from. The engine uses the system's secure source;
// tests hand it a scripted one.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual quint64 next64() = 0;
};

// Draws from QRandomGenerator::system() (the operating system's cryptographically secure source).
class SystemRandomSource final : public RandomSource
{
public:
    quint64 next64() override;
};

std::shared_ptr<RandomSource> systemRandomSource();

// Repeatable 64-bit draws (SplitMix64) from a seed: the same pictures in the gallery, the same runs in tests.
class SeededRandomSource final : public RandomSource
{
public:
    explicit SeededRandomSource(quint64 seed) : m_state(seed) {}
    quint64 next64() override
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    quint64 m_state;
};

// An index below `count` without modulo bias: the high half of the 128-bit product of a 64-bit draw
// and `count`, drawing again while the low half is below (2^64 - count) mod count. 0 for a count of 0.
quint64 uniformIndex(RandomSource &source, quint64 count);

} // namespace ovlin
