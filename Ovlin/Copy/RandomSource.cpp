#include "Copy/RandomSource.h"

#include <QRandomGenerator>

namespace ovlin {

quint64 SystemRandomSource::next64()
{
    return QRandomGenerator::system()->generate64();
}

std::shared_ptr<RandomSource> systemRandomSource()
{
    static const std::shared_ptr<RandomSource> source = std::make_shared<SystemRandomSource>();
    return source;
}

quint64 uniformIndex(RandomSource &source, quint64 count)
{
    if (count == 0)
        return 0;
    __extension__ typedef unsigned __int128 Wide;
    // (2^64 - count) mod count, computed in 64 bits as (0 - count) mod count.
    const quint64 threshold = (quint64(0) - count) % count;
    for (;;) {
        const Wide product = Wide(source.next64()) * count;
        if (quint64(product) >= threshold)
            return quint64(product >> 64);
    }
}

} // namespace ovlin
