// Scores OCR runs against ground truth and prints the benchmark tables.
//
//   sorvi_bench_score GT_DIR REFERENCE_LABEL MANIFEST
//
// MANIFEST has one tab-separated entry per line:
//   image GROUP PATH                   an image of GROUP
//   run LABEL GROUP SECONDS SOURCE     one run over all images of GROUP
// SOURCE is a file of JSON lines (one record per image, matched by "path")
// or a directory holding NAME.txt for each image NAME.EXT. The ground truth
// of NAME.EXT is GT_DIR/NAME.gt.txt; a group without any is timed only.
// Texts are compared after NFKC, with white space runs collapsed to one
// space and trimmed; when the ground truth has no lower-case letter
// (transcribed in capitals), case is ignored. Words are the texts split at
// spaces.

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

template <typename Sequence>
std::size_t editDistance(const Sequence& a, const Sequence& b) {
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

std::vector<std::u32string> words(const std::u32string& text) {
  std::vector<std::u32string> out;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find(U' ', begin);
    if (end == std::u32string::npos) {
      end = text.size();
    }
    out.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = line.find('\t', begin);
    fields.push_back(line.substr(begin, end - begin));
    if (end == std::string::npos) {
      return fields;
    }
    begin = end + 1;
  }
}

// Texts of one run by image path; absent: no text.
std::map<std::string, std::string> loadTexts(const fs::path& source,
                                             const std::vector<std::string>& images, int& errors) {
  std::map<std::string, std::string> texts;
  if (fs::is_directory(source)) {
    for (const std::string& image : images) {
      const auto text = readFile(source / (fs::path(image).stem().string() + ".txt"));
      if (text) {
        texts[image] = *text;
      }
    }
    return texts;
  }
  std::ifstream in(source);
  std::string line;
  while (std::getline(in, line)) {
    const auto record = nlohmann::json::parse(line, nullptr, false);
    if (record.is_discarded() || !record.contains("path")) {
      continue;
    }
    if (record.contains("error")) {
      ++errors;
    }
    if (record.contains("text")) {
      texts[record["path"].get<std::string>()] = record["text"];
    }
  }
  return texts;
}

struct Tally {
  double seconds = 0;
  std::size_t images = 0;
  std::size_t chars = 0;
  std::size_t charEdits = 0;
  std::size_t words = 0;
  std::size_t wordEdits = 0;
  int errors = 0;

  void add(const Tally& other) {
    seconds += other.seconds;
    images += other.images;
    chars += other.chars;
    charEdits += other.charEdits;
    words += other.words;
    wordEdits += other.wordEdits;
    errors += other.errors;
  }
};

