#include "recognition/image_reading.h"

#include <gtest/gtest.h>

#include "recognition/condense_observations.h"
#include "recognition/image_look.h"
#include "recognition/test_engine_output.h"

namespace sorvi {
namespace {

struct FakeEngine : TextEngine {
  EngineOutput page;
  std::optional<EngineOutput> detected;  // absent: no detector
  int pageReadings = 0;
  int detections = 0;
  int lineReadings = 0;
  EngineOutput recognize(const RasterImage&, const std::atomic<bool>&) override {
    ++pageReadings;
    return page;
  }
  std::optional<int> uprightQuarterTurns(const RasterImage&, const std::atomic<bool>&) override {
    return 0;
  }
  std::optional<std::size_t> detectText(const RasterImage&, const std::atomic<bool>&) override {
    ++detections;
    if (!detected) return std::nullopt;
    return detected->results ? detected->results->size() : 1;
  }
  // The whole reading serves as the sample.
  EngineOutput readDetectedText(const RasterImage&, const std::atomic<bool>&, const EngineOutput&,
                                const SampleJudge& worthReadingRest) override {
    ++lineReadings;
    if (detected->results && !worthReadingRest(*detected, 1.0)) return {};
    return *detected;
  }
};

// A screen: a white background, black text and 40 shades where they meet.
RasterImage screen(std::uint8_t background) {
  RasterImage image{.width = 400, .height = 1, .rgba = {}};
  for (int x = 0; x < image.width; ++x) {
    const int value = x < 350 ? background : x < 360 ? 255 - background : 100 + x - 360;
    image.rgba.insert(image.rgba.end(),
                      {std::uint8_t(value), std::uint8_t(value), std::uint8_t(value), 255});
  }
  return image;
}

TEST(ImageReading, TheDetectorGatesPhotosAndItsLinesStandWhereTheyReadBetter) {
  const EngineOutput document = lines(20, "a well read line of a printed page", 0.92F);
  const EngineOutput sign = lines(3, "OPEN DAILY", 0.9F);
  const EngineOutput poor = lines(1, "~", 0.4F);
  const EngineOutput dense = lines(20, "dense small text on a screen", 0.6F);
  const RasterImage photo{.width = 1, .height = 1, .rgba = {90, 120, 60, 255}};
  const RasterImage paper{.width = 1, .height = 1, .rgba = {250, 250, 245, 255}};
  const RasterImage light = screen(255);
  const RasterImage dark = screen(30);
  // clang-format off
  struct Case { const char* what; const RasterImage& image; EngineOutput page;
                std::optional<EngineOutput> detected;
                int detections, pageReadings, lineReadings; std::string text; }
  cases[] = {
      {"photo, no line found: no page reading", photo, poor, lines(0, "", 0), 1, 0, 0, ""},
      {"paper, no line found: the page stands", paper, poor, lines(0, "", 0), 1, 1, 0, "~"},
      {"paper read well: no detector", paper, document, sign, 0, 1, 0, "a well"},
      {"photo read well as a page", photo, document, sign, 1, 1, 0, "a well"},
      {"sign missed by the page", photo, poor, sign, 1, 1, 1, "OPEN DAILY"},
      {"paper read poorly", paper, poor, sign, 1, 1, 1, "OPEN DAILY"},
      {"short text read without doubt", paper, lines(1, "OPEN", 0.95F), sign, 1, 1, 1,
       "OPEN DAILY"},
      {"a page that lines read no better stops at the sample", photo,
       lines(20, "a page in a script both read poorly", 0.6F),
       lines(20, "A PAGE IN A SCRIPT BOTH READ POORLY", 0.65F), 1, 1, 1, "a page in"},
      {"a page in a script neither reads stops at the sample", paper,
       lines(20, "garbled page", 0.35F), lines(20, "GARBLED LINE", 0.5F), 1, 1, 1, "garbled"},
      {"lines that find much more go on", photo, lines(3, "a poster read in part", 0.6F),
       lines(12, "A POSTER READ IN PART", 0.65F), 1, 1, 1, "A POSTER"},
      {"a page that lines read well", paper, lines(20, "TOTAL 12.50 RM CASH", 0.7F),
       lines(20, "TOTAL 12.50 RM CASH CHANGE", 0.9F), 1, 1, 1, "TOTAL 12.50 RM CASH CHANGE"},
      {"a scan of dense text", paper, dense, lines(20, "DENSE SMALL TEXT ON A SCREEN", 0.9F), 1, 1, 1, "DENSE"},
      {"a screen of dense text", light, dense, lines(20, "DENSE", 0.9F), 0, 1, 0, "dense"},
      {"a dark screen of dense text", dark, dense, lines(20, "DENSE", 0.9F), 0, 1, 0, "dense"},
      {"a screen with a few words", dark, lines(1, "OK", 0.9F), sign, 1, 1, 1, "OPEN DAILY"},
      {"lines read worse", photo, lines(2, "Main Street", 0.8F), lines(1, "Ma1n", 0.5F),
       1, 1, 1, "Main Street"},
      {"lines fail", photo, poor, EngineOutput{.failed = true, .results = {}}, 1, 1, 1, "~"},
      {"no detector", photo, poor, std::nullopt, 1, 1, 0, "~"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeEngine engine;
    engine.page = c.page;
    engine.detected = c.detected;
    RecognitionOutcome published;
    const RecognitionOutcome outcome =
        readImage(engine, c.image, std::atomic<bool>{false},
                  [&](const RecognitionOutcome& first) { published = first; });
    EXPECT_EQ(engine.detections, c.detections);
    EXPECT_EQ(engine.pageReadings, c.pageReadings);
    EXPECT_EQ(engine.lineReadings, c.lineReadings);
    EXPECT_EQ(outcome.text.value_or("").substr(0, c.text.size()), c.text);
    EXPECT_EQ(outcome.text.has_value(), !c.text.empty());
    // Until the lines are read, the page reading stands.
    if (c.pageReadings > 0) {
      EXPECT_EQ(published.text, condenseObservations(c.page).text);
    }
  }
}

TEST(ImageLook, ColourlessLightOrDarkPixelsArePaperAndFewExactColoursAScreen) {
  // clang-format off
  struct Case { std::vector<std::uint8_t> rgba; double paper; }
  cases[] = {
      {{255, 255, 255, 255}, 1.0},
      {{200, 196, 190, 255}, 1.0},    // yellowed paper
      {{255, 230, 0, 255}, 0.0},      // a bright yellow sign
      {{120, 120, 120, 255}, 0.0},    // mid grey
      {{40, 40, 40, 255}, 1.0},       // a dark theme
      {{0, 0, 0, 0}, 1.0},            // transparent: over white
      {{255, 255, 255, 255, 130, 10, 10, 255}, 0.5},
  };
  // clang-format on
  for (const Case& c : cases) {
    const RasterImage image{
        .width = static_cast<int>(c.rgba.size() / 4), .height = 1, .rgba = c.rgba};
    EXPECT_DOUBLE_EQ(lookAt(image).paper, c.paper) << int(c.rgba[0]);
  }
  EXPECT_TRUE(lookAt(screen(255)).rendered);
  RasterImage noisy = screen(255);  // sensor noise on the background
  for (std::size_t i = 0; i < noisy.rgba.size(); i += 4) noisy.rgba[i] ^= (i / 4) % 5;
  EXPECT_FALSE(lookAt(noisy).rendered);
  RasterImage bilevel = screen(255);  // a scan to black and white
  for (std::uint8_t& value : bilevel.rgba) value = value > 128 ? 255 : 0;
  EXPECT_FALSE(lookAt(bilevel).rendered);
}

}  // namespace
}  // namespace sorvi
