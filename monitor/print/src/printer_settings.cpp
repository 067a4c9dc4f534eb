// The printer the user chose, in the user registry file.
#include <string>

#include "monitor/print/print_file.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zv::monitor {

namespace registry = platform::registry;

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

StoredPrinter ReadStoredPrinter(std::string* why) {
  StoredPrinter none;
  auto fail = [&](const std::string& text) {
    if (why != nullptr) *why = text;
    return none;
  };
  if (why != nullptr) why->clear();
  const std::string size = std::string(
      platform::Trim(registry::GetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevSizeValue).value_or("")));
  if (size.empty()) return none;  // nothing stored
  std::uint64_t bytes = 0;
  for (char c : size) {
    if (c < '0' || c > '9') return fail("devsize is not a byte count: " + size);
    bytes = bytes * 10 + static_cast<std::uint64_t>(c - '0');
    if (bytes > kMaxPrinterSettingsBytes) return fail("devsize is larger than 64 KiB: " + size);
  }
  if (bytes == 0) return none;
  const std::string hex = registry::GetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevModeValue).value_or("");
  if (hex.size() != bytes * 2) {
    return fail("devmode holds " + std::to_string(hex.size() / 2) + " bytes, devsize says " + std::to_string(bytes));
  }
  std::string options;
  options.reserve(bytes);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return fail("devmode is not hex text");
    const char c = static_cast<char>(high * 16 + low);
    if (c == '\0' || c == '\n' || c == '\r') return fail("devmode is not an option string");
    options += c;
  }
  const std::string name = registry::GetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevNameValue).value_or("");
  if (name.size() >= 512) return fail("devname is longer than 511 bytes");
  StoredPrinter stored;
  stored.stored = true;
  stored.name = name;
  stored.options = std::move(options);
  return stored;
}

bool StorePrinter(const std::string& name, const std::string& options) {
  if (options.size() > kMaxPrinterSettingsBytes || name.size() >= 512) return false;
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(options.size() * 2);
  for (unsigned char c : options) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  // The size last: a reader that sees it finds the block it describes.
  return registry::SetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevNameValue, name) &&
         registry::SetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevModeValue, hex) &&
         registry::SetValue(registry::Hive::CurrentUser, kPrintSetKey, kDevSizeValue, std::to_string(options.size()));
}

}  // namespace zv::monitor
