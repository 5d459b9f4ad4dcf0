#include "audio/TempoDetection.h"

#include "audio/MetreDetection.h"
#include "audio/OnsetEnvelopes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// How strongly the music repeats at the beat period as a beat of a metre would: at the beat, at
// half of it, at two beats and at a bar of three or four. A period that lines up with a pattern
// only by chance (five sixteenths, say) finds little at its multiples.
float metricalStrength(const std::vector<float>& correlation, double period) {
    return 0.5f * sampleAt(correlation, period / 2) + sampleAt(correlation, period) +
           sampleAt(correlation, 2 * period) +
           std::max(sampleAt(correlation, 3 * period), sampleAt(correlation, 4 * period));
}

// How likely a listener taps a tempo, before hearing anything: most beats tapped lie from 100
// to 190 BPM, fewer the further outside. Weighed against the music's own evidence, this sets how
// much more clearly a slower or faster pulse must show to be chosen.
double tempoPreference(double bpm) {
    constexpr double low = 100, high = 190, width = 0.3; // the fall-off in octaves
    const double outside = bpm < low    ? std::log2(low / bpm)
                           : bpm > high ? std::log2(bpm / high)
                                        : 0;
    return std::exp(-0.5 * outside * outside / (width * width));
}
constexpr float preferenceWeight = 2;

// The strongest periods in the autocorrelation from `shortest` to `longest` (in envelope
// values), each a peak within 4 % either side, strongest first.
std::vector<BeatLevel> candidateLevels(const std::vector<float>& correlation, double rate,
                                       double shortest, double longest) {
    std::vector<BeatLevel> all;
    for (double period = shortest; period <= longest; period *= 1.002)
        all.push_back({period, metricalStrength(correlation, period)});
    std::vector<BeatLevel> peaks;
    for (size_t i = 0; i < all.size(); ++i) {
        bool peak = all[i].strength > 0;
        for (size_t j = i > 20 ? i - 20 : 0; j < std::min(all.size(), i + 21) && peak; ++j)
            peak = all[j].strength <= all[i].strength;
        if (peak)
            peaks.push_back(all[i]);
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const BeatLevel& a, const BeatLevel& b) { return a.strength > b.strength; });
    const float strongest = peaks.empty() ? 1 : peaks.front().strength;
    for (BeatLevel& level : peaks)
        level.score = level.strength / strongest +
                      preferenceWeight * float(tempoPreference(60 * rate / level.period));
    std::sort(peaks.begin(), peaks.end(),
              [](const BeatLevel& a, const BeatLevel& b) { return a.score > b.score; });
    return peaks;
}

// The first hop with a strong onset: at least half the 98th percentile of the envelope.
size_t firstStrongOnset(const std::vector<float>& envelope) {
    std::vector<float> sorted(envelope);
    const auto percentile = sorted.begin() + std::ptrdiff_t(0.98 * double(sorted.size() - 1));
    std::nth_element(sorted.begin(), percentile, sorted.end());
    const float strong = 0.5f * *percentile;
    size_t first = 0;
    while (first + 1 < envelope.size() && envelope[first] < strong)
        ++first;
    return first;
}

// Where the beats of a grid of the period fall: the phase is chosen on envelopes widened by a few
// hops, as the onsets of a beat spread around it (a flam, a kick's slow attack after the hats),
// then placed on the sharp ones within those hops. Between phases that fit about as well (an
// off-beat accent in a break, hats as loud as the kick), the one on the music's first strong
// onset is taken: music starts on a beat far more often than between two.
double beatPhase(const OnsetEnvelopes& envelopes, const OnsetEnvelopes& wide, double period) {
    constexpr int spread = 3;
    const GridFit wideFit(wide);
    const GridFit::Best best = wideFit.bestPhase(period, 0, period, 0.5);
    const double anchor = double(firstStrongOnset(envelopes.all));
    const GridFit::Best onFirst = wideFit.bestPhase(period, anchor - 8, anchor + 8, 0.5);
    const double chosen = onFirst.fit >= 0.8f * best.fit ? onFirst.phase : best.phase;
    return GridFit(envelopes).bestPhase(period, chosen - spread, chosen + spread, 0.25).phase;
}

// The period whose grid meets the onsets best within `reach` (a share) of a period, over the
// values [from, to): over a long piece a small error of the period moves the later beats off
// their onsets. Searched coarsely, then finely around the best.
double finePeriod(const OnsetEnvelopes& envelopes, double period, double reach, double from = 0,
                  double to = 1e300) {
    const GridFit fit(envelopes);
    const auto bestNear = [&](double centre, double span, double step) {
        float best = -1;
        double fine = centre;
        for (double candidate = centre - span; candidate <= centre + span; candidate += step) {
            float score = -1;
            for (double phase = 0; phase < candidate; phase += 0.5)
                score = std::max(score, fit(candidate, phase, from, to));
            if (score > best) {
                best = score;
                fine = candidate;
            }
        }
        return fine;
    };
    const double coarse = bestNear(period, period * reach, 0.04);
    return bestNear(coarse, 0.04, 0.005);
}

// A grid fitted to the music's first half that no longer fits its second: the tempo changes.
// Returns the first half's period then, and 0 while one tempo holds.
double changedTempo(const OnsetEnvelopes& envelopes, double period) {
    const double half = double(envelopes.size()) / 2;
    if (half < 16 * period)
        return 0;
    const double first = finePeriod(envelopes, period, 0.03, 0, half);
    const double second = finePeriod(envelopes, period, 0.03, half);
    return std::abs(first / second - 1) > 0.012 ? first : 0;
}

} // namespace

std::optional<DetectedTempo> detectTempo(std::span<const float> mono, int sampleRate) {
    const OnsetEnvelopes envelopes = onsetEnvelopes(mono, sampleRate);
    const double rate = envelopes.rate;
    const double shortest = 60 * rate / maxDetectedBpm, longest = 60 * rate / minDetectedBpm;
    if (envelopes.size() == 0 || double(envelopes.size()) < 4 * longest ||
        *std::max_element(envelopes.all.begin(), envelopes.all.end()) <= 0)
        return std::nullopt;
    // Lags up to two bars of four at the slowest tempo, for the metre's repetitions too.
    const std::vector<float> correlation =
        autocorrelation(envelopes.all, size_t(std::ceil(8 * longest)) + 2);
    const std::vector<BeatLevel> levels = candidateLevels(correlation, rate, shortest, longest);
    double period = finePeriod(envelopes, levels.front().period, 0.03);
    DetectedTempo tempo;
    if (const double firstHalf = changedTempo(envelopes, period)) {
        tempo.tempoChanges = true;
        period = firstHalf;
    }
    const OnsetEnvelopes wide = widened(envelopes, 3);
    const double phase = beatPhase(envelopes, wide, period);
    tempo.bpm = 60 * rate / period;
    // An envelope value stands for the rise within its hop: the onset is about half a hop in. A
    // beat in the last quarter of the first period is taken as one just before the start, so
    // that music starting on a beat reads as such.
    const double first = phase + 0.5;
    const double firstBeat = first > 0.75 * period ? first - period : first;
    tempo.firstBeatSeconds = firstBeat / rate;
    const Metre metre =
        detectMetre(wide, correlation, period, firstBeat, double(firstStrongOnset(envelopes.all)));
    tempo.beatsPerBar = metre.beatsPerBar;
    tempo.compound = metre.compound;
    tempo.firstBarSeconds = metre.firstBar / rate;
    tempo.confidence = beatConfidence(wide, levels, period, phase);
    return tempo;
}
