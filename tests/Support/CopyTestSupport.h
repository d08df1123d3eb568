#pragma once

#include "Copy/CopyEngine.h"
#include "Copy/RandomSource.h"

#include <memory>

namespace copytest {

// Repeatable draws that count themselves: the copy engine draws once for each pick among two or more texts.
class CountingRandom final : public ovlin::RandomSource
{
public:
    explicit CountingRandom(quint64 seed) : m_seeded(seed) {}
    quint64 next64() override
    {
        ++draws;
        return m_seeded.next64();
    }

    int draws = 0;

private:
    ovlin::SeededRandomSource m_seeded;
};

// Gives the shared copy engine a counting source while it lives, then the engine's own source again.
class CountedPicks
{
public:
    explicit CountedPicks(quint64 seed = 7) : m_random(std::make_shared<CountingRandom>(seed))
    {
        ovlin::CopyEngine::shared().setRandomSource(m_random);
    }
    ~CountedPicks() { ovlin::CopyEngine::shared().setRandomSource(nullptr); }
    CountedPicks(const CountedPicks &) = delete;
    CountedPicks &operator=(const CountedPicks &) = delete;

    int count() const { return m_random->draws; }

private:
    std::shared_ptr<CountingRandom> m_random;
};

} // namespace copytest