double ratio(std::size_t part, std::size_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: sorvi_bench_score GT_DIR REFERENCE_LABEL MANIFEST\n";
    return 2;
  }
  const fs::path gtDir = argv[1];
  const std::string reference = argv[2];
  std::ifstream manifest(argv[3]);

  std::vector<std::string> groups;  // in order of appearance
  std::map<std::string, std::vector<std::string>> imagesOf;
  std::vector<std::string> labels;
  // (label, group) -> tally
  std::map<std::pair<std::string, std::string>, Tally> tallies;
  std::string line;
  std::vector<std::vector<std::string>> runLines;
  while (std::getline(manifest, line)) {
    const std::vector<std::string> fields = splitTabs(line);
    if (fields.size() == 3 && fields[0] == "image") {
      if (imagesOf.find(fields[1]) == imagesOf.end()) {
        groups.push_back(fields[1]);
      }
      imagesOf[fields[1]].push_back(fields[2]);
    } else if (fields.size() == 5 && fields[0] == "run") {
      runLines.push_back(fields);
      if (std::find(labels.begin(), labels.end(), fields[1]) == labels.end()) {
        labels.push_back(fields[1]);
      }
    }
  }

  std::printf("%-8s %-30s %6s", "group", "CER per image", "chars");
  for (const std::string& label : labels) {
    std::printf(" %10.10s", label.c_str());
  }
  std::printf("\n");
  // Per image and run: the character error rate, printed image by image.
  std::map<std::string, std::map<std::string, double>> cerOf;  // image -> label -> CER
  for (const auto& run : runLines) {
    const std::string& label = run[1];
    const std::string& group = run[2];
    const std::vector<std::string>& images = imagesOf[group];
    Tally tally;
    tally.seconds = std::stod(run[3]);
    tally.images = images.size();
    const auto texts = loadTexts(run[4], images, tally.errors);
    for (const std::string& image : images) {
      const auto gt = readFile(gtDir / (fs::path(image).stem().string() + ".gt.txt"));
      if (!gt) {
        continue;
      }
      const bool foldCase = hasNoLowercase(*gt);
      const std::u32string truth = normalized(*gt, foldCase);
      const auto found = texts.find(image);
      const std::u32string hypothesis =
          found == texts.end() ? std::u32string() : normalized(found->second, foldCase);
      const std::size_t edits = editDistance(truth, hypothesis);
      tally.chars += truth.size();
      tally.charEdits += edits;
      const auto truthWords = words(truth);
      tally.words += truthWords.size();
      tally.wordEdits += editDistance(truthWords, words(hypothesis));
      cerOf[image][label] = ratio(edits, truth.size());
    }
    tallies[{label, group}].add(tally);
  }
  for (const std::string& group : groups) {
    for (const std::string& image : imagesOf[group]) {
      if (cerOf.find(image) == cerOf.end()) {
        continue;
      }
      std::printf("%-8s %-30.30s %6s", group.c_str(), fs::path(image).filename().c_str(), "");
      for (const std::string& label : labels) {
        const auto& cers = cerOf[image];
        const auto found = cers.find(label);
        if (found == cers.end()) {
          std::printf(" %10s", "-");
        } else {
          std::printf(" %10.3f", found->second);
        }
      }
      std::printf("\n");
    }
  }

  std::printf("\n%-8s %-30s %7s %8s %7s %8s %8s %6s\n", "group", "run", "images", "s/image",
              "ratio", "CER", "WER", "errors");
  std::map<std::string, Tally> overall;
  auto print = [&](const std::string& group, const std::string& label, const Tally& tally,
                   const Tally* referenceTally) {
    const double perImage =
        tally.images == 0 ? 0 : tally.seconds / static_cast<double>(tally.images);
    const double timeRatio = referenceTally != nullptr && referenceTally->seconds > 0
                                 ? tally.seconds / referenceTally->seconds
                                 : 0;
    std::printf("%-8s %-30.30s %7zu %8.3f %6.2fx", group.c_str(), label.c_str(), tally.images,
                perImage, timeRatio);
    if (tally.chars > 0) {
      std::printf(" %8.4f %8.4f", ratio(tally.charEdits, tally.chars),
                  ratio(tally.wordEdits, tally.words));
    } else {
      std::printf(" %8s %8s", "-", "-");
    }
    std::printf(" %6d\n", tally.errors);
  };
  for (const std::string& group : groups) {
    const auto referenceFound = tallies.find({reference, group});
    const Tally* referenceTally =
        referenceFound == tallies.end() ? nullptr : &referenceFound->second;
    for (const std::string& label : labels) {
      const auto found = tallies.find({label, group});
      if (found == tallies.end()) {
        continue;
      }
      print(group, label, found->second, referenceTally);
      if (found->second.chars > 0) {
        overall[label].add(found->second);
      }
    }
  }
  // Overall: the groups with ground truth.
  const auto referenceFound = overall.find(reference);
  for (const std::string& label : labels) {
    const auto found = overall.find(label);
    if (found != overall.end()) {
      print("overall", label, found->second,
            referenceFound == overall.end() ? nullptr : &referenceFound->second);
    }
  }
  std::printf("(ratio: time against \"%s\" on the same images)\n", reference.c_str());
  return 0;
}
