// Writes the "TIMEOUT" sound: PCM, mono, 8 bit, 22,050 Hz, 33,074 sample bytes (about 1.5 s),
// two falling tones with soft edges so it never clicks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint32_t SampleRate = 22050;
constexpr std::uint32_t SampleBytes = 33074;
constexpr double Pi = 3.14159265358979323846;

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint8_t Sample(std::uint32_t i) {
  const double t = static_cast<double>(i) / SampleRate;
  const double half = static_cast<double>(SampleBytes) / SampleRate / 2.0;
  const double local = std::fmod(t, half);
  const double frequency = t < half ? 880.0 : 587.33;
  const double fade = std::min({1.0, local / 0.02, (half - local) / 0.08});
  const double value = 0.6 * fade * std::sin(2.0 * Pi * frequency * local);
  return static_cast<std::uint8_t>(std::lround(128.0 + 127.0 * value));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
    return 2;
  }
  std::string wave = "RIFF";
  PutLe(wave, 36 + SampleBytes, 4);
  wave += "WAVEfmt ";
  PutLe(wave, 16, 4);
  PutLe(wave, 1, 2);  // PCM
  PutLe(wave, 1, 2);  // mono
  PutLe(wave, SampleRate, 4);
  PutLe(wave, SampleRate, 4);  // bytes per second
  PutLe(wave, 1, 2);           // block align
  PutLe(wave, 8, 2);           // bits per sample
  wave += "data";
  PutLe(wave, SampleBytes, 4);
  for (std::uint32_t i = 0; i < SampleBytes; ++i) wave += static_cast<char>(Sample(i));

  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(wave.data(), 1, wave.size(), file) == wave.size();
  return (std::fclose(file) == 0 && written) ? 0 : 1;
}
