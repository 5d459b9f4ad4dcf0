#include "offline/RenderPlan.h"
#include "TestFiles.h"
#include "audio/MusicStream.h"
#include "offline/ContactSheet.h"
#include "offline/FramePipeline.h"
#include "timeline/ShowFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

constexpr uint64_t second = musicSampleRate;

RenderPlan plan(RenderSpanRequest request) {
    std::string problem;
    const std::optional<RenderPlan> result = planRender(request, problem);
    EXPECT_TRUE(result.has_value()) << problem;
    return result.value_or(RenderPlan{});
}

std::string problemOf(RenderSpanRequest request) {
    std::string problem;
    EXPECT_FALSE(planRender(request, problem).has_value());
    return problem;
}

TEST(RenderPlan, FramesStepThroughTheMusicInWholeSamples) {
    // Two seconds at 30 fps from the start: 60 frames, 1470 samples apart, sound for exactly 2 s.
    const RenderPlan twoSeconds = plan({0, 10 * second, 0u, 2000u, 3000, 30});
    EXPECT_EQ(twoSeconds.frameCount, 60u);
    EXPECT_EQ(twoSeconds.warmupFrames, 0u);
    EXPECT_EQ(twoSeconds.sampleOfFrame(1), 1470u);
    EXPECT_EQ(twoSeconds.sampleOfFrame(59), 59u * 1470);
    EXPECT_EQ(twoSeconds.audioSamples(), 2 * second);
    // A rate that does not divide the sample rate does not drift: frame 7 is 7 seconds in.
    const RenderPlan odd = plan({0, 10 * second, std::nullopt, std::nullopt, 0, 7});
    EXPECT_EQ(odd.sampleOfFrame(49), 7 * second);
    EXPECT_EQ(odd.frameCount, 70u);
    // The end is exclusive: a span of 2001 ms holds one frame more than one of 2000 ms.
    EXPECT_EQ(plan({0, 10 * second, 0u, 2001u, 0, 30}).frameCount, 61u);
}

TEST(RenderPlan, StartsAsTheLiveShowAndWarmsUpOnlyBeforeALaterStart) {
    // By default the music starts at the start offset, read as seconds, with nothing drawn before.
    const RenderPlan live = plan({10, 60 * second, std::nullopt, std::nullopt, 3000, 60});
    EXPECT_EQ(live.fromSample, 10 * second);
    EXPECT_EQ(live.warmupFrames, 0u);
    EXPECT_EQ(live.frameCount, 50u * 60);
    EXPECT_EQ(effectTimeAt(double(live.sampleOfFrame(0)) / musicSampleRate, 10), 10010u);
    // --from is an effect time: 5010 is 5 s into the music with start offset 10.
    const RenderPlan later = plan({10, 60 * second, 5010u, std::nullopt, 1000, 30});
    EXPECT_EQ(later.fromSample, 5 * second);
    EXPECT_EQ(later.warmupFrames, 30u);
    EXPECT_EQ(later.sampleOfFrame(-30), 4 * second);
    // Warm-up stops at the music's start.
    const RenderPlan early = plan({0, 60 * second, 500u, std::nullopt, 3000, 30});
    EXPECT_EQ(early.warmupFrames, 15u);
    EXPECT_EQ(early.sampleOfFrame(-15), 0u);
    // --to past the music ends with the music, and the plan says so.
    const RenderPlan past = plan({0, 3 * second, 0u, 9000u, 0, 10});
    EXPECT_EQ(past.frameCount, 30u);
    EXPECT_TRUE(past.endsWithMusic);
    EXPECT_FALSE(plan({0, 3 * second, 0u, 3000u, 0, 10}).endsWithMusic);
    // Without music, --to alone sets the end.
    EXPECT_EQ(plan({0, 0, std::nullopt, 1000u, 0, 10}).frameCount, 10u);
    // Without music or --to, the end-of-show entry ends it: every frame before its window, and
    // no more (segments divide exactly these frames).
    std::string problem;
    for (const uint32_t showEnd : {3000u, 3050u, 3099u}) {
        const auto silent = planRender({0, 0, std::nullopt, std::nullopt, 0, 10}, problem, showEnd);
        ASSERT_TRUE(silent.has_value()) << problem;
        const uint64_t ended = sampleOfEffectTime(showEnd + 1, 0);
        EXPECT_LT(silent->sampleOfFrame(int64_t(silent->frameCount) - 1), ended) << showEnd;
        EXPECT_GE(silent->sampleOfFrame(int64_t(silent->frameCount)), ended) << showEnd;
    }
}

TEST(RenderPlan, SpansThatCannotBeRenderedAreExplained) {
    EXPECT_NE(problemOf({0, 0, std::nullopt, std::nullopt, 0, 60}).find("give --to"),
              std::string::npos);
    EXPECT_NE(problemOf({10, 60 * second, 9u, std::nullopt, 0, 60}).find("before the show"),
              std::string::npos);
    EXPECT_NE(problemOf({0, 2 * second, 2000u, std::nullopt, 0, 60}).find("Nothing to render"),
              std::string::npos);
}

