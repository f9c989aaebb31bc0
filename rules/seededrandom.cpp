// SPDX-License-Identifier: MIT
#include "seededrandom.h"

#include <bit>

namespace
{

quint64 splitMix(quint64 &state)
{
    quint64 z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

} // namespace

SeededRandom::SeededRandom(quint64 processSalt)
    : m_salt(processSalt)
{
}

void SeededRandom::reseed(float timerValue)
{
    quint64 mix = std::bit_cast<quint32>(timerValue);
    mix ^= std::rotl(++m_reseeds * 0xd1b54a32d192ed03ULL, 23);
    mix ^= m_salt;
    m_state = splitMix(mix);
}

double SeededRandom::next()
{
    return static_cast<double>(splitMix(m_state) >> 11) * 0x1.0p-53;
}
