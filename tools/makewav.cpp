// Writes the start and stop signals: short sine tones as 16-bit mono WAV files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void Put(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// tones: pairs of frequency (Hz) and length (ms); 0 Hz is a pause.
bool WriteTone(const char* path, const std::vector<std::pair<double, int>>& tones) {
    const int rate = 22050;
    std::vector<std::int16_t> samples;
    for (const auto& [frequency, ms] : tones) {
        const int count = rate * ms / 1000;
        for (int i = 0; i < count; ++i) {
            // Short fades keep the tone from clicking.
            const double fade = std::fmin(1.0, std::fmin(i, count - i) / (rate * 0.005));
            const double value =
                frequency > 0 ? std::sin(2 * M_PI * frequency * i / rate) * 0.6 * fade : 0.0;
            samples.push_back(static_cast<std::int16_t>(value * 32767));
        }
    }
    std::vector<unsigned char> out;
    const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put(out, 36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(out, 16, 4);
    Put(out, 1, 2); // PCM
    Put(out, 1, 2); // mono
    Put(out, rate, 4);
    Put(out, rate * 2, 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put(out, data, 4);
    for (std::int16_t sample : samples)
        Put(out, static_cast<std::uint16_t>(sample), 2);
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: makewav START.wav STOPP.wav\n");
        return 2;
    }
    // Start: one high beep. Stop: two lower ones.
    const bool ok =
        WriteTone(argv[1], {{1320, 300}}) && WriteTone(argv[2], {{880, 120}, {0, 60}, {660, 160}});
    return ok ? 0 : 1;
}
