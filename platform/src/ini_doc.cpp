#include "ini_doc.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/text.h"

namespace zv::platform::ini::detail {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view EolBytes(Eol e) {
  switch (e) {
    case Eol::Lf: return "\n";
    case Eol::CrLf: return "\r\n";
    case Eol::Cr: return "\r";
    case Eol::None: break;
  }
  return {};
}

std::string Join(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string s;
  s.reserve(a.size() + b.size() + c.size());
  s.append(a).append(b).append(c);
  return s;
}

}  // namespace

// ------------------------------------------------------------ KeyTable

namespace {
std::string_view KeyNameOf(const Line& l) {
  std::string_view name, value;
  ParseKey(l.text, name, value);
  return name;
}
}  // namespace

std::uint32_t KeyTable::Hash(std::string_view key) {
  // Eight bytes at a time, each with bit 0x20 set: that folds ASCII letters
  // exactly, so names equal without regard to case hash alike. The few other
  // bytes it merges ("@" and "`", "[" and "{", ...) only collide; a match is
  // always confirmed against the name itself.
  constexpr std::uint64_t kFold = 0x2020202020202020ull;
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = key.size() * kMul;
  const char* p = key.data();
  std::size_t n = key.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ (w | kFold)) * kMul;
    h ^= h >> 29;
  }
  if (n > 0) {
    // The tail: the last eight bytes shifted down where there are eight,
    // else byte by byte (no partial copy through memory).
    std::uint64_t w = 0;
    if (key.size() >= 8) {
      std::memcpy(&w, p + n - 8, 8);
      w >>= 8 * (8 - n);
    } else {
      for (std::size_t i = 0; i < n; ++i) w |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    h = (h ^ (w | (kFold >> (8 * (8 - n))))) * kMul;
  }
  // Finish so the low bits (the slot) depend on every byte.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return static_cast<std::uint32_t>(h);
}

void KeyTable::Reset(std::size_t expected) {
  std::size_t size = 16;
  while (size < expected * 2) size *= 2;
  slots_.assign(size, Slot{});
  count_ = 0;
}

std::int64_t KeyTable::Find(std::string_view key, const std::vector<Line>& body) const {
  if (slots_.empty()) return -1;
  const std::uint32_t h = Hash(key);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = h & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.line == 0) return -1;
    if (s.hash == h && EqualsNoCase(KeyNameOf(body[s.line - 1]), key)) return s.line - 1;
  }
}

void KeyTable::Touch(std::uint32_t hash) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)], 1);
}

bool KeyTable::Insert(std::string_view key, std::uint32_t h, std::uint32_t line, const std::vector<Line>& body) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = h & mask;; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (s.line == 0) {
      s = Slot{line + 1, h};
      ++count_;
      return true;
    }
    if (s.hash == h && EqualsNoCase(KeyNameOf(body[s.line - 1]), key)) return false;
  }
}

void KeyTable::EraseLine(std::string_view key, std::uint32_t line) {
  if (slots_.empty()) return;
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = Hash(key) & mask;
  while (slots_[i].line != 0 && slots_[i].line != line + 1) i = (i + 1) & mask;
  if (slots_[i].line == line + 1) {
    // Backward-shift deletion: entries after the hole that may live there
    // move up, so every probe still meets its key before an empty slot.
    for (std::size_t j = (i + 1) & mask; slots_[j].line != 0; j = (j + 1) & mask) {
      const std::size_t home = slots_[j].hash & mask;
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!stays) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = Slot{};
    --count_;
  }
  for (Slot& s : slots_)
    if (s.line > line + 1) --s.line;
}

