// Reads image files with the text detector and the line reader alone and
// prints one JSON line per file: the text of the lines at or above the
// confidence threshold, every line in reading order with its confidence and
// box, and the seconds spent detecting and reading.
//
//   sorvi_scene_read [--models DIR] [--max-side N] [--min-confidence C] IMAGE...

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "detection/reading_order.h"
#include "platform/images/image_file_source.h"
#include "platform/opencv/opencv_text_detector.h"
#include "platform/opencv/pp_ocr_line_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) try {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string models = SORVI_MODEL_DIR;
  int maxSide = 960;
  double minConfidence = 0.3;
  while (args.size() >= 2 &&
         (args[0] == "--models" || args[0] == "--max-side" || args[0] == "--min-confidence")) {
    if (args[0] == "--models") {
      models = args[1];
    } else if (args[0] == "--max-side") {
      maxSide = std::atoi(args[1].c_str());
    } else {
      minConfidence = std::atof(args[1].c_str());
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  sorvi::initialiseImageLibraries();
  const auto detector = sorvi::makeOpenCvTextDetector(models + "/det.onnx", maxSide);
  const auto reader = sorvi::makePpOcrLineReader(models);
  const std::atomic<bool> abandoned = false;
  for (const std::string& path : args) {
    nlohmann::json record{{"path", path}};
    const auto image = sorvi::decodeImageFile(path);
    if (!image) {
      record["error"] = "Could not load image";
      std::cout << record.dump() << std::endl;
      continue;
    }
    const auto detectStart = Clock::now();
    auto boxes = detector->detect(*image, abandoned);
    record["detect_s"] = secondsSince(detectStart);
    if (!boxes) {
      record["error"] = "Detection failed";
      std::cout << record.dump() << std::endl;
      continue;
    }
    const auto readStart = Clock::now();
    std::string text;
    nlohmann::json lines = nlohmann::json::array();
    for (const sorvi::TextBox& box : sorvi::inReadingOrder(*boxes)) {
      const auto line = reader->readLine(*image, box, abandoned);
      nlohmann::json corners = nlohmann::json::array();
      for (const auto& corner : box.corners) {
        corners.push_back({corner.x, corner.y});
      }
      lines.push_back({{"text", line ? line->text : ""},
                       {"confidence", line ? line->confidence : 0.0F},
                       {"box", corners}});
      if (line && !line->text.empty() && line->confidence >= minConfidence) {
        text += (text.empty() ? "" : "\n") + line->text;
      }
    }
    record["read_s"] = secondsSince(readStart);
    record["text"] = text;
    record["lines"] = lines;
    std::cout << record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
  }
  return 0;
} catch (const std::exception& error) {
  std::cerr << error.what() << '\n';
  return 1;
}
