#pragma once
// Sound: the tone generator (beeps and the test tone, synthesised) and the master volume control.
// Both use ALSA. Where no sound card exists they stay silent, say so once in the diagnostic log,
// and otherwise behave as if they had played: no caller waits on sound.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cs {

enum class Waveform { kSine, kSquare, kTriangle, kSawtooth };

struct ToneSpec {
  int frequencyHz = 5000;
  Waveform wave = Waveform::kSawtooth;
  int bits = 8;           // 8 (unsigned samples) or 16 (signed little-endian)
  int sampleRate = 8000;  // "low quality"
  int durationMs = 100;
};

// Interleaved stereo samples of a tone at the given channel volumes (0..100 %), as bytes in the
// PCM format of tone.bits. Pure: tests compare what was played with this.
std::vector<std::uint8_t> SynthesizeTone(const ToneSpec& tone, int leftPct, int rightPct);

class ToneGenerator {
 public:
  // pcmDevice: an ALSA PCM name ("default"; tests use "file:'/path',raw" or "null").
  explicit ToneGenerator(std::string pcmDevice = "default");
  ~ToneGenerator();
  ToneGenerator(const ToneGenerator&) = delete;
  ToneGenerator& operator=(const ToneGenerator&) = delete;

  void SetTone(const ToneSpec& tone) { spec_ = tone; }
  const ToneSpec& Tone() const { return spec_; }
  // Channel volumes in percent, clamped to 0..100.
  void SetVolume(int leftPct, int rightPct);
  int VolumeLeft() const { return left_; }
  int VolumeRight() const { return right_; }

  // Starts the current tone in the background and returns at once. A tone asked for while one
  // plays follows it.
  void PlayAsync();
  // Waits until nothing is queued or playing (tests and shutdown).
  void WaitIdle();
  // How many tones were handed to the device (or dropped silently without one).
  int PlayedCount() const;

 private:
  void Worker();
  bool PlayNow(const std::vector<std::uint8_t>& pcm, const ToneSpec& tone);

  std::string device_;
  ToneSpec spec_;
  int left_ = 100, right_ = 100;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::pair<ToneSpec, std::vector<std::uint8_t>>> queue_;
  bool busy_ = false, stop_ = false, warned_ = false;
  int played_ = 0;
  std::thread worker_;
};

// Master volume: the first mixer control that has a playback volume. Levels are 0..65535 per
// channel (the wave-out convention), mapped onto the control's own range.
class VolumeControl {
 public:
  explicit VolumeControl(std::string mixerDevice = "default");
  // False (logged once) where no card or no playback control exists.
  bool SetLevel(std::uint16_t left, std::uint16_t right);
  // The last level set, whether or not a card took it.
  std::uint16_t LevelLeft() const { return left_; }
  std::uint16_t LevelRight() const { return right_; }

 private:
  std::string device_;
  std::uint16_t left_ = 0, right_ = 0;
  bool warned_ = false;
};

}  // namespace cs
