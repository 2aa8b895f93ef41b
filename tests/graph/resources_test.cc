// The resource catalogue: its file format, where it is read from, and the
// window's cache of texts with their English defaults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graph/kel_lnk_graph_texts.h"
#include "host/kel_lnk_resources.h"
#include "support/product.h"

namespace {

using Catalogue = KelLnkResourceCatalogue;

// Colour resources are read as a C "%d" reads them.
TEST(ResourceCatalogueFormat, ColourNumbersReadLikeDecimalScanf) {
  const struct {
    const char* text;
    int number;
  } cases[] = {{"12", 12}, {"  -3", -3}, {"+7 blue", 7}, {"8x", 8}, {"", 0}, {"-", 0}, {"red", 0}, {"0x1F", 0}};
  for (const auto& c : cases) EXPECT_EQ(c.number, KelLnkColourNumber(c.text)) << '"' << c.text << '"';
}

TEST(ResourceCatalogueFormat, ReadsKeysTextsQuotesAndEscapes) {
  std::string errors;
  auto texts = Catalogue::Parse(
      "# comment line\n"
      "\n"
      "   MainWindow.To.Text   =   impacts on   \n"
      "MainWindow.PSN.Text = \" (with PSN filter)\"\n"
      "Object.LoopFound.Message = Cannot perform this operation :\\nThere are loops in the graph.\n"
      "Object.Open.Process.Message = The process \\\"OpenRepresentation\\\" is missing\\tnow \\\\ \\q\n"
      "Key.With.Equals = a = b\r\n"
      "Empty.Text =\n",
      "KelLnkResource", &errors);
  EXPECT_EQ("", errors);
  EXPECT_EQ("impacts on", texts.at("MainWindow.To.Text"));
  EXPECT_EQ(" (with PSN filter)", texts.at("MainWindow.PSN.Text"));
  EXPECT_EQ("Cannot perform this operation :\nThere are loops in the graph.", texts.at("Object.LoopFound.Message"));
  EXPECT_EQ("The process \"OpenRepresentation\" is missing\tnow \\ \\q", texts.at("Object.Open.Process.Message"));
  EXPECT_EQ("a = b", texts.at("Key.With.Equals"));
  EXPECT_EQ("", texts.at("Empty.Text"));
  EXPECT_EQ(6u, texts.size());
}

TEST(ResourceCatalogueFormat, BadLinesAreNamedAndSkippedAndLaterLinesWin) {
  std::string errors;
  auto texts = Catalogue::Parse(
      "Good.Key = first\n"
      "no equals sign here\n"
      " = orphan text\n"
      "Quoted.Key = \"never closed\n"
      "Trailing.Key = \"closed\" then more\n"
      "Lone.Key = ends with \\\n"
      "Good.Key = second\n",
      "cat", &errors);
  EXPECT_EQ(1u, texts.size());
  EXPECT_EQ("second", texts.at("Good.Key"));
  EXPECT_NE(std::string::npos, errors.find("cat:2: missing \"=\""));
  EXPECT_NE(std::string::npos, errors.find("cat:3: empty key"));
  EXPECT_NE(std::string::npos, errors.find("cat:4: "));
  EXPECT_NE(std::string::npos, errors.find("cat:5: "));
  EXPECT_NE(std::string::npos, errors.find("cat:6: "));
  EXPECT_EQ(std::string::npos, errors.find("cat:7"));
}

// MML_RESOURCES moves the catalogue; forgotten afterwards.
class ResourceDirectoryTest : public ::testing::Test {
 protected:
  ModuleStateGuard module_;
};

TEST_F(ResourceDirectoryTest, ShippedCatalogueHoldsTheWindowTextsAndParsesCleanly) {
  unsetenv("MML_RESOURCES");
  Catalogue::Reload();
  std::string errors;
  auto texts = Catalogue::Parse(ReadFileText(Catalogue::CatalogueFile()), "KelLnkResource", &errors);
  EXPECT_EQ("", errors);
  EXPECT_EQ(" (with PSN filter)", texts.at("MainWindow.PSN.Text"));
  EXPECT_EQ("impacted by", texts.at("MainWindow.From.Text"));
  for (const char* key : {"Object.Colours.Default.Good", "Object.Colours.Default.Bad", "Object.Colours.Broken",
                          "Object.Colours.Unknown", "Object.Colours.SameAsFather", "Object.Colours.Solved"}) {
    ASSERT_TRUE(texts.count(key)) << key;
    EXPECT_NE(0, std::atoi(texts.at(key).c_str())) << key;
  }
}

TEST_F(ResourceDirectoryTest, EnvironmentVariableMovesTheCatalogueAndAMissingFileGivesNoText) {
  module_.UseResources("Site.Key = from the site\n");
  KelUnicodeString value = "untouched";
  EXPECT_TRUE(Catalogue::GetResourceValueFromKey("Site.Key", value));
  EXPECT_EQ("from the site", value);
  EXPECT_FALSE(Catalogue::GetResourceValueFromKey("MainWindow.To.Text", value));
  EXPECT_EQ("from the site", value);

  TempDir empty;
  setenv("MML_RESOURCES", empty.Path().c_str(), 1);
  Catalogue::Reload();
  EXPECT_FALSE(Catalogue::GetResourceValueFromKey("Site.Key", value));
}

}  // namespace