void KeyTable::Grow() {
  std::vector<Slot> old = std::move(slots_);
  std::size_t size = old.empty() ? 16 : old.size() * 2;
  slots_.assign(size, Slot{});
  const std::size_t mask = size - 1;
  for (const Slot& s : old) {
    if (s.line == 0) continue;
    std::size_t i = s.hash & mask;
    while (slots_[i].line != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

// ------------------------------------------------------------ Doc

Doc::Doc(const Doc& other) {
  std::lock_guard<std::mutex> lock(other.mu_);
  bom_ = other.bom_;
  style_ = other.style_;
  preamble_ = other.preamble_;
  sections_ = other.sections_;
  sectionIndex_ = other.sectionIndex_;
  sectionsBuilt_ = other.sectionsBuilt_;
}

std::unique_ptr<Doc> Doc::Parse(std::string_view b) {
  auto d = std::make_unique<Doc>();
  if (b.substr(0, kBom.size()) == kBom) {
    d->bom_ = true;
    b.remove_prefix(kBom.size());
  }
  bool styleKnown = false;
  std::size_t pos = 0;
  while (pos < b.size()) {
    Line line;
    std::size_t e = pos;
    while (e < b.size() && b[e] != '\n' && b[e] != '\r') ++e;
    if (e == b.size()) {
      line.text.assign(b.substr(pos));
      pos = b.size();
    } else {
      line.text.assign(b.substr(pos, e - pos));
      if (b[e] == '\n') {
        line.eol = Eol::Lf;
        pos = e + 1;
      } else if (e + 1 < b.size() && b[e + 1] == '\n') {
        line.eol = Eol::CrLf;
        pos = e + 2;
      } else {
        line.eol = Eol::Cr;
        pos = e + 1;
      }
      if (!styleKnown) {
        d->style_ = line.eol;
        styleKnown = true;
      }
    }
    std::string_view name;
    if (ParseHeader(line.text, name)) {
      Section s;
      s.header = std::move(line);
      d->sections_.push_back(std::move(s));
    } else if (d->sections_.empty()) {
      d->preamble_.push_back(std::move(line));
    } else {
      d->sections_.back().body.push_back(std::move(line));
    }
  }
  return d;
}

std::string Doc::Serialize() const {
  std::lock_guard<std::mutex> lock(mu_);
  std::size_t size = bom_ ? kBom.size() : 0;
  auto count = [&size](const Line& l) { size += l.text.size() + EolBytes(l.eol).size(); };
  for (const auto& l : preamble_) count(l);
  for (const auto& s : sections_) {
    count(s.header);
    for (const auto& l : s.body) count(l);
  }
  std::string out;
  out.reserve(size);
  if (bom_) out.append(kBom);
  auto put = [&out](const Line& l) { out.append(l.text).append(EolBytes(l.eol)); };
  for (const auto& l : preamble_) put(l);
  for (const auto& s : sections_) {
    put(s.header);
    for (const auto& l : s.body) put(l);
  }
  return out;
}

void Doc::BuildSectionIndexLocked() const {
  sectionIndex_.clear();
  sectionIndex_.reserve(sections_.size());
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    std::string_view name;
    ParseHeader(sections_[i].header.text, name);
    sectionIndex_.emplace(ToLowerAscii(name), static_cast<std::uint32_t>(i));
  }
  sectionsBuilt_ = true;
}

std::int64_t Doc::FindSectionIndexLocked(std::string_view section) const {
  if (!sectionsBuilt_) BuildSectionIndexLocked();
  auto it = sectionIndex_.find(ToLowerAscii(TrimBlanks(section)));
  return it == sectionIndex_.end() ? -1 : static_cast<std::int64_t>(it->second);
}

const Section* Doc::FindSectionLocked(std::string_view section) const {
  std::int64_t i = FindSectionIndexLocked(section);
  return i < 0 ? nullptr : &sections_[static_cast<std::size_t>(i)];
}

void Doc::BuildKeyIndex(Section& s) {
  s.keys.Reset(s.body.size());
  s.firstKeyLines.clear();
  s.firstKeyLines.reserve(s.body.size());
  s.lastKeyLine = -1;
  s.repeatedKeys = false;
  for (std::size_t i = 0; i < s.body.size(); ++i) {
    std::string_view name, value;
    if (!ParseKey(s.body[i].text, name, value)) continue;
    if (s.keys.Insert(name, static_cast<std::uint32_t>(i), s.body)) {
      s.firstKeyLines.push_back(static_cast<std::uint32_t>(i));
    } else {
      s.repeatedKeys = true;
    }
    s.lastKeyLine = static_cast<std::int64_t>(i);
  }
  s.keysBuilt = true;
}

std::int64_t Doc::FindKeyLocked(Section& s, std::string_view key) {
  if (!s.keysBuilt) BuildKeyIndex(s);
  return s.keys.Find(TrimBlanks(key), s.body);
}

bool Doc::HasSection(std::string_view section) const {
  std::lock_guard<std::mutex> lock(mu_);
  return FindSectionLocked(section) != nullptr;
}

std::optional<std::string> Doc::RawValue(std::string_view section, std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::int64_t si = FindSectionIndexLocked(section);
  if (si < 0) return std::nullopt;
  Section& s = sections_[static_cast<std::size_t>(si)];
  std::int64_t ki = FindKeyLocked(s, key);
  if (ki < 0) return std::nullopt;
  std::string_view name, value;
  ParseKey(s.body[static_cast<std::size_t>(ki)].text, name, value);
  return std::string(value);
}

std::vector<std::string> Doc::SectionNames() const {
  std::lock_guard<std::mutex> lock(mu_);
  if (!sectionsBuilt_) BuildSectionIndexLocked();
  std::vector<std::string> out;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    std::string_view name;
    ParseHeader(sections_[i].header.text, name);
    auto it = sectionIndex_.find(ToLowerAscii(name));
    if (it != sectionIndex_.end() && it->second == i) out.emplace_back(name);
  }
  return out;
}

std::vector<std::string> Doc::KeyNames(std::string_view section) const {
  std::vector<std::string> out;
  for (auto& kv : Entries(section)) out.push_back(std::move(kv.first));
  return out;
}

std::vector<std::pair<std::string, std::string>> Doc::Entries(std::string_view section) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::pair<std::string, std::string>> out;
  std::int64_t si = FindSectionIndexLocked(section);
  if (si < 0) return out;
  Section& s = sections_[static_cast<std::size_t>(si)];
  if (!s.keysBuilt) {
    // Collect every key line's entry while hashing its name and fetching
    // its slot; then build the index from those hashes (the slots mostly
    // at hand by now) and drop the entries of repeated names: the first wins.
    s.keys.Reset(s.body.size());
    s.firstKeyLines.clear();
    s.lastKeyLine = -1;
    s.repeatedKeys = false;
    out.reserve(s.body.size());
    std::vector<std::uint32_t>& lines = s.firstKeyLines;
    lines.reserve(s.body.size());
    std::vector<std::uint32_t> hashes;
    hashes.reserve(s.body.size());
    for (std::size_t i = 0; i < s.body.size(); ++i) {
      std::string_view name, value;
      if (!ParseKey(s.body[i].text, name, value)) continue;
      const std::uint32_t h = KeyTable::Hash(name);
      s.keys.Touch(h);
      hashes.push_back(h);
      lines.push_back(static_cast<std::uint32_t>(i));
      out.emplace_back(std::piecewise_construct, std::forward_as_tuple(name), std::forward_as_tuple(Unquote(value)));
    }
    if (!lines.empty()) s.lastKeyLine = lines.back();
    std::size_t kept = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (!s.keys.Insert(out[k].first, hashes[k], lines[k], s.body)) {  // a repeat
        s.repeatedKeys = true;
        continue;
      }
      if (kept != k) {
        lines[kept] = lines[k];
        out[kept] = std::move(out[k]);
      }
      ++kept;
    }
    lines.resize(kept);
    out.resize(kept);
    s.keysBuilt = true;
    return out;
  }
  out.reserve(s.firstKeyLines.size());
  for (std::uint32_t i : s.firstKeyLines) {
    std::string_view name, value;
    ParseKey(s.body[i].text, name, value);
    out.emplace_back(std::piecewise_construct, std::forward_as_tuple(name), std::forward_as_tuple(Unquote(value)));
  }
  return out;
}

