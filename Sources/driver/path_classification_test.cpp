#include "driver/path_classification.h"

#include <gtest/gtest.h>

namespace sorvi {
namespace {

TEST(PathExtension, IsTheTextAfterTheLastDotOfTheLastComponent) {
  EXPECT_EQ(pathExtension("archive.tar.gz"), "gz");
  EXPECT_EQ(pathExtension("dir.png/file"), "");
  EXPECT_EQ(pathExtension("dir/photo.JPG"), "JPG");
  EXPECT_EQ(pathExtension("noext"), "");
  EXPECT_EQ(pathExtension("ends."), "");
  EXPECT_EQ(pathExtension(".png"), "png");
  EXPECT_EQ(pathExtension("a.png/"), "png");
  EXPECT_EQ(pathExtension(""), "");
  EXPECT_EQ(pathExtension("/"), "");
  EXPECT_EQ(pathExtension("--help"), "");
}

TEST(ClassifyPath, LowerCasesTheExtensionAndMatchesExactly) {
  for (const char* path : {"a.png", "a.PNG", "b.Jpeg", "c.jpg", "d.HEIC", "e.WebP", "f.tiff"}) {
    EXPECT_EQ(classifyPath(path).kind, PathKind::kImage) << path;
  }
  EXPECT_EQ(classifyPath("doc.PDF").kind, PathKind::kPdf);
  EXPECT_EQ(classifyPath("doc.PDF").extension, "pdf");
  for (const char* path : {"a.tif", "a.GIF", "a.heif", "a.jpe", "a.bmp", "x", "a.png ", "a. png"}) {
    EXPECT_EQ(classifyPath(path).kind, PathKind::kUnsupported) << path;
  }
  EXPECT_EQ(classifyPath("a.GIF").extension, "gif");
}

TEST(ClassifyPath, UsesFullUnicodeLowerCaseMapping) {
  EXPECT_EQ(classifyPath("x.ÄBC").extension, "äbc");
  EXPECT_EQ(classifyPath("x.ΣΑΣ").extension, "σας");  // final sigma
  EXPECT_EQ(classifyPath("x.İ").extension, "i\u0307");
  // Fullwidth letters lower-case to fullwidth letters, never to ASCII.
  EXPECT_EQ(classifyPath("x.PNＧ").kind, PathKind::kUnsupported);
  EXPECT_EQ(classifyPath("x.\xFF").extension, "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace sorvi
