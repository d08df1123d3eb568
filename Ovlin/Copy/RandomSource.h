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

// An index below `count` without modulo bias: the high half of the 128-bit product of a 64-bit draw
// and `count`, drawing again while the low half is below (2^64 - count) mod count. 0 for a count of 0.
quint64 uniformIndex(RandomSource &source, quint64 count);

} // namespace ovlin