Line* Doc::LastLine() {
  if (!sections_.empty()) {
    Section& s = sections_.back();
    return s.body.empty() ? &s.header : &s.body.back();
  }
  return preamble_.empty() ? nullptr : &preamble_.back();
}

bool Doc::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string_view sec = TrimBlanks(section);
  std::string_view k = TrimBlanks(key);
  std::int64_t si = FindSectionIndexLocked(sec);
  if (si < 0) {
    // A new section goes at the end of the file, after a line break.
    if (Line* last = LastLine(); last && last->eol == Eol::None) last->eol = style_;
    Section s;
    s.header = Line{Join("[", sec, "]"), style_};
    s.body.push_back(Line{Join(k, "=", value), style_});
    sections_.push_back(std::move(s));
    if (sectionsBuilt_) {
      sectionIndex_.emplace(ToLowerAscii(sec), static_cast<std::uint32_t>(sections_.size() - 1));
    }
    return true;
  }
  Section& s = sections_[static_cast<std::size_t>(si)];
  std::int64_t ki = FindKeyLocked(s, k);
  if (ki >= 0) {
    // Replace the value in place; the name, its spelling and the blanks up
    // to the value stay.
    Line& l = s.body[static_cast<std::size_t>(ki)];
    std::size_t keep = l.text.find('=') + 1;
    while (keep < l.text.size() && IsBlank(l.text[keep])) ++keep;
    if (std::string_view(l.text).substr(keep) == value) return false;
    l.text.resize(keep);
    l.text.append(value);
    return true;
  }
  // A new key goes after the section's last key line.
  std::size_t at = static_cast<std::size_t>(s.lastKeyLine + 1);
  Line& prev = at == 0 ? s.header : s.body[at - 1];
  if (prev.eol == Eol::None) prev.eol = style_;
  s.body.insert(s.body.begin() + static_cast<std::ptrdiff_t>(at), Line{Join(k, "=", value), style_});
  // Only non-key lines follow the insertion point, so no indexed line moved.
  s.keys.Insert(k, static_cast<std::uint32_t>(at), s.body);
  s.firstKeyLines.push_back(static_cast<std::uint32_t>(at));
  s.lastKeyLine = static_cast<std::int64_t>(at);
  return true;
}

