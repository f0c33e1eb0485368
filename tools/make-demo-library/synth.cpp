#include "synth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace demo {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kStepsPerBar = 16;
constexpr std::array<int, 7> kMinorScale = {0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> kMajorScale = {0, 2, 4, 5, 7, 9, 11};

// xorshift32: the same sequence on every compiler and library.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // Uniform in [-1, 1).
  float Bipolar() { return static_cast<float>(Next() >> 8) / 8388608.0f - 1.0f; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t state_;
};

double NoteHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// One-pole low-pass; `Set` takes the cutoff in Hz (cheap enough to call per sample).
class LowPass {
 public:
  void Set(double hz, int sampleRate) {
    double w = kTwoPi * hz / sampleRate;
    a_ = static_cast<float>(w / (1.0 + w));
  }
  float operator()(float x) { return y_ += a_ * (x - y_); }

 private:
  float a_ = 1.0f;
  float y_ = 0.0f;
};

// An exponential decay from 1 by `rate` per second, one sample at a time.
class Decay {
 public:
  void Start(double rate, int sampleRate) {
    value_ = 1.0f;
    factor_ = static_cast<float>(std::exp(-rate / sampleRate));
  }
  float Next() {
    float v = value_;
    value_ *= factor_;
    return v;
  }

 private:
  float value_ = 0.0f;
  float factor_ = 0.0f;
};

// Sawtooth with polyBLEP corrections at the wrap, so high notes do not alias.
class Saw {
 public:
  void SetHz(double hz, int sampleRate) { step_ = hz / sampleRate; }
  float Next() {
    double t = phase_;
    phase_ += step_;
    if (phase_ >= 1.0) phase_ -= 1.0;
    double v = 2.0 * t - 1.0;
    if (t < step_) {
      double x = t / step_;
      v -= x + x - x * x - 1.0;
    } else if (t > 1.0 - step_) {
      double x = (t - 1.0) / step_;
      v -= x * x + x + x + 1.0;
    }
    return static_cast<float>(v);
  }

 private:
  double phase_ = 0.0;
  double step_ = 0.0;
};

// What plays in each part of the arrangement.
struct Section {
  bool kick = false, clap = false, hats = false, bass = false, chords = false, lead = false;
  double brightness = 0.0;  // 0..1, opens the chord and bass filters
};

// Intro, groove, breakdown, drop and outro in the proportions 1:3:1:2:1.
Section SectionOfBar(int bar, int bars) {
  int introEnd = std::max(2, bars / 8 / 2 * 2);
  int grooveEnd = std::max(introEnd + 2, bars / 2 / 4 * 4);
  int breakEnd = std::max(grooveEnd + 2, bars * 5 / 8 / 2 * 2);
  int dropEnd = std::max(breakEnd + 2, bars * 7 / 8 / 2 * 2);
  if (bar < introEnd) {
    return {.kick = true, .hats = true, .chords = true, .brightness = 0.15 + 0.5 * bar / introEnd};
  }
  if (bar < grooveEnd) {
    return {.kick = true, .clap = true, .hats = true, .bass = true, .chords = true, .brightness = 0.7};
  }
  if (bar < breakEnd) {
    double rise = 0.3 + 0.6 * (bar - grooveEnd) / (breakEnd - grooveEnd);
    return {.hats = bar >= breakEnd - 2, .chords = true, .lead = true, .brightness = rise};
  }
  if (bar < dropEnd) {
    return {.kick = true, .clap = true, .hats = true, .bass = true, .chords = true, .lead = true, .brightness = 1.0};
  }
  return {.kick = true, .clap = bar < dropEnd + 2, .hats = true, .bass = true, .brightness = 0.5};
}

// Sixteenth steps (bit n = step n of the bar) on which each part strikes.
struct Pattern {
  uint16_t kick, clap, closedHat, openHat, bass, bassOctave;
};

Pattern PatternOf(Groove groove, Random& random) {
  switch (groove) {
    case Groove::kFourOnTheFloor: {
      uint16_t extraBass = static_cast<uint16_t>(1u << (1 + 4 * random.Below(4)));
      return {0x1111, 0x1010, 0xFFFF, 0x0000, static_cast<uint16_t>(0x4444 | extraBass), 0x0000};
    }
    case Groove::kHalfTime: return {0x0401, 0x0100, 0x5555, 0x4000, 0x4949, 0x0000};
    case Groove::kDisco: return {0x1111, 0x1010, 0x1111, 0x4444, 0x5555, 0x4444};
  }
  return {};
}

// Soft saturation that keeps the peaks below full scale.
float SoftClip(float x) {
  x = std::clamp(x, -3.0f, 3.0f);
  return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}

class SongRenderer {
 public:
  explicit SongRenderer(const SongPlan& plan) : plan_(plan), random_(plan.seed) {
    sampleRate_ = plan.sampleRate;
    samplesPerStep_ = sampleRate_ * 60.0 / plan.bpm / 4.0;
    totalFrames_ = static_cast<int64_t>(plan.seconds) * sampleRate_;
    bars_ = static_cast<int>(totalFrames_ / (samplesPerStep_ * kStepsPerBar)) + 1;
    pattern_ = PatternOf(plan.groove, random_);
    for (int& step : leadSteps_) step = random_.Below(5) - 1;  // -1 rests
    hatLowPass_.Set(7000, sampleRate_);
    clapHighPass_.Set(900, sampleRate_);
    clapLowPass_.Set(5000, sampleRate_);
    leadLowPass_.Set(2500, sampleRate_);
    echo_.assign(static_cast<size_t>(samplesPerStep_ * 3), 0.0f);
  }

  std::vector<int16_t> Render() {
    std::vector<int16_t> pcm(static_cast<size_t>(totalFrames_) * 2);
    int64_t step = -1;
    Section section{};
    for (int64_t n = 0; n < totalFrames_; ++n) {
      int64_t stepNow = static_cast<int64_t>(n / samplesPerStep_);
      if (stepNow != step) {
        step = stepNow;
        int bar = static_cast<int>(step / kStepsPerBar);
        section = SectionOfBar(bar, bars_);
        StartStep(static_cast<int>(step % kStepsPerBar), bar, section);
      }
      float left = 0.0f;
      float right = 0.0f;
      Mix(section, &left, &right);
      float fade = Fade(n);
      pcm[2 * n] = ToSample(left * fade);
      pcm[2 * n + 1] = ToSample(right * fade);
    }
    return pcm;
  }

 private:
  // One struck part: time since the strike, its loudness and its envelopes.
  struct Voice {
    double t = 1e9;
    float velocity = 0.0f;
    double phase = 0.0;
    Decay amp, shape, click;  // loudness; pitch or filter sweep; attack transient

    void Strike(float strikeVelocity, double ampRate, double shapeRate, double clickRate, int sampleRate) {
      t = 0.0;
      velocity = strikeVelocity;
      amp.Start(ampRate, sampleRate);
      shape.Start(shapeRate, sampleRate);
      click.Start(clickRate, sampleRate);
    }
  };

  static int16_t ToSample(float x) { return static_cast<int16_t>(std::lrint(SoftClip(x) * 30000.0f)); }

  float Fade(int64_t n) const {
    double seconds = static_cast<double>(n) / sampleRate_;
    double left = static_cast<double>(totalFrames_ - n) / sampleRate_;
    return static_cast<float>(std::min({1.0, seconds / 0.5, left / 4.0}));
  }

  int ScaleSemitones(int degree) const {
    const auto& scale = plan_.minor ? kMinorScale : kMajorScale;
    return scale[degree % 7] + 12 * (degree / 7);
  }

  // Chord tones of the bar's chord as MIDI notes near the key's root.
  std::array<int, 3> ChordNotes(int bar) const {
    int degree = plan_.progression[bar % 4];
    std::array<int, 3> notes{};
    for (int i = 0; i < 3; ++i) {
      int note = plan_.rootNote + ScaleSemitones(degree + 2 * i);
      notes[i] = note > plan_.rootNote + 9 ? note - 12 : note;
    }
    return notes;
  }

  static bool Strikes(uint16_t mask, int step) { return (mask >> step) & 1; }

  void StartStep(int step, int bar, const Section& section) {
    if (section.kick && Strikes(pattern_.kick, step)) {
      kick_.Strike(1.0f, 6.0, 28.0, 500.0, sampleRate_);
      duck_.Start(9.0, sampleRate_);
    }
    if (section.clap && Strikes(pattern_.clap, step)) clap_.Strike(1.0f, 18.0, 30.0, 140.0, sampleRate_);
    if (section.hats && Strikes(pattern_.closedHat, step)) {
      float accent = step % 4 == 2 ? 1.0f : 0.35f + 0.25f * (random_.Below(100) / 100.0f);
      closedHat_.Strike(accent, 70.0, 0.0, 0.0, sampleRate_);
    }
    if (section.hats && Strikes(pattern_.openHat, step)) openHat_.Strike(0.8f, 11.0, 0.0, 0.0, sampleRate_);
    if (section.bass && Strikes(pattern_.bass, step)) {
      int root = ChordNotes(bar)[0] - 24 + (Strikes(pattern_.bassOctave, step) ? 12 : 0);
      bass_.Strike(1.0f, 3.0, 14.0, 90.0, sampleRate_);
      bassSaw_.SetHz(NoteHz(root), sampleRate_);
      bassSubHz_ = NoteHz(root - 12);
      bassBrightness_ = section.brightness;
    }
    if (step == 0) {
      std::array<int, 3> notes = ChordNotes(bar);
      for (int i = 0; i < 3; ++i) {
        padSaws_[2 * i].SetHz(NoteHz(notes[i] - 0.08), sampleRate_);
        padSaws_[2 * i + 1].SetHz(NoteHz(notes[i] + 0.08), sampleRate_);
      }
      for (LowPass& filter : padLowPass_) filter.Set(250 + 3500 * section.brightness, sampleRate_);
    }
    int leadTone = leadSteps_[step];
    if (section.lead && leadTone >= 0) {
      std::array<int, 3> notes = ChordNotes(bar);
      double note = leadTone == 3 ? notes[0] + 24 : notes[leadTone] + 12;
      lead_.Strike(1.0f, 9.0, 0.0, 0.0, sampleRate_);
      leadStep_ = NoteHz(note) / sampleRate_;
    }
  }

  void Mix(const Section& section, float* left, float* right) {
    const double dt = 1.0 / sampleRate_;
    float center = 0.0f;

    // Kick: a sine falling from ~170 Hz to 48 Hz with a click at the start;
    // the other parts duck under it.
    float duck = 1.0f;
    if (kick_.t < 0.45) {
      kick_.phase += (48.0 + 120.0 * kick_.shape.Next()) * dt;
      float body = static_cast<float>(std::sin(kTwoPi * kick_.phase)) * kick_.amp.Next();
      float click = random_.Bipolar() * kick_.click.Next() * 0.25f;
      center += 0.85f * (body + click);
      duck = 1.0f - 0.65f * duck_.Next();
    }
    kick_.t += dt;

    // Clap: band-passed noise with a quick flutter, over a low tone.
    if (clap_.t < 0.3) {
      float noise = random_.Bipolar();
      float band = clapLowPass_(noise - clapHighPass_(noise));
      float flutter = clap_.t < 0.025 && std::fmod(clap_.t, 0.009) < 0.003 ? 0.6f : 0.0f;
      clap_.phase += 185.0 * dt;
      float tone = static_cast<float>(std::sin(kTwoPi * clap_.phase)) * clap_.shape.Next();
      center += 0.4f * (clap_.amp.Next() + flutter) * band + 0.12f * tone;
    }
    clap_.t += dt;

    float hats = 0.0f;
    if (closedHat_.t < 0.08 || openHat_.t < 0.4) {
      float noise = random_.Bipolar();
      float air = noise - hatLowPass_(noise);
      float closed = closedHat_.t < 0.08 ? closedHat_.velocity * closedHat_.amp.Next() : 0.0f;
      float open = openHat_.t < 0.4 ? openHat_.velocity * openHat_.amp.Next() : 0.0f;
      hats = air * (closed + open);
    }
    closedHat_.t += dt;
    openHat_.t += dt;

    // Bass: a filtered saw over a sine an octave down, plucked by a filter sweep.
    const double gate = samplesPerStep_ * 1.5 / sampleRate_;
    if (bass_.t < gate + 0.05) {
      float env = std::min(1.0f, static_cast<float>(bass_.t / 0.004)) * bass_.amp.Next();
      if (bass_.t > gate) env *= bass_.click.Next();
      bassSubPhase_ += bassSubHz_ * dt;
      bassLowPass_.Set(180.0 + (400.0 + 900.0 * bassBrightness_) * bass_.shape.Next(), sampleRate_);
      float tone = bassLowPass_(bassSaw_.Next()) + 0.6f * static_cast<float>(std::sin(kTwoPi * bassSubPhase_));
      center += 0.42f * env * tone * (0.5f + 0.5f * duck);
    }
    bass_.t += dt;

    // Chords: detuned saw pairs, one of each pair on each side.
    float padLeft = 0.0f;
    float padRight = 0.0f;
    if (section.chords) {
      for (size_t i = 0; i < padSaws_.size(); ++i) (i % 2 ? padRight : padLeft) += padSaws_[i].Next();
      padLeft = padLowPass_[0](padLeft) * duck * 0.07f;
      padRight = padLowPass_[1](padRight) * duck * 0.07f;
    }

    // Lead: a plucked square arpeggio with a dotted echo.
    float leadDry = 0.0f;
    if (lead_.t < 0.35) {
      lead_.phase += leadStep_;
      if (lead_.phase >= 1.0) lead_.phase -= 1.0;
      float square = lead_.phase < 0.5 ? 1.0f : -1.0f;
      leadDry = leadLowPass_(square) * lead_.amp.Next() * 0.09f;
    }
    lead_.t += dt;
    float echoed = echo_[echoPos_];
    echo_[echoPos_] = leadDry + echoed * 0.38f;
    echoPos_ = (echoPos_ + 1) % echo_.size();

    *left = center + padLeft + 0.8f * hats + leadDry + 0.3f * echoed;
    *right = center + padRight + hats + leadDry + 0.7f * echoed;
  }

  SongPlan plan_;
  Random random_;
  int sampleRate_ = 44100;
  double samplesPerStep_ = 0.0;
  int64_t totalFrames_ = 0;
  int bars_ = 0;
  Pattern pattern_{};
  std::array<int, kStepsPerBar> leadSteps_{};

  Voice kick_, clap_, closedHat_, openHat_, bass_, lead_;
  Decay duck_;
  Saw bassSaw_;
  double bassSubHz_ = 0.0;
  double bassSubPhase_ = 0.0;
  double bassBrightness_ = 0.0;
  double leadStep_ = 0.0;
  std::array<Saw, 6> padSaws_;
  LowPass hatLowPass_, clapHighPass_, clapLowPass_, bassLowPass_, leadLowPass_;
  std::array<LowPass, 2> padLowPass_;
  std::vector<float> echo_;
  size_t echoPos_ = 0;
};

}  // namespace

std::vector<int16_t> RenderSong(const SongPlan& plan) { return SongRenderer(plan).Render(); }

std::string KeyName(int rootNote, bool minor) {
  static constexpr const char* kNames[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
  return std::string(kNames[((rootNote % 12) + 12) % 12]) + (minor ? " minor" : " major");
}

}  // namespace demo
