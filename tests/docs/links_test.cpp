// The documentation's relative links: every link and picture in README.md, CONTRIBUTING.md,
// docs/*.md and the R vignette names a file of the checkout, and a link to a heading
// (page.md#heading) names a heading of that page, as GitHub makes its anchors.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> readLines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// GitHub's anchor of a heading: lower case, punctuation dropped, blanks made dashes.
std::string anchorOf(const std::string& heading) {
  std::string anchor;
  for (unsigned char c : heading) {
    if (std::isalnum(c) || c == '-' || c == '_' || c >= 0x80) anchor += static_cast<char>(std::tolower(c));
    else if (c == ' ') anchor += '-';
  }
  return anchor;
}

// The lines outside fenced code blocks.
std::vector<std::string> proseLines(const fs::path& file) {
  std::vector<std::string> prose;
  bool fenced = false;
  for (const std::string& line : readLines(file)) {
    if (line.compare(0, 3, "```") == 0) {
      fenced = !fenced;
      continue;
    }
    if (!fenced) prose.push_back(line);
  }
  return prose;
}

std::set<std::string> anchors(const fs::path& file) {
  std::set<std::string> result;
  const std::regex heading("#+ +(.*)");
  std::smatch match;
  for (const std::string& line : proseLines(file))
    if (std::regex_match(line, match, heading)) result.insert(anchorOf(match[1].str()));
  return result;
}

std::vector<fs::path> documents() {
  const fs::path root = VORNAK_SOURCE_DIR;
  std::vector<fs::path> files = {root / "README.md", root / "CONTRIBUTING.md"};
  for (const fs::path& folder : {root / "docs", root / "R/vornak/vignettes"})
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension == ".md" || extension == ".Rmd") files.push_back(entry.path());
    }
  return files;
}

TEST(DocLinks, ResolveToFilesAndHeadings) {
  const std::regex link("\\]\\(([^)\\s]+)\\)");
  int checked = 0;
  for (const fs::path& file : documents()) {
    SCOPED_TRACE(file.string());
    for (const std::string& rawLine : proseLines(file)) {
      // Inline code is no link.
      const std::string line = std::regex_replace(rawLine, std::regex("`[^`]*`"), "``");
      for (auto it = std::sregex_iterator(line.begin(), line.end(), link);
           it != std::sregex_iterator(); ++it) {
        const std::string target = (*it)[1].str();
        if (std::regex_search(target, std::regex("^[a-z]+:"))) continue;  // a web address
        checked++;
        const size_t hash = target.find('#');
        const std::string path = target.substr(0, hash);
        const fs::path linked = path.empty() ? file : file.parent_path() / path;
        EXPECT_TRUE(fs::exists(linked)) << target;
        if (hash != std::string::npos && fs::is_regular_file(linked)) {
          const std::set<std::string> headings = anchors(linked);
          EXPECT_TRUE(headings.count(target.substr(hash + 1))) << target;
        }
      }
    }
  }
  EXPECT_GE(checked, 30);
}

// The README stays a front page: at most about 150 lines, the details in docs/.
TEST(DocLinks, ReadmeIsShortAndLinksEveryPage) {
  const fs::path root = VORNAK_SOURCE_DIR;
  const std::vector<std::string> readme = readLines(root / "README.md");
  EXPECT_LE(readme.size(), 160u);
  std::string text;
  for (const std::string& line : readme) text += line + "\n";
  for (const auto& entry : fs::directory_iterator(root / "docs"))
    if (entry.path().extension() == ".md") {
      EXPECT_NE(text.find("](docs/" + entry.path().filename().string() + ")"), std::string::npos)
          << entry.path().filename();
    }
}

}  // namespace