bool Doc::RemoveKey(std::string_view section, std::string_view key) {
  std::lock_guard<std::mutex> lock(mu_);
  std::int64_t si = FindSectionIndexLocked(section);
  if (si < 0) return false;
  Section& s = sections_[static_cast<std::size_t>(si)];
  std::int64_t ki = FindKeyLocked(s, key);
  if (ki < 0) return false;
  if (s.repeatedKeys) {
    // A later line of the same name comes into view: index afresh.
    s.body.erase(s.body.begin() + ki);
    s.keysBuilt = false;
    return true;
  }
  // Keep the index: drop the line's slot and renumber the lines below it
  // (a section of thousands of keys would otherwise be indexed anew for
  // every key removed).
  const auto line = static_cast<std::uint32_t>(ki);
  {
    std::string_view name, value;
    ParseKey(s.body[line].text, name, value);
    s.keys.EraseLine(name, line);
  }
  s.body.erase(s.body.begin() + ki);
  auto& firsts = s.firstKeyLines;
  firsts.erase(std::remove(firsts.begin(), firsts.end(), line), firsts.end());
  for (std::uint32_t& l : firsts)
    if (l > line) --l;
  if (s.lastKeyLine > ki) {
    --s.lastKeyLine;
  } else if (s.lastKeyLine == ki) {
    std::int64_t i = ki - 1;
    std::string_view name, value;
    while (i >= 0 && !ParseKey(s.body[static_cast<std::size_t>(i)].text, name, value)) --i;
    s.lastKeyLine = i;
  }
  return true;
}

bool Doc::RemoveSection(std::string_view section) {
  std::lock_guard<std::mutex> lock(mu_);
  std::int64_t si = FindSectionIndexLocked(section);
  if (si < 0) return false;
  sections_.erase(sections_.begin() + si);
  sectionsBuilt_ = false;
  sectionIndex_.clear();
  return true;
}

}  // namespace zv::platform::ini::detail
