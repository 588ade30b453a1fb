#include "platform/poppler/poppler_content_budget.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

#include <Page.h>
#include <Stream.h>
#include <XRef.h>

namespace sorvi {

bool renderDeadlinePassed(void* data) {
  auto* deadline = static_cast<RenderDeadline*>(data);
  if (std::chrono::steady_clock::now() >= deadline->end) deadline->passed = true;
  return deadline->passed;
}

namespace {

// poppler's parser reads content streams a byte at a time and checks the
// abort callback only between operators, so a few megabytes of compressed
// zeros that inflate to gigabytes would hold one page for minutes. Every
// content stream a page can run (its contents, forms, tiling patterns, Type 3
// glyphs, annotation appearances) is therefore inflated once beforehand
// under a byte cap. Real pages, even dense maps and drawings, hold tens of
// megabytes of operators; 256 MiB leaves a wide margin. Inflating that much
// takes about three seconds here, parsing it some seven: a stream just under
// the cap still ends well inside the page's drawing bound.
constexpr long long kContentByteBudget = 256LL << 20;
// poppler reads an embedded font file whole into memory. The largest real
// ones, full CJK fonts, are some 20 MiB.
constexpr long long kFontFileBytes = 64LL << 20;
// Splash draws an image at some 40 ns a pixel here whatever the scale, with
// no abort check inside it: 2^28 pixels (a 600 dpi scan of a poster) take
// about ten seconds, half the page's drawing bound.
constexpr long long kImagePixels = 1LL << 28;
constexpr int kMaxResourceDepth = 32;

// Finds the inline images (BI <dictionary> ID <data> EI) in a content
// stream as it is inflated, and whether any declares more pixels than an
// image may. A plain token scan: data that happened to read as an image
// dictionary with huge sides would only cost its page.
// PDF white space and delimiters.
constexpr std::array<bool, 256> kTokenEnds = [] {
  std::array<bool, 256> ends{};
  for (const unsigned char c : std::string_view("/[]<>()%{} \t\n\f\r")) ends[c] = true;
  ends[0] = true;
  return ends;
}();

class InlineImageWatch {
 public:
  // False once an inline image over the bound has been seen.
  bool feed(const unsigned char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
      const unsigned char c = bytes[i];
      if (kTokenEnds[c]) {
        endToken();
        if (c == '/') token_.push_back('/');  // a name starts here
      } else if (token_.size() < 16) {
        token_ += static_cast<char>(c);
      }
    }
    return !oversize_;
  }

 private:
  void endToken() {
    if (token_.empty()) return;
    if (!inDictionary_) {
      if (token_ == "BI") {
        inDictionary_ = true;
        width_ = height_ = 0;
      }
    } else if (token_ == "ID") {
      inDictionary_ = false;
      if (static_cast<long long>(width_) * height_ > kImagePixels) oversize_ = true;
    } else if (token_[0] == '/') {
      key_ = token_;
    } else if (std::isdigit(static_cast<unsigned char>(token_[0])) != 0) {
      const long value = std::strtol(token_.c_str(), nullptr, 10);
      const int side = static_cast<int>(std::min<long>(value, 1L << 30));
      if (key_ == "/W" || key_ == "/Width") width_ = side;
      if (key_ == "/H" || key_ == "/Height") height_ = side;
    }
    token_.clear();
  }

  std::string token_;
  std::string key_;
  bool inDictionary_ = false;
  int width_ = 0;
  int height_ = 0;
  bool oversize_ = false;
};

class ContentBudget {
 public:
  ContentBudget(XRef* xref, RenderDeadline& deadline, AdmittedStreams& admitted)
      : xref_(xref), deadline_(deadline), admitted_(admitted) {}

  bool admitPage(Page& page) {
    if (!admitStreams(page.getContents(), 0)) return false;
    if (!admitResources(page.getResourceDict(), 0)) return false;
    const Object annots = page.getAnnotsObject();
    if (!annots.isArray()) return true;
    for (int i = 0; i < annots.arrayGetLength(); ++i) {
      const Object annot = annots.arrayGet(i);
      if (!annot.isDict()) continue;
      const Object appearances = annot.dictLookup("AP");
      if (!appearances.isDict()) continue;
      // Each appearance is a stream, or a dictionary of streams by state.
      for (int k = 0; k < appearances.dictGetLength(); ++k) {
        if (!admitStreams(appearances.dictGetVal(k), 0)) return false;
      }
    }
    return true;
  }

 private:
  // A content stream, or an array or dictionary of them.
  bool admitStreams(const Object& value, int depth) {
    if (value.isStream()) return admitStream(value, depth, nullptr);
    if (value.isArray()) {
      for (int i = 0; i < value.arrayGetLength(); ++i) {
        if (!admitStreamEntry(value.arrayGetNF(i), depth)) return false;
      }
    } else if (value.isDict()) {
      for (int i = 0; i < value.dictGetLength(); ++i) {
        if (!admitStreamEntry(value.dictGetValNF(i), depth)) return false;
      }
    }
    return true;
  }

  bool admitStreamEntry(const Object& entry, int depth) {
    if (!entry.isRef()) return !entry.isStream() || admitStream(entry, depth, nullptr);
    const Ref ref = entry.getRef();
    if (!seen_.insert(ref).second) return true;
    const Object value = entry.fetch(xref_);
    return !value.isStream() || admitStream(value, depth, &ref);
  }

