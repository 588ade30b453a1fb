// Scores OCR runs against ground truth and prints the benchmark table.
//
//   sorvi_bench_score GT_DIR REFERENCE_LABEL -- IMAGE... -- RUN...
//
// Each RUN is three arguments: LABEL TOTAL_SECONDS SOURCE, where SOURCE is a
// file of JSON lines (one record per image, matched by "path") or a
// directory holding NAME.txt for each image NAME.EXT. The ground truth of
// NAME.EXT is GT_DIR/NAME.gt.txt. Texts are compared after NFKC, with white
// space runs collapsed to one space and trimmed; when the ground truth has
// no lower-case letter (transcribed in capitals), case is ignored.

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::u32string normalized(const std::string& utf8, bool foldCase) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  if (U_SUCCESS(status)) {
    text = nfkc->normalize(text, status);
  }
  if (foldCase) {
    text.foldCase();
  }
  std::u32string out;
  bool pendingSpace = false;
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const UChar32 c = text.char32At(i);
    if (u_isUWhiteSpace(c)) {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) {
      out += U' ';
    }
    pendingSpace = false;
    out += static_cast<char32_t>(c);
  }
  return out;
}

bool hasNoLowercase(const std::string& utf8) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    if (u_islower(text.char32At(i))) {
      return false;
    }
  }
  return true;
}

std::size_t editDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> previous(b.size() + 1);
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    previous[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

struct Run {
  std::string label;
  double seconds = 0;
  std::map<std::string, std::string> texts;  // by image path; absent: no text
  int errors = 0;                            // error records
};

Run loadRun(const std::string& label, double seconds, const fs::path& source,
            const std::vector<std::string>& images) {
  Run run{label, seconds, {}, 0};
  if (fs::is_directory(source)) {
    for (const std::string& image : images) {
      const auto text = readFile(source / (fs::path(image).stem().string() + ".txt"));
      if (text) {
        run.texts[image] = *text;
      }
    }
    return run;
  }
  std::ifstream in(source);
  std::string line;
  while (std::getline(in, line)) {
    const auto record = nlohmann::json::parse(line, nullptr, false);
    if (record.is_discarded() || !record.contains("path")) {
      continue;
    }
    if (record.contains("error")) {
      ++run.errors;
    }
    if (record.contains("text")) {
      run.texts[record["path"].get<std::string>()] = record["text"];
    }
  }
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto firstBreak = std::find(args.begin(), args.end(), "--");
  const auto secondBreak =
      std::find(firstBreak == args.end() ? args.end() : firstBreak + 1, args.end(), "--");
  if (firstBreak - args.begin() != 2 || secondBreak == args.end() ||
      (args.end() - secondBreak - 1) % 3 != 0) {
    std::cerr << "usage: sorvi_bench_score GT_DIR REFERENCE_LABEL -- IMAGE... -- "
                 "[LABEL SECONDS SOURCE]...\n";
    return 2;
  }
  const fs::path gtDir = args[0];
  const std::string& reference = args[1];
  const std::vector<std::string> images(firstBreak + 1, secondBreak);

  std::vector<Run> runs;
  for (auto it = secondBreak + 1; it != args.end(); it += 3) {
    runs.push_back(loadRun(it[0], std::stod(it[1]), it[2], images));
  }

  // Per image: ground-truth length and each run's edit count.
  std::vector<std::size_t> totalEdits(runs.size());
  std::size_t totalLength = 0;
  std::printf("%-34s %6s", "CER per image", "chars");
  for (const Run& run : runs) {
    std::printf(" %14.14s", run.label.c_str());
  }
  std::printf("\n");
  for (const std::string& image : images) {
    const fs::path gtPath = gtDir / (fs::path(image).stem().string() + ".gt.txt");
    const auto gt = readFile(gtPath);
    if (!gt) {
      continue;
    }
    const bool foldCase = hasNoLowercase(*gt);
    const std::u32string truth = normalized(*gt, foldCase);
    totalLength += truth.size();
    std::printf("%-34.34s %6zu", fs::path(image).filename().c_str(), truth.size());
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const auto found = runs[r].texts.find(image);
      const std::u32string hypothesis =
          found == runs[r].texts.end() ? std::u32string() : normalized(found->second, foldCase);
      const std::size_t edits = editDistance(truth, hypothesis);
      totalEdits[r] += edits;
      std::printf(" %14.3f", truth.empty()
                                 ? 0.0
                                 : static_cast<double>(edits) / static_cast<double>(truth.size()));
    }
    std::printf("\n");
  }

  double referenceSeconds = 0;
  for (const Run& run : runs) {
    if (run.label == reference) {
      referenceSeconds = run.seconds;
    }
  }
  const auto count = static_cast<double>(images.size());
  std::printf("\n%-34s %10s %12s %10s %8s\n", "run", "s/image", "time ratio", "CER", "errors");
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const double perImage = runs[r].seconds / count;
    const double ratio = referenceSeconds > 0 ? runs[r].seconds / referenceSeconds : 0;
    const double cer =
        totalLength > 0 ? static_cast<double>(totalEdits[r]) / static_cast<double>(totalLength) : 0;
    std::printf("%-34.34s %10.3f %11.2fx %10.4f %8d\n", runs[r].label.c_str(), perImage, ratio, cer,
                runs[r].errors);
  }
  std::printf("(%zu images, %zu ground-truth characters; time ratio against \"%s\")\n",
              images.size(), totalLength, reference.c_str());
  return 0;
}
