#include "monitor/settings/profile.h"

#include "platform/ini.h"

namespace zv::monitor {

namespace ini = platform::ini;

std::string ProfileRead(std::string_view section, std::string_view key, std::string_view defaultValue,
                        const std::string& file) {
  return ini::GetString(file, section, key, defaultValue);
}

int ProfileRead(std::string_view section, std::string_view key, int defaultValue, const std::string& file) {
  return ini::GetInt(file, section, key, defaultValue);
}

std::vector<std::string> ProfileSections(const std::string& file) { return ini::SectionNames(file); }

std::vector<std::string> ProfileKeys(std::string_view section, const std::string& file) {
  return ini::KeyNames(file, section);
}

bool ProfileWrite(std::string_view section, std::string_view key, std::string_view value, const std::string& file) {
  return ini::WriteString(file, section, key, value);
}

bool ProfileWrite(std::string_view section, std::string_view key, int value, const std::string& file) {
  return ini::WriteInt(file, section, key, value);
}

bool ProfileWriteRaw(const char* section, const char* key, const char* value, const std::string& file) {
  return ini::WritePrivateProfileString(section, key, value, file);
}

bool ProfileDeleteKey(std::string_view section, std::string_view key, const std::string& file) {
  return ini::DeleteKey(file, section, key);
}

bool ProfileDeleteSection(std::string_view section, const std::string& file) {
  return ini::DeleteSection(file, section);
}

bool ProfileFlush(const std::string& file) { return ini::Flush(file); }

}  // namespace zv::monitor
