#include "driver/path_classification.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(PathExtension, IsTheTextAfterTheLastDotOfTheLastComponent) {
  for (const auto& [path, extension] :
       std::vector<std::pair<const char*, const char*>>{{"archive.tar.gz", "gz"},
                                                        {"dir.png/file", ""},
                                                        {"dir/photo.JPG", "JPG"},
                                                        {"noext", ""},
                                                        {"ends.", ""},
                                                        {".png", "png"},
                                                        {"a.png/", "png"},
                                                        {"", ""},
                                                        {"/", ""},
                                                        {"--help", ""}}) {
    EXPECT_EQ(pathExtension(path), extension) << path;
  }
}

TEST(ClassifyPath, LowerCasesTheExtensionFullyAndMatchesExactly) {
  for (const char* path : {"a.png", "a.PNG", "b.Jpeg", "c.jpg", "d.HEIC", "e.WebP", "f.tiff"}) {
    EXPECT_EQ(classifyPath(path).kind, PathKind::kImage) << path;
  }
  EXPECT_EQ(classifyPath("doc.PDF").kind, PathKind::kPdf);
  // Fullwidth letters lower-case to fullwidth letters, never to ASCII.
  for (const char* path :
       {"a.tif", "a.GIF", "a.heif", "a.jpe", "x", "a.png ", "a. png", "x.PNＧ"}) {
    EXPECT_EQ(classifyPath(path).kind, PathKind::kUnsupported) << path;
  }
  for (const auto& [path, extension] :
       std::vector<std::pair<const char*, const char*>>{{"a.GIF", "gif"},
                                                        {"doc.PDF", "pdf"},
                                                        {"x.ΣΑΣ", "σας"},
                                                        {"x.İ", "i\u0307"},
                                                        {"x.\xFF", "\xEF\xBF\xBD"}}) {
    EXPECT_EQ(classifyPath(path).extension, extension) << path;
  }
}

}  // namespace
}  // namespace sorvi
