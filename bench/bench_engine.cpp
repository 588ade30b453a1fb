// Runs the recognizer on image files decoded by the tool's image layer and prints one
// JSON line per file, like the tool does: measures the engine layer alone.
//
//   sorvi_bench_engine [--psm N] [--deadline SECONDS] IMAGE...

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/images/image_file_source.h"
#include "platform/tesseract/tesseract_engine.h"
#include "recognition/engine_recognizer.h"

int main(int argc, char** argv) try {
  std::vector<std::string> args(argv + 1, argv + argc);
  sorvi::TesseractSettings settings;
  std::chrono::duration<double> deadline = sorvi::kRecognitionDeadline;
  while (args.size() >= 2 && (args[0] == "--psm" || args[0] == "--deadline")) {
    if (args[0] == "--psm") {
      settings.pageSegMode = std::atoi(args[1].c_str());
    }
    if (args[0] == "--deadline") {
      deadline = std::chrono::duration<double>(std::atof(args[1].c_str()));
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  sorvi::EngineRecognizer recognizer([settings] { return sorvi::makeTesseractEngine(settings); },
                                     deadline);
  for (const std::string& path : args) {
    nlohmann::json record{{"path", path}};
    const auto image = sorvi::decodeImageFile(path);
    if (!image) {
      record["error"] = "Could not load image";
    } else {
      const sorvi::RecognitionOutcome outcome = recognizer.ocrImage(image);
      if (outcome.text) {
        record["text"] = *outcome.text;
      }
      if (outcome.confidence) {
        record["confidence"] = *outcome.confidence;
      }
    }
    std::cout << record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
  }
  return 0;
} catch (const std::exception& error) {
  std::cerr << error.what() << '\n';
  return 1;
}
