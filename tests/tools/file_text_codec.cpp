#include "tests/tools/file_text_codec.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "common/database_files.h"
#include "common/settings_file.h"

namespace filetool {

namespace {

using mirvale::GetClassInfo;
using mirvale::RecordMap;

class TextWriter {
 public:
  void Field(std::string_view name, const std::string& text) { Line(std::string(name) + " " + QuoteBytes(text)); }
  void Field(std::string_view name, const uint32_t& value) { Line(std::string(name) + " " + std::to_string(value)); }
  template <typename Record>
  void Field(std::string_view name, const RecordMap<Record>& map) {
    Line(std::string(name) + " {");
    ++depth_;
    for (const auto& [key, record] : map) {
      Line(QuoteBytes(key) + " " + std::string(GetClassInfo(Record::kClassId).name) + " {");
      ++depth_;
      Record::VisitFields(*this, *record);
      --depth_;
      Line("}");
    }
    --depth_;
    Line("}");
  }
  template <typename Record>
  void BareMap(std::string_view name, const RecordMap<Record>& map) { Field(name, map); }

  std::string Take() { return std::move(out_); }

 private:
  void Line(const std::string& text) {
    out_.append(static_cast<size_t>(depth_) * 2, ' ');
    out_ += text;
    out_ += '\n';
  }
  std::string out_;
  int depth_ = 0;
};

struct Token {
  enum Kind { Word, Quoted, Open, Close, End } kind;
  std::string text;
  int line;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  size_t i = 0;
  auto fail = [&](const std::string& what) { throw TextFormatError("line " + std::to_string(line) + ": " + what); };
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') { ++line; ++i; continue; }
    if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (c == '{' || c == '}') {
      tokens.push_back({c == '{' ? Token::Open : Token::Close, std::string(1, c), line});
      ++i;
      continue;
    }
    if (c == '"') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= text.size() || text[i] == '\n') fail("unterminated text");
        char d = text[i++];
        if (d == '"') break;
        if (d != '\\') { value += d; continue; }
        if (i >= text.size()) fail("unterminated escape");
        char e = text[i++];
        switch (e) {
          case '\\': value += '\\'; break;
          case '"': value += '"'; break;
          case 'r': value += '\r'; break;
          case 'n': value += '\n'; break;
          case 't': value += '\t'; break;
          case 'x': {
            int high = i < text.size() ? HexValue(text[i]) : -1;
            int low = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            if (high < 0 || low < 0) fail("\\x needs two hex digits");
            value += static_cast<char>(high * 16 + low);
            i += 2;
            break;
          }
          default: fail(std::string("unknown escape \\") + e);
        }
      }
      tokens.push_back({Token::Quoted, std::move(value), line});
      continue;
    }
    size_t start = i;
    while (i < text.size() && !strchr(" \t\r\n{}\"#", text[i])) ++i;
    tokens.push_back({Token::Word, std::string(text.substr(start, i - start)), line});
  }
  tokens.push_back({Token::End, "end of text", line});
  return tokens;
}

class TextReader {
 public:
  explicit TextReader(std::string_view text) : tokens_(Tokenize(text)) {}

  void Field(std::string_view name, std::string& text) {
    ExpectWord(name);
    text = Expect(Token::Quoted, "a quoted text").text;
  }
  void Field(std::string_view name, uint32_t& value) {
    ExpectWord(name);
    const Token& token = Expect(Token::Word, "a number");
    const char* end = token.text.data() + token.text.size();
    auto [stop, error] = std::from_chars(token.text.data(), end, value);
    if (error != std::errc() || stop != end) Fail(token, "not a 32-bit number: " + token.text);
  }
  template <typename Record>
  void Field(std::string_view name, RecordMap<Record>& map) {
    ExpectWord(name);
    Expect(Token::Open, "{");
    RecordMap<Record> fresh;
    while (Peek().kind != Token::Close) {
      const Token& key = Expect(Token::Quoted, "a quoted key or }");
      if (fresh.Contains(key.text)) Fail(key, "key occurs twice: " + key.text);
      ExpectWord(GetClassInfo(Record::kClassId).name);
      Expect(Token::Open, "{");
      Record::VisitFields(*this, fresh.FindOrAdd(key.text));
      Expect(Token::Close, "}");
    }
    Expect(Token::Close, "}");
    map.swap(fresh);
  }
  template <typename Record>
  void BareMap(std::string_view name, RecordMap<Record>& map) { Field(name, map); }

  void ExpectEnd() { Expect(Token::End, "end of text"); }

 private:
  const Token& Peek() const { return tokens_[next_]; }
  const Token& Expect(Token::Kind kind, const std::string& what) {
    const Token& token = tokens_[next_];
    if (token.kind != kind) Fail(token, "expected " + what + ", found " + token.text);
    if (kind != Token::End) ++next_;
    return token;
  }
  void ExpectWord(std::string_view word) {
    const Token& token = Expect(Token::Word, std::string(word));
    if (token.text != word) Fail(token, "expected " + std::string(word) + ", found " + token.text);
  }
  [[noreturn]] static void Fail(const Token& token, const std::string& what) {
    throw TextFormatError("line " + std::to_string(token.line) + ": " + what);
  }

  std::vector<Token> tokens_;
  size_t next_ = 0;
};

// The device database as a visitable whole, so it has a name in the text.
struct DeviceDatabaseText {
  mirvale::DeviceDatabaseMap map;
  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& d) { v.BareMap("m_mapDatabase", d.map); }
};

template <typename Whole>
std::string ToText(const Whole& whole, const char* title) {
  TextWriter writer;
  Whole::VisitFields(writer, whole);
  return std::string("# ") + title + "\n" + writer.Take();
}

template <typename Whole>
Whole FromText(std::string_view text) {
  TextReader reader(text);
  Whole whole;
  Whole::VisitFields(reader, whole);
  reader.ExpectEnd();
  return whole;
}

}  // namespace

std::string QuoteBytes(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') { out += '\\'; out += c; }
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (u < 0x20 || u >= 0x7F) { out += "\\x"; out += digits[u >> 4]; out += digits[u & 15]; }
    else out += c;
  }
  return out + "\"";
}

std::string DecodeToText(FileKind kind, std::string_view bytes) {
  switch (kind) {
    case FileKind::Settings:
      return ToText(mirvale::DecodeSettings(bytes), mirvale::kSettingsFileName);
    case FileKind::DeviceDatabase:
      return ToText(DeviceDatabaseText{mirvale::DecodeDeviceDatabase(bytes)}, mirvale::kDeviceDatabaseFileName);
    case FileKind::ScanDatabase:
      return ToText(mirvale::DecodeScanDatabase(bytes), mirvale::kScanDatabaseFileName);
  }
  return {};
}

std::string EncodeFromText(FileKind kind, std::string_view text) {
  switch (kind) {
    case FileKind::Settings:
      return mirvale::EncodeSettings(FromText<mirvale::CMirvaleDoc>(text));
    case FileKind::DeviceDatabase:
      return mirvale::EncodeDeviceDatabase(FromText<DeviceDatabaseText>(text).map);
    case FileKind::ScanDatabase: {
      auto scan = FromText<mirvale::ScanDatabase>(text);
      return mirvale::EncodeScanDatabase(scan.header, scan.map);
    }
  }
  return {};
}

}  // namespace filetool
