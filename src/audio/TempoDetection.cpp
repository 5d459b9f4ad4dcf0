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

// How far the beats of a grid of the period stand above the onsets on average (0: no higher),
// its phase found anew in each stretch of twenty seconds or so: a period a little off, or a
// tempo that wanders, still meets the beats of each stretch.
double beatAlignment(const OnsetEnvelopes& wide, double period) {
    const GridFit fit(wide);
    const double stretch = std::min(std::max(20 * wide.rate, 16 * period), double(wide.size()));
    double sum = 0;
    int stretches = 0;
    for (double from = 0; stretch > 0 && from + stretch <= double(wide.size());
         from += stretch, ++stretches) {
        float best = 0;
        for (double phase = 0; phase < period; phase += 1)
            best = std::max(best, fit(period, phase, from, from + stretch));
        sum += best;
    }
    return stretches && fit.mean() > 0 ? sum / stretches / fit.mean() - 1 : 0;
}

// How much a level's beats meet the music's onsets weighs in its choice. A grid standing 40 %
// above the average onset is a level the music plays; more does not count further, since a
// slower level of a clear pulse meets only its strongest beats and always stands higher. A
// period that lines up with the repetitions by chance (seven eighths, five sixteenths) meets
// few onsets, and so does a level twice as fast as a beat with little between its beats.
double alignmentWeight(double alignment) {
    constexpr double enough = 0.4;
    return std::sqrt(std::clamp(alignment, 0.02, enough) / enough);
}

// The beat periods the music suggests, from `shortest` to `longest` (in envelope values), best
// first: the strongest peaks of the autocorrelation, each a peak within 4 % either side, with
// the multiples and divisions of the first few (2, 3, 3/2, 4/3 and their inverses), weighed by
// how strongly they repeat, how likely a listener taps them, and how well their beats meet the
// onsets.
std::vector<BeatLevel> candidateLevels(const std::vector<float>& correlation,
                                       const OnsetEnvelopes& wide, double shortest,
                                       double longest) {
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
    if (peaks.empty())
        return peaks;
    const auto byScore = [](const BeatLevel& a, const BeatLevel& b) { return a.score > b.score; };
    const auto weigh = [&](BeatLevel& level, float strongest) {
        level.score = level.strength / strongest +
                      preferenceWeight * float(tempoPreference(60 * wide.rate / level.period));
    };
    const float strongest =
        std::max_element(peaks.begin(), peaks.end(), [](const BeatLevel& a, const BeatLevel& b) {
            return a.strength < b.strength;
        })->strength;
    for (BeatLevel& level : peaks)
        weigh(level, strongest);
    std::sort(peaks.begin(), peaks.end(), byScore);
    peaks.resize(std::min<size_t>(peaks.size(), 10));
    std::vector<BeatLevel> levels = peaks;
    const auto known = [&](double period) {
        return std::any_of(levels.begin(), levels.end(), [&](const BeatLevel& level) {
            return std::abs(level.period / period - 1) < 0.01;
        });
    };
    for (size_t i = 0; i < std::min<size_t>(peaks.size(), 4); ++i)
        for (const double ratio : {2.0, 0.5, 3.0, 1.0 / 3, 1.5, 2.0 / 3, 4.0 / 3, 0.75}) {
            const double period = peaks[i].period * ratio;
            if (period >= shortest && period <= longest && !known(period))
                levels.push_back({period, metricalStrength(correlation, period)});
        }
    for (BeatLevel& level : levels) {
        weigh(level, strongest);
        level.score *= float(alignmentWeight(beatAlignment(wide, level.period)));
    }
    std::sort(levels.begin(), levels.end(), byScore);
    return levels;
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
    const OnsetEnvelopes wide = widened(envelopes, 3);
    const std::vector<BeatLevel> levels = candidateLevels(correlation, wide, shortest, longest);
    double period = finePeriod(envelopes, levels.front().period, 0.03);
    DetectedTempo tempo;
    if (const double firstHalf = changedTempo(envelopes, period)) {
        tempo.tempoChanges = true;
        period = firstHalf;
    }
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
