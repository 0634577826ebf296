#include "desktop/pools/mib_import.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "common/text_trim.h"

namespace mirvale {
namespace {

// Resolution stops after this many links: definitions may refer to each other in a circle.
constexpr int kMaxChainLength = 256;

bool Has(std::string_view line, std::string_view what) { return line.find(what) != std::string_view::npos; }

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::istringstream in{std::string(text)};
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool IsNumber(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A value name of the module: one word that starts with a lower-case letter ("SYNTAX OBJECT
// IDENTIFIER" inside a convention names nothing).
bool IsValueName(std::string_view name) {
  return !name.empty() && std::islower(static_cast<unsigned char>(name[0])) &&
         std::none_of(name.begin(), name.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

bool IsWellFormedOid(std::string_view oid) {
  if (oid.substr(0, 8) != "1.3.6.1.") return false;
  size_t start = 0;
  while (start <= oid.size()) {
    size_t dot = oid.find('.', start);
    if (dot == std::string_view::npos) dot = oid.size();
    if (!IsNumber(oid.substr(start, dot - start))) return false;
    start = dot + 1;
  }
  return true;
}

std::optional<std::string> RootNumber(std::string_view name) {
  static const std::pair<const char*, const char*> kRoots[] = {
      {"mgmt", "1.3.6.1.2"}, {"mib-2", "1.3.6.1.2.1"}, {"private", "1.3.6.1.4"}, {"enterprises", "1.3.6.1.4.1"}};
  for (const auto& [root, number] : kRoots) {
    if (name.size() == std::char_traits<char>::length(root) &&
        std::equal(name.begin(), name.end(), root, [](char a, char b) { return std::tolower(a) == b; }))
      return number;
  }
  return std::nullopt;
}

// The lines of one file, cut and trimmed as the parser needs them.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // The next raw line, trimmed; nothing at the end of the text.
  std::optional<std::string> NextTrimmed() {
    if (at_ >= text_.size()) return std::nullopt;
    size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(at_, end - at_);
    at_ = end + 1;
    return Trim(line);
  }
  // The next line without its comment, trimmed.
  std::optional<std::string> Next() {
    auto line = NextTrimmed();
    if (line) {
      size_t comment = line->find("--");
      if (comment != std::string::npos) *line = Trim(line->substr(0, comment));
    }
    return line;
  }
  // Reads lines until one contains what (that one is answered); nothing at the end of the text.
  std::optional<std::string> Until(std::string_view what, bool cutComments = true) {
    while (auto line = cutComments ? Next() : NextTrimmed())
      if (Has(*line, what)) return line;
    return std::nullopt;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

// "{ parent number }" after "::=": the parent's name and the number, or nothing.
std::optional<std::pair<std::string, std::string>> DefinitionOf(const std::string& line) {
  size_t assign = line.find("::=");
  if (assign == std::string::npos) return std::nullopt;
  std::string rest = line.substr(assign + 3);
  size_t open = rest.find('{');
  if (open == std::string::npos) return std::nullopt;
  rest = rest.substr(open + 1);
  rest = rest.substr(0, rest.find('}'));
  std::vector<std::string> words = Words(rest);
  if (words.size() < 2) return std::nullopt;
  // "{ iso org(3) dod(6) 1 }" lists several links; only the last two matter for the chain.
  return std::make_pair(words[words.size() - 2], words.back());
}

}  // namespace

bool MibImport::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  ReadText(content.str());
  return true;
}

void MibImport::ReadText(std::string_view text) {
  LineReader lines(text);
  while (auto read = lines.Next()) {
    std::string line = *read;
    if (Has(line, "IMPORTS")) {
      // What follows the ";" that ends the list is parsed like any other line.
      if (!Has(line, ";")) {
        auto end = lines.Until(";");
        if (!end) break;
        line = *end;
      }
      line = Trim(line.substr(line.find(';') + 1));
    }
    if (Has(line, "SEQUENCE") && Has(line, "{") && !Has(line, "}")) {
      auto end = lines.Until("}");
      if (!end) break;
      line = *end;
    }
    const char* keyword = nullptr;
    for (const char* candidate : {"OBJECT IDENTIFIER", "OBJECT-IDENTITY", "MODULE-IDENTITY"})
      if (Has(line, candidate)) keyword = candidate;
    if (keyword) {
      std::string name = Trim(line.substr(0, line.find(keyword)));
      if (!IsValueName(name)) continue;
      if (!Has(line, "::=")) {
        auto end = lines.Until("::=");
        if (!end) break;
        line = *end;
      }
      if (auto definition = DefinitionOf(line)) names_[name] = {definition->first, definition->second};
      continue;
    }
    if (!Has(line, "OBJECT-TYPE")) continue;
    std::string name = Trim(line.substr(0, line.find("OBJECT-TYPE")));
    if (!IsValueName(name)) continue;
    Candidate candidate;
    bool inDescription = false;
    bool started = false;
    bool ended = false;
    while (!Has(line, "::=")) {
      auto next = lines.NextTrimmed();
      if (!next) break;  // the end of the file ends the definition
      line = *next;
      if (Has(line, "::=")) break;
      // The access clause without its comment; descriptions keep their "--".
      const std::string clause = line.substr(0, line.find("--"));
      if (Has(clause, "ACCESS") && Has(clause, "read-write")) candidate.writable = true;
      if (ended) continue;
      if (started) {
        size_t quote = line.find('"');
        if (quote != std::string::npos) {
          candidate.description += line.substr(0, quote);
          ended = true;
        } else {
          candidate.description += line + "\r\n";
        }
        continue;
      }
      if (Has(line, "DESCRIPTION")) inDescription = true;
      if (!inDescription) continue;
      size_t quote = line.find('"');
      if (quote == std::string::npos) continue;
      std::string rest = line.substr(quote + 1);
      size_t closing = rest.find('"');
      started = true;
      if (closing != std::string::npos) {
        candidate.description = rest.substr(0, closing);
        ended = true;
      } else {
        candidate.description = rest + "\r\n";
      }
    }
    auto definition = DefinitionOf(line);
    if (!definition) continue;
    candidate.definition = {definition->first, definition->second};
    names_[name] = candidate.definition;
    // Results are named by query name plus instance: "ifX.1" would be instance 1 of "ifX".
    if (Has(name, ".")) {
      refused_.insert(name);
      continue;
    }
    candidates_[name] = std::move(candidate);
  }
}

std::string MibImport::ResolveParent(const std::string& parent) const {
  std::string current = parent;
  std::string suffix;
  for (int links = 0; links < kMaxChainLength; ++links) {
    auto found = names_.find(current);
    if (found == names_.end()) return suffix;
    suffix = "." + found->second.number + suffix;
    current = found->second.parent;
    if (auto root = RootNumber(current)) return *root + suffix;
  }
  return std::string();
}

std::vector<CQueryItem> MibImport::Resolve(bool writableOnly) const {
  std::vector<CQueryItem> queries;
  for (const auto& [name, candidate] : candidates_) {
    if (writableOnly && !candidate.writable) continue;
    std::string oid = ResolveParent(candidate.definition.parent) + "." + candidate.definition.number;
    if (!IsWellFormedOid(oid)) continue;
    queries.push_back(CQueryItem{oid, name, candidate.description});
  }
  return queries;
}

std::vector<std::string> MibFilesOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(path, error)) return {path};
  std::vector<std::string> files;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    if (it->is_regular_file(kind)) files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string DottedNamesMessage(const std::set<std::string>& names) {
  if (names.empty()) return std::string();
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return "Name can't include '.' character, not added: " + list;
}

std::string QueriesAddedMessage(long count) {
  if (count <= 0) return "No new queries were added.";
  return std::to_string(count) + (count == 1 ? " query was added." : " queries were added.");
}

}  // namespace mirvale
