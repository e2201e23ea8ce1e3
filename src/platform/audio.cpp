#include "platform/audio.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>

#include "platform/log.h"

namespace cs {

namespace {
// libasound reports a missing card on stderr at every open; the diagnostic log says it once.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
struct QuietAlsa {
  QuietAlsa() { snd_lib_error_set_handler(SilentAlsaErrors); }
};
const QuietAlsa g_quiet_alsa;

// One period of the waveform at phase p in [0, 1), in [-1, 1].
double Shape(Waveform w, double p) {
  switch (w) {
    case Waveform::kSine:
      return std::sin(2 * M_PI * p);
    case Waveform::kSquare:
      return p < 0.5 ? 1.0 : -1.0;
    case Waveform::kTriangle:
      return p < 0.25 ? 4 * p : (p < 0.75 ? 2 - 4 * p : 4 * p - 4);
    case Waveform::kSawtooth:
      return 2 * p - 1;
  }
  return 0;
}
}  // namespace

std::vector<std::uint8_t> SynthesizeTone(const ToneSpec& tone, int leftPct, int rightPct) {
  leftPct = std::clamp(leftPct, 0, 100);
  rightPct = std::clamp(rightPct, 0, 100);
  const int rate = std::max(1000, tone.sampleRate);
  const long frames = static_cast<long>(rate) * std::max(0, tone.durationMs) / 1000;
  const bool wide = tone.bits == 16;
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(frames) * (wide ? 4 : 2));
  for (long i = 0; i < frames; ++i) {
    double p = std::fmod(static_cast<double>(i) * tone.frequencyHz / rate, 1.0);
    const double s = Shape(tone.wave, p);
    for (int ch = 0; ch < 2; ++ch) {
      const double v = s * (ch == 0 ? leftPct : rightPct) / 100.0;
      if (wide) {
        const auto x = static_cast<std::int16_t>(std::lround(v * 32767));
        out.push_back(static_cast<std::uint8_t>(x & 0xFF));
        out.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
      } else {
        out.push_back(static_cast<std::uint8_t>(std::lround(128 + v * 127)));
      }
    }
  }
  return out;
}

ToneGenerator::ToneGenerator(std::string pcmDevice)
    : device_(std::move(pcmDevice)), worker_([this] { Worker(); }) {}

ToneGenerator::~ToneGenerator() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  worker_.join();
}

void ToneGenerator::SetVolume(int leftPct, int rightPct) {
  left_ = std::clamp(leftPct, 0, 100);
  right_ = std::clamp(rightPct, 0, 100);
}

void ToneGenerator::PlayAsync() {
  auto pcm = SynthesizeTone(spec_, left_, right_);
  {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(spec_, std::move(pcm));
  }
  cv_.notify_all();
}

void ToneGenerator::WaitIdle() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

int ToneGenerator::PlayedCount() const {
  std::lock_guard lock(mutex_);
  return played_;
}

void ToneGenerator::Worker() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty() && stop_) return;
    auto item = std::move(queue_.front());
    queue_.erase(queue_.begin());
    busy_ = true;
    lock.unlock();
    const bool ok = PlayNow(item.second, item.first);
    lock.lock();
    if (!ok && !warned_) {
      warned_ = true;
      lock.unlock();
      LogDiag("sound", "no sound device \"" + device_ + "\": tones stay silent");
      lock.lock();
    }
    ++played_;
    busy_ = false;
    cv_.notify_all();
  }
}

bool ToneGenerator::PlayNow(const std::vector<std::uint8_t>& pcm, const ToneSpec& tone) {
  snd_pcm_t* h = nullptr;
  if (snd_pcm_open(&h, device_.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
  const bool wide = tone.bits == 16;
  const int err = snd_pcm_set_params(
      h, wide ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
      static_cast<unsigned>(std::max(1000, tone.sampleRate)), 1, 200000);
  if (err < 0) {
    snd_pcm_close(h);
    return false;
  }
  const std::size_t frameBytes = wide ? 4 : 2;
  snd_pcm_uframes_t left = pcm.size() / frameBytes;
  const std::uint8_t* p = pcm.data();
  while (left > 0) {
    snd_pcm_sframes_t n = snd_pcm_writei(h, p, left);
    if (n == -EPIPE || n == -EINTR || n == -ESTRPIPE) {
      if (snd_pcm_recover(h, static_cast<int>(n), 1) < 0) break;
      continue;
    }
    if (n < 0) break;
    left -= static_cast<snd_pcm_uframes_t>(n);
    p += static_cast<std::size_t>(n) * frameBytes;
  }
  snd_pcm_drain(h);
  snd_pcm_close(h);
  return true;
}

VolumeControl::VolumeControl(std::string mixerDevice) : device_(std::move(mixerDevice)) {}

bool VolumeControl::SetLevel(std::uint16_t left, std::uint16_t right) {
  left_ = left;
  right_ = right;
  snd_mixer_t* m = nullptr;
  bool ok = false;
  if (snd_mixer_open(&m, 0) == 0) {
    if (snd_mixer_attach(m, device_.c_str()) == 0 &&
        snd_mixer_selem_register(m, nullptr, nullptr) == 0 && snd_mixer_load(m) == 0) {
      for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_has_playback_volume(e)) continue;
        long lo = 0, hi = 0;
        snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
        auto scale = [&](std::uint16_t v) { return lo + (hi - lo) * static_cast<long>(v) / 65535; };
        snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, scale(left));
        snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, scale(right));
        ok = true;
        break;
      }
    }
    snd_mixer_close(m);
  }
  if (!ok && !warned_) {
    warned_ = true;
    LogDiag("sound", "no mixer control with a playback volume on \"" + device_ +
                         "\": master volume unchanged");
  }
  return ok;
}

}  // namespace cs
