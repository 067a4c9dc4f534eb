// An in-memory image of an ini file for bulk edits: read once, looked up
// through a name hash, edited, written back in one atomic replacement.
//
// Reading and writing go through the profile layer (platform/ini.h): the
// image is an index over its parse, and Save() replays only the changed keys
// inside one write group, so every line the edit does not touch (comments,
// unknown sections and keys, their spelling) stays byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zv::store {

// Name hash: start at 0; per byte add its ASCII lower-case value, then
// multiply by 2049; 32-bit arithmetic. Equal hashes are confirmed by a
// case-insensitive compare.
std::uint32_t IniNameHash(std::string_view name);

class IniImage {
 public:
  IniImage() = default;
  // Loads `path` (a missing file is an empty image bound to that path).
  explicit IniImage(std::string path);
  bool Load(const std::string& path);
  const std::string& path() const { return path_; }

  bool HasSection(std::string_view section) const;
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
  // A missing key gives the default; a present value is read like the
  // profile layer does (leading digits, garbage 0).
  int GetInt(std::string_view section, std::string_view key, int defaultValue = -1) const;

  std::vector<std::string> Sections() const;
  // Keys with values of a section, in file order (new keys at the end).
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int value);
  void Delete(std::string_view section, std::string_view key);

  bool dirty() const { return !changes_.empty(); }
  // Writes the changes to path() in one group (one atomic replacement).
  // False when the write failed; the file is then unchanged.
  bool Save();
  // Writes the changes into another file (for example a new binder ini made
  // from a template copy at `path`).
  bool SaveTo(const std::string& path);

 private:
  struct Key {
    std::string name;
    std::string value;
    bool deleted = false;
  };
  struct Section {
    std::string name;
    std::vector<Key> keys;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> index;
  };
  struct Change {
    std::string section, key;
    std::optional<std::string> value;  // nullopt: delete
  };
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  Section& AddSection(std::string_view name);
  static Key* FindKey(Section& s, std::string_view key);
  static const Key* FindKey(const Section& s, std::string_view key);

  std::string path_;
  std::vector<Section> sections_;
  std::unordered_map<std::uint32_t, std::vector<std::size_t>> sectionIndex_;
  std::vector<Change> changes_;
};

}  // namespace zv::store
