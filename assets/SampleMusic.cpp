#include "SampleAlbum.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lumavo::samples {

namespace {

constexpr int kSampleRate = 44100;
constexpr double kBeat = 0.625; // 96 beats a minute
constexpr double kPi = 3.14159265358979323846;

struct Note {
    int midi; // 0 is a rest
    double beats;
};

double Frequency(int midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// A plucked string: a few harmonics, the higher ones dying sooner, a short
// attack and a soft release at the end so nothing clicks.
void Pluck(std::vector<double>& out, double start, double frequency, double ring, double loudness)
{
    const int first = static_cast<int>(start * kSampleRate);
    const int length = static_cast<int>(ring * kSampleRate);
    constexpr double kAttack = 0.008;
    constexpr double kRelease = 0.08;
    const double harmonics[] = { 1.0, 0.42, 0.22, 0.12, 0.06 };
    for (int i = 0; i < length && first + i < static_cast<int>(out.size()); ++i) {
        const double t = double(i) / kSampleRate;
        double envelope = std::min(1.0, t / kAttack);
        envelope *= std::min(1.0, (ring - t) / kRelease);
        double value = 0.0;
        for (int k = 0; k < 5; ++k) {
            const double decay = std::exp(-t * (1.6 + 1.4 * k));
            value += harmonics[k] * decay * std::sin(2.0 * kPi * frequency * (k + 1) * t);
        }
        out[first + i] += loudness * envelope * value;
    }
}

void AppendLittleEndian(QByteArray& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray WavFile(const std::vector<int16_t>& samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    QByteArray bytes;
    bytes.reserve(int(44 + dataBytes));
    bytes.append("RIFF");
    AppendLittleEndian(bytes, 36 + dataBytes, 4);
    bytes.append("WAVEfmt ");
    AppendLittleEndian(bytes, 16, 4); // format chunk size
    AppendLittleEndian(bytes, 1, 2); // PCM
    AppendLittleEndian(bytes, 1, 2); // mono
    AppendLittleEndian(bytes, kSampleRate, 4);
    AppendLittleEndian(bytes, kSampleRate * 2, 4); // bytes a second
    AppendLittleEndian(bytes, 2, 2); // bytes a frame
    AppendLittleEndian(bytes, 16, 2); // bits a sample
    bytes.append("data");
    AppendLittleEndian(bytes, dataBytes, 4);
    for (int16_t sample : samples)
        AppendLittleEndian(bytes, static_cast<uint16_t>(sample), 2);
    return bytes;
}

} // namespace

QByteArray SynthesiseSampleMusic()
{
    // D major pentatonic, four bars of four beats, ending at home.
    const std::vector<Note> melody = {
        { 69, 1 }, { 71, 0.5 }, { 69, 0.5 }, { 66, 1 }, { 64, 1 }, // A B A F# E
        { 62, 1 }, { 64, 0.5 }, { 66, 0.5 }, { 69, 2 }, // D E F# A
        { 71, 1 }, { 74, 0.5 }, { 71, 0.5 }, { 69, 1 }, { 66, 1 }, // B D B A F#
        { 64, 1 }, { 66, 0.5 }, { 64, 0.5 }, { 62, 2 }, // E F# E D
    };
    const std::vector<int> bass = { 50, 47, 43, 45 }; // D B G A, one a bar
    const double tail = 1.6;
    const double length = 16 * kBeat + tail;
    std::vector<double> mix(static_cast<size_t>(length * kSampleRate), 0.0);

    double time = 0.0;
    for (const Note& note : melody) {
        const double duration = note.beats * kBeat;
        if (note.midi > 0)
            Pluck(mix, time, Frequency(note.midi), std::min(duration + 0.9, 2.4), 0.55);
        time += duration;
    }
    for (size_t bar = 0; bar < bass.size(); ++bar) {
        const double start = bar * 4 * kBeat;
        Pluck(mix, start, Frequency(bass[bar]), 4 * kBeat + 0.3, 0.35);
        // The fifth above on the third beat, quieter, for a little movement.
        Pluck(mix, start + 2 * kBeat, Frequency(bass[bar] + 7), 2 * kBeat + 0.3, 0.18);
    }
    // The last chord rings out over the tail.
    Pluck(mix, 16 * kBeat, Frequency(50), tail, 0.25);
    Pluck(mix, 16 * kBeat, Frequency(57), tail, 0.15);

    double peak = 1e-9;
    for (double value : mix)
        peak = std::max(peak, std::abs(value));
    const double gain = 0.7 / peak;
    std::vector<int16_t> samples(mix.size());
    const size_t fadeStart = mix.size() - static_cast<size_t>(0.8 * kSampleRate);
    for (size_t i = 0; i < mix.size(); ++i) {
        double value = mix[i] * gain;
        if (i >= fadeStart)
            value *= double(mix.size() - i) / double(mix.size() - fadeStart);
        samples[i] = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
    }
    return WavFile(samples);
}

} // namespace lumavo::samples
