#include "store/iniimage.h"

#include <cctype>

#include "platform/ini.h"
#include "platform/text.h"

namespace zv::store {

namespace ini = platform::ini;

std::uint32_t IniNameHash(std::string_view name) {
  std::uint32_t h = 0;
  for (unsigned char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    h = (h + c) * 2049u;
  }
  return h;
}

IniImage::IniImage(std::string path) { Load(path); }

bool IniImage::Load(const std::string& path) {
  path_ = path;
  sections_.clear();
  sectionIndex_.clear();
  changes_.clear();
  for (const auto& sec : ini::SectionNames(path)) {
    if (FindSection(sec)) continue;  // the first of duplicate sections wins
    Section& s = AddSection(sec);
    for (auto& [k, v] : ini::SectionEntries(path, sec)) {
      if (FindKey(s, k)) continue;
      s.index[IniNameHash(k)].push_back(s.keys.size());
      s.keys.push_back({k, v, false});
    }
  }
  return true;
}

IniImage::Section* IniImage::FindSection(std::string_view name) {
  auto it = sectionIndex_.find(IniNameHash(name));
  if (it == sectionIndex_.end()) return nullptr;
  for (auto i : it->second) {
    if (platform::EqualsNoCase(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

const IniImage::Section* IniImage::FindSection(std::string_view name) const {
  return const_cast<IniImage*>(this)->FindSection(name);
}

IniImage::Section& IniImage::AddSection(std::string_view name) {
  sectionIndex_[IniNameHash(name)].push_back(sections_.size());
  sections_.push_back(Section{std::string(name), {}, {}});
  return sections_.back();
}

IniImage::Key* IniImage::FindKey(Section& s, std::string_view key) {
  auto it = s.index.find(IniNameHash(key));
  if (it == s.index.end()) return nullptr;
  for (auto i : it->second) {
    if (!s.keys[i].deleted && platform::EqualsNoCase(s.keys[i].name, key)) return &s.keys[i];
  }
  return nullptr;
}

const IniImage::Key* IniImage::FindKey(const Section& s, std::string_view key) {
  return FindKey(const_cast<Section&>(s), key);
}

bool IniImage::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::optional<std::string> IniImage::Get(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const Key* k = FindKey(*s, key);
  if (!k) return std::nullopt;
  return k->value;
}

std::string IniImage::GetString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  auto v = Get(section, key);
  return v ? *v : std::string(platform::TrimRight(defaultValue));
}

int IniImage::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  auto v = Get(section, key);
  if (!v) return defaultValue;
  std::string_view t = platform::Trim(*v);
  bool neg = false;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  std::uint32_t n = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) n = n * 10u + std::uint32_t(t[i] - '0');
  if (neg) n = 0u - n;
  return static_cast<int>(n);
}

std::vector<std::string> IniImage::Sections() const {
  std::vector<std::string> out;
  for (const auto& s : sections_) out.push_back(s.name);
  return out;
}

std::vector<std::pair<std::string, std::string>> IniImage::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  if (const Section* s = FindSection(section)) {
    for (const auto& k : s->keys) {
      if (!k.deleted) out.emplace_back(k.name, k.value);
    }
  }
  return out;
}

void IniImage::Set(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = FindSection(section);
  if (!s) s = &AddSection(section);
  if (Key* k = FindKey(*s, key)) {
    k->value = std::string(value);
  } else {
    s->index[IniNameHash(key)].push_back(s->keys.size());
    s->keys.push_back({std::string(key), std::string(value), false});
  }
  changes_.push_back({s->name, std::string(key), std::string(value)});
}

void IniImage::SetInt(std::string_view section, std::string_view key, int value) {
  Set(section, key, std::to_string(value));
}

void IniImage::Delete(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (!s) return;
  Key* k = FindKey(*s, key);
  if (!k) return;
  k->deleted = true;
  changes_.push_back({s->name, std::string(key), std::nullopt});
}

bool IniImage::Save() { return SaveTo(path_); }

bool IniImage::SaveTo(const std::string& path) {
  if (changes_.empty()) return true;
  ini::WriteGroup group(path);
  if (!group.ok()) return false;
  bool ok = true;
  for (const auto& c : changes_) {
    ok = (c.value ? ini::WriteString(path, c.section, c.key, *c.value) : ini::DeleteKey(path, c.section, c.key)) && ok;
  }
  // A change the profile layer refuses (a line break in a name or value)
  // is left out; the others are still written in the one replacement.
  const bool committed = group.Commit();
  if (committed) changes_.clear();
  return ok && committed;
}

}  // namespace zv::store
