#pragma once
// A small strict JSON reader for checking kqfx's JSON output: objects,
// arrays, strings (with every escape), numbers, true, false, null. Throws
// std::runtime_error on anything that is not JSON.

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace kqfx::test {

struct Json {
  using Object = std::map<std::string, Json>;
  using Array = std::vector<Json>;
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>,
               std::shared_ptr<Object>>
      value;

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  double number() const { return std::get<double>(value); }
  const std::string& text() const { return std::get<std::string>(value); }
  const Array& array() const { return *std::get<std::shared_ptr<Array>>(value); }
  const Object& object() const { return *std::get<std::shared_ptr<Object>>(value); }
  const Json& operator[](const std::string& key) const { return object().at(key); }
  const Json& operator[](std::size_t index) const { return array().at(index); }

  static Json parse(const std::string& text) {
    std::size_t at = 0;
    Json result = parseValue(text, at);
    skipBlanks(text, at);
    if (at != text.size()) fail("trailing text", at);
    return result;
  }

 private:
  [[noreturn]] static void fail(const char* what, std::size_t at) {
    throw std::runtime_error(std::string("bad JSON: ") + what + " at " + std::to_string(at));
  }
  static void skipBlanks(const std::string& s, std::size_t& at) {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t')) ++at;
  }
  static void expect(const std::string& s, std::size_t& at, const char* word) {
    for (const char* c = word; *c; ++c, ++at) {
      if (at >= s.size() || s[at] != *c) fail("unexpected character", at);
    }
  }
  static void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  static std::string parseString(const std::string& s, std::size_t& at) {
    expect(s, at, "\"");
    std::string out;
    while (true) {
      if (at >= s.size()) fail("unterminated string", at);
      const unsigned char c = static_cast<unsigned char>(s[at++]);
      if (c == '"') return out;
      if (c < 0x20) fail("control character in string", at);
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at >= s.size()) fail("unterminated escape", at);
      const char e = s[at++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (at + 4 > s.size()) fail("short \\u escape", at);
          for (std::size_t k = 0; k < 4; ++k) {
            if (!std::isxdigit(static_cast<unsigned char>(s[at + k]))) fail("bad \\u escape", at);
          }
          appendUtf8(out, static_cast<unsigned>(std::stoul(s.substr(at, 4), nullptr, 16)));
          at += 4;
          break;
        }
        default: fail("unknown escape", at);
      }
    }
  }
  static Json parseValue(const std::string& s, std::size_t& at) {
    skipBlanks(s, at);
    if (at >= s.size()) fail("missing value", at);
    Json json;
    const char c = s[at];
    if (c == '{') {
      auto object = std::make_shared<Object>();
      ++at;
      skipBlanks(s, at);
      if (at < s.size() && s[at] == '}') {
        ++at;
      } else {
        while (true) {
          skipBlanks(s, at);
          std::string key = parseString(s, at);
          skipBlanks(s, at);
          expect(s, at, ":");
          if (!object->emplace(key, parseValue(s, at)).second) fail("duplicate key", at);
          skipBlanks(s, at);
          if (at < s.size() && s[at] == ',') { ++at; continue; }
          expect(s, at, "}");
          break;
        }
      }
      json.value = object;
    } else if (c == '[') {
      auto array = std::make_shared<Array>();
      ++at;
      skipBlanks(s, at);
      if (at < s.size() && s[at] == ']') {
        ++at;
      } else {
        while (true) {
          array->push_back(parseValue(s, at));
          skipBlanks(s, at);
          if (at < s.size() && s[at] == ',') { ++at; continue; }
          expect(s, at, "]");
          break;
        }
      }
      json.value = array;
    } else if (c == '"') {
      json.value = parseString(s, at);
    } else if (c == 't') {
      expect(s, at, "true");
      json.value = true;
    } else if (c == 'f') {
      expect(s, at, "false");
      json.value = false;
    } else if (c == 'n') {
      expect(s, at, "null");
      json.value = nullptr;
    } else {
      // JSON's number grammar: -?(0|[1-9]d*)(.d+)?([eE][+-]?d+)?
      const std::size_t start = at;
      if (s[at] == '-') ++at;
      if (at < s.size() && s[at] == '0') {
        ++at;
      } else if (at < s.size() && s[at] >= '1' && s[at] <= '9') {
        while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
      } else {
        fail("bad number", at);
      }
      if (at < s.size() && s[at] == '.') {
        ++at;
        if (at >= s.size() || !std::isdigit(static_cast<unsigned char>(s[at]))) fail("bad fraction", at);
        while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
      }
      if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
        ++at;
        if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
        if (at >= s.size() || !std::isdigit(static_cast<unsigned char>(s[at]))) fail("bad exponent", at);
        while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
      }
      json.value = std::strtod(s.substr(start, at - start).c_str(), nullptr);
    }
    return json;
  }
};

}  // namespace kqfx::test
