// Peak level of a buffer of 16-bit samples, as reported to the sink for both
// captured and played buffers: the larger of the highest positive sample and
// the negated lowest negative one, as a truncated percentage of 32768.
#ifndef AUDIO_AUDIOLEVEL_H
#define AUDIO_AUDIOLEVEL_H

#include <cstddef>
#include <cstdint>

inline int PeakLevel(const int16_t* samples, size_t count)
{
    int highest = 0;
    int lowest = 0;
    for (size_t i = 0; i < count; ++i) {
        if (samples[i] > highest) highest = samples[i];
        if (samples[i] < lowest) lowest = samples[i];
    }
    const int peak = highest > -lowest ? highest : -lowest;
    return peak * 100 / 32768;
}

#endif