  bool admitStream(const Object& value, int depth, const Ref* ref) {
    Dict* dict = value.streamGetDict();
    if (dict->lookup("Subtype").isName("Image")) return admitImage(*dict);
    // A form shared by many pages is inflated once; later pages count its size.
    const auto known =
        ref != nullptr ? admitted_.contentSizes.find(*ref) : admitted_.contentSizes.end();
    if (known != admitted_.contentSizes.end()) {
      left_ -= known->second;
      if (left_ < 0) return false;
    } else {
      InlineImageWatch inlineImages;
      const long long before = left_;
      if (!inflateWithin(value.getStream(), left_, &inlineImages)) return false;
      if (ref != nullptr) admitted_.contentSizes.emplace(*ref, before - left_);
    }
    return admitResources(dict->lookup("Resources"), depth + 1);
  }

  // An image is read only as far as its declared size needs, but drawn pixel
  // by pixel over that whole size, whatever its data holds. Each is bounded
  // on its own: pages often share one resource dictionary listing every
  // image of the document, and drawing several is bounded by the deadline.
  static bool admitImage(Dict& image) {
    const Object mask = image.lookup("SMask");
    return declaredPixels(image) <= kImagePixels &&
           (!mask.isStream() || declaredPixels(*mask.streamGetDict()) <= kImagePixels);
  }

  static long long declaredPixels(Dict& image) {
    const Object width = image.lookup("Width");
    const Object height = image.lookup("Height");
    if (!width.isInt() || !height.isInt()) return 0;  // poppler draws no such image
    return std::max(width.getInt(), 0) * static_cast<long long>(std::max(height.getInt(), 0));
  }

  bool admitResources(const Object& resources, int depth) {
    return !resources.isDict() || admitResources(resources.getDict(), depth);
  }

  bool admitResources(Dict* resources, int depth) {
    if (resources == nullptr || depth > kMaxResourceDepth) return true;
    // Resources can nest back into themselves (Type 3 glyphs often draw with
    // the page's, which hold their font): each font and glyph resource
    // reference is walked once, and any other loop ends with the page's time.
    if (renderDeadlinePassed(&deadline_)) return false;
    for (const char* key : {"XObject", "Pattern"}) {
      if (!admitStreams(resources->lookup(key), depth)) return false;
    }
    const Object fonts = resources->lookup("Font");
    if (!fonts.isDict()) return true;
    for (int i = 0; i < fonts.dictGetLength(); ++i) {
      if (!firstVisit(fonts.dictGetValNF(i))) continue;
      const Object font = fonts.dictGetVal(i);
      if (!font.isDict()) continue;
      if (!admitFontFile(font)) return false;
      if (!font.dictLookup("Subtype").isName("Type3")) continue;
      if (!admitStreams(font.dictLookup("CharProcs"), depth) ||
          (firstVisit(font.dictLookupNF("Resources")) &&
           !admitResources(font.dictLookup("Resources"), depth + 1))) {
        return false;
      }
    }
    return true;
  }

  // False for a reference met before; direct objects cannot loop.
  bool firstVisit(const Object& entry) {
    return !entry.isRef() || seen_.insert(entry.getRef()).second;
  }

  bool admitFontFile(const Object& font) {
    Object descriptor = font.dictLookup("FontDescriptor");
    if (!descriptor.isDict()) {
      // A composite font keeps its file with its one descendant.
      const Object descendants = font.dictLookup("DescendantFonts");
      if (!descendants.isArray() || descendants.arrayGetLength() < 1) return true;
      const Object descendant = descendants.arrayGet(0);
      if (!descendant.isDict()) return true;
      descriptor = descendant.dictLookup("FontDescriptor");
      if (!descriptor.isDict()) return true;
    }
    for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
      // poppler reads a font file only through a reference.
      const Object& file = descriptor.dictLookupNF(key);
      if (!file.isRef() || admitted_.fonts.count(file.getRef()) != 0) continue;
      const Object stream = file.fetch(xref_);
      long long left = kFontFileBytes;
      if (stream.isStream() && !inflateWithin(stream.getStream(), left)) return false;
      admitted_.fonts.insert(file.getRef());
    }
    return true;
  }

  // Reads `stream` to its end, taking its size from `left`; false once that
  // runs out, the page's time is up or `inlineImages` finds one too large.
  bool inflateWithin(Stream* stream, long long& left, InlineImageWatch* inlineImages = nullptr) {
    std::array<unsigned char, std::size_t{64} << 10> buffer{};
    stream->reset();
    bool within = true;
    for (;;) {
      const int got = stream->doGetChars(static_cast<int>(buffer.size()), buffer.data());
      if (got <= 0) break;
      left -= got;
      if (left < 0 || renderDeadlinePassed(&deadline_) ||
          (inlineImages != nullptr && !inlineImages->feed(buffer.data(), got))) {
        within = false;
        break;
      }
    }
    stream->close();
    return within && !renderDeadlinePassed(&deadline_);
  }

  XRef* xref_;
  RenderDeadline& deadline_;
  AdmittedStreams& admitted_;
  long long left_ = kContentByteBudget;
  std::set<Ref> seen_;
};

}  // namespace

bool admitPageContent(XRef* xref, Page& page, RenderDeadline& deadline, AdmittedStreams& admitted) {
  return ContentBudget(xref, deadline, admitted).admitPage(page);
}

}  // namespace sorvi
