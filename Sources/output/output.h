#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/json_encoder.h"
#include "output/line_sink.h"
#include "output/ocr_result.h"

namespace sorvi {

// Builds the two kinds of record, encodes them and hands each line on.
// A record the encoder refuses prints nothing.
class Output {
 public:
  Output(const JsonEncoder& encoder, LineSink& sink) : encoder_(encoder), sink_(sink) {}

  void outputResult(const std::string& path, std::optional<std::string> text,
                    std::optional<double> confidence, std::optional<ExifData> exif);
  void outputError(const std::string& path, std::string_view message);
  // Passes on a line that another process already encoded.
  void forwardLine(std::string_view line) { sink_.writeLine(line); }
  // See LineSink.
  [[nodiscard]] int readerWatch() const { return sink_.readerWatch(); }
  void readerGone() { sink_.readerGone(); }

 private:
  void print(const OcrResult& record);

  const JsonEncoder& encoder_;
  LineSink& sink_;
};

}  // namespace sorvi
