// The in-memory image of one ini file: its raw lines, each with its own line
// ending, grouped into the text before the first section and the sections.
// Lookups go through indexes built on first use (lower-cased section name ->
// first section; per section lower-cased key -> first key line), so reading
// every key of a big section one by one costs one parse in all.
//
// Everything is kept byte for byte; only the lines a change touches are
// rewritten. Not thread safe for mutation; a document shared read-only between
// threads may be looked up concurrently (the lazy indexes are built under a
// per-document mutex).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zv::platform::ini::detail {

enum class Eol : std::uint8_t { None, Lf, CrLf, Cr };

struct Line {
  std::string text;  // without the line ending
  Eol eol = Eol::None;
};

// Blanks around names and values: space, tab, vertical tab, form feed.
// (These run for every line of every file read: kept inline.)
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

inline std::string_view TrimBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

inline std::string_view TrimBlanksRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

// A line whose first non-blank character is "[" opens a section. The name is
// what stands between "[" and the first "]", trimmed. A header without "]"
// takes the rest of the line as its name, as Windows does.
inline bool ParseHeader(std::string_view text, std::string_view& name) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i >= text.size() || text[i] != '[') return false;
  std::string_view rest = text.substr(i + 1);
  std::size_t close = rest.find(']');
  // No "]": the rest of the line is the name.
  name = TrimBlanks(close == std::string_view::npos ? rest : rest.substr(0, close));
  return true;
}

// A key line is "name=value" (split at the first "="), not a header line.
// Name and value come back trimmed; the value still has its quotes.
inline bool ParseKey(std::string_view text, std::string_view& name, std::string_view& value) {
  std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view dummy;
  if (ParseHeader(text, dummy)) return false;
  name = TrimBlanks(text.substr(0, eq));
  value = TrimBlanks(text.substr(eq + 1));
  return true;
}

// One pair of matching quotes (" or ') around the whole value is dropped.
inline std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Open-addressing index from key name (ASCII case folded) to the body line
// that holds it. It stores line numbers only and compares against the lines
// themselves, so building it allocates nothing per key.
class KeyTable {
 public:
  void Reset(std::size_t expected);
  // Index of the line holding `key`, or -1.
  std::int64_t Find(std::string_view key, const std::vector<Line>& body) const;
  // Adds the key line unless its name is already present; true when added.
  bool Insert(std::string_view key, std::uint32_t line, const std::vector<Line>& body) {
    return Insert(key, Hash(key), line, body);
  }
  // The same with the name's hash known (see Touch).
  bool Insert(std::string_view key, std::uint32_t hash, std::uint32_t line, const std::vector<Line>& body);
  // Drops the slot of the key line `line` (named `key`), then renumbers the
  // lines below it one up, as erasing that line from the body does.
  void EraseLine(std::string_view key, std::uint32_t line);
  // Starts fetching the slot a hash lands in, so that inserts made a while
  // later do not each wait on memory. No effect on the contents.
  void Touch(std::uint32_t hash) const;

  static std::uint32_t Hash(std::string_view key);

 private:
  void Grow();
  struct Slot {
    std::uint32_t line = 0;  // line + 1; 0 = empty
    std::uint32_t hash = 0;
  };
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

struct Section {
  Line header;
  std::vector<Line> body;
  // Lazy key index: the first line of each key name, and those lines in
  // file order.
  KeyTable keys;
  std::vector<std::uint32_t> firstKeyLines;
  bool keysBuilt = false;
  bool repeatedKeys = false;      // a key name stands on more than one line (valid while keysBuilt)
  std::int64_t lastKeyLine = -1;  // valid while keysBuilt
};

class Doc {
 public:
  Doc() = default;
  Doc(const Doc& other);
  Doc& operator=(const Doc&) = delete;

  static std::unique_ptr<Doc> Parse(std::string_view bytes);
  std::string Serialize() const;

  // Lookups (section and key names are trimmed and matched without regard
  // to ASCII case; the first of duplicates wins).
  bool HasSection(std::string_view section) const;
  // The raw (trimmed, still quoted) value, or nullopt when absent.
  std::optional<std::string> RawValue(std::string_view section, std::string_view key) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

  // Changes; each returns true when the image changed.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  bool RemoveKey(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);

  Eol style() const { return style_; }
  std::size_t sectionCount() const { return sections_.size(); }

 private:
  // Both require mu_ held (or exclusive access).
  const Section* FindSectionLocked(std::string_view section) const;
  std::int64_t FindSectionIndexLocked(std::string_view section) const;
  void BuildSectionIndexLocked() const;
  static void BuildKeyIndex(Section& s);
  static std::int64_t FindKeyLocked(Section& s, std::string_view key);
  Line* LastLine();

  bool bom_ = false;
  Eol style_ = Eol::Lf;
  std::vector<Line> preamble_;
  // mutable: the lazy indexes live inside the sections.
  mutable std::vector<Section> sections_;
  mutable std::unordered_map<std::string, std::uint32_t> sectionIndex_;
  mutable bool sectionsBuilt_ = false;
  mutable std::mutex mu_;
};

}  // namespace zv::platform::ini::detail