TEST(RenderPlan, AShotIsTheFirstFrameOfARenderFromItsTime) {
    std::string problem;
    const RenderSpanRequest request{10, 60 * second, 5010u, std::nullopt, 1000, 30};
    const std::optional<RenderPlan> shot = planShot(request, problem);
    ASSERT_TRUE(shot.has_value()) << problem;
    const RenderPlan render = plan(request);
    EXPECT_EQ(shot->frameCount, 1u);
    EXPECT_EQ(shot->fromSample, render.fromSample);
    EXPECT_EQ(shot->warmupFrames, render.warmupFrames);
    // Without music every time from the start offset on can be drawn.
    EXPECT_TRUE(planShot({10, 0, 90000u, std::nullopt, 0, 60}, problem).has_value());
    // Times the music never reaches.
    EXPECT_FALSE(planShot({10, 60 * second, 9u, std::nullopt, 0, 60}, problem).has_value());
    EXPECT_NE(problem.find("before the show's earliest effect time 10"), std::string::npos);
    EXPECT_FALSE(planShot({0, 2 * second, 2000u, std::nullopt, 0, 60}, problem).has_value());
    EXPECT_NE(problem.find("after the music's end (its last effect time is 1999)"),
              std::string::npos);
}

TEST(RenderPlan, SegmentsSplitTheSpanOnTheOnePassGridWithItsHistory) {
    // 7 fps does not divide the sample rate: a segment's frames must still fall where the
    // one-pass render's do, and its history reach back to the show's start (offset 2 s).
    const RenderSpanRequest whole{2, 60 * second, std::nullopt, 12002u, 0, 7};
    const RenderPlan onePass = plan(whole);
    ASSERT_EQ(onePass.spanFrames, 70u);
    uint64_t next = 0;
    for (int k = 1; k <= 3; ++k) {
        RenderSpanRequest part = whole;
        part.segment = k;
        part.segments = 3;
        const RenderPlan segment = plan(part);
        EXPECT_EQ(uint64_t(segment.firstFrame), next) << k; // no gap, no overlap
        EXPECT_EQ(segment.spanFrames, 70u);
        EXPECT_EQ(segment.historyFrames, next);
        for (uint64_t i = 0; i < segment.frameCount; ++i)
            ASSERT_EQ(segment.sampleOfFrame(int64_t(i)), onePass.sampleOfFrame(int64_t(next + i)));
        EXPECT_EQ(segment.sampleOfFrame(-int64_t(segment.historyFrames)), 2 * second);
        next += segment.frameCount;
    }
    EXPECT_EQ(next, 70u);
    EXPECT_EQ(segmentFrames(70, 2, 3), std::make_pair(uint64_t(23), uint64_t(46)));
    RenderSpanRequest tooMany = whole;
    tooMany.segments = 71;
    EXPECT_NE(problemOf(tooMany).find("too few for 71 segments"), std::string::npos);
}

TEST(RenderPlan, EveryEffectTimeMapsToItsFirstSample) {
    for (uint32_t offset : {0u, 1u, 37u})
        for (uint32_t time = offset + 1; time < offset + 3000; ++time) {
            const uint64_t sample = sampleOfEffectTime(time, offset);
            ASSERT_EQ(effectTimeAt(double(sample) / musicSampleRate, offset), time) << time;
            ASSERT_LT(effectTimeAt(double(sample - 1) / musicSampleRate, offset), time) << time;
        }
    EXPECT_EQ(sampleOfEffectTime(5, 10), 0u);
}

TEST(RenderProgress, TimeLeftAndItsText) {
    EXPECT_DOUBLE_EQ(secondsLeft(0, 100, 5.0), 0.0);
    EXPECT_DOUBLE_EQ(secondsLeft(25, 100, 5.0), 15.0);
    EXPECT_DOUBLE_EQ(secondsLeft(100, 100, 5.0), 0.0);
    EXPECT_EQ(formatDuration(0), "0:00");
    EXPECT_EQ(formatDuration(59.6), "1:00");
    EXPECT_EQ(formatDuration(3599), "59:59");
    EXPECT_EQ(formatDuration(3725), "1:02:05");
    EXPECT_EQ(formatDuration(-3), "0:00");
}

TEST(ContactSheetEntries, MiddleOfTheReachablePartOfTheWindow) {
    // Bounds are exclusive: 1001 to 1999.
    EXPECT_EQ(middleOfEntry(1000, 2000, 0, 100000), 1500u);
    // An entry that never ends is cut at the last reachable time.
    EXPECT_EQ(middleOfEntry(2000, 4294967295u, 0, 3999), 3000u);
    // Times before the music's start cannot be drawn.
    EXPECT_EQ(middleOfEntry(0, 1000, 500, 100000), 749u);
    EXPECT_EQ(middleOfEntry(5000, 6000, 0, 4000), std::nullopt);
    EXPECT_EQ(middleOfEntry(1000, 1001, 0, 4000), std::nullopt);
    EXPECT_EQ(middleOfEntry(1000, 1002, 0, 4000), 1001u);
    EXPECT_EQ(middleOfEntry(4294967295u, 4294967295u, 0, 4294967295u), std::nullopt);
}

TEST(FramePipeline, EveryFrameReachesTheConsumerInOrder) {
    std::vector<int> seen;
    {
        FramePipeline pipeline(sizeof(int), 3, [&](const uint8_t* frame) {
            seen.push_back(*reinterpret_cast<const int*>(frame));
        });
        for (int i = 0; i < 200; ++i) {
            uint8_t* frame = pipeline.acquire();
            *reinterpret_cast<int*>(frame) = i;
            pipeline.submit(frame);
        }
        pipeline.drain();
    }
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(seen[size_t(i)], i);
}

TEST(FramePipeline, AConsumerFailureReachesTheRenderer) {
    std::atomic<int> consumed = 0;
    FramePipeline pipeline(1, 2, [&](const uint8_t*) {
        if (++consumed == 3)
            throw std::runtime_error("disk full");
    });
    auto submitMany = [&] {
        for (int i = 0; i < 100; ++i)
            pipeline.submit(pipeline.acquire());
        pipeline.drain();
    };
    EXPECT_THROW(submitMany(), std::runtime_error);
    EXPECT_EQ(consumed.load(), 3);
}

} // namespace
