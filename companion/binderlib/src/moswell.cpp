#include "binderlib/moswell.h"

#include <array>
#include <cstdint>

namespace zv::companion::moswell {

namespace {

constexpr std::string_view kPrefix = "MW1:";
// Fixed obfuscation key; see the header: this hides, it does not protect.
constexpr std::array<std::uint8_t, 16> kKey = {0x5a, 0x3c, 0x91, 0x07, 0xe4, 0x6b, 0x22, 0xd8,
                                               0x4f, 0xb3, 0x18, 0x7e, 0xc5, 0x09, 0x66, 0xa1};
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Xor(std::string_view in) {
  std::string out(in);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char>(static_cast<std::uint8_t>(out[i]) ^ kKey[i % kKey.size()]);
  }
  return out;
}

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string EncodePassword(std::string_view password) {
  if (password.empty()) return {};
  const std::string raw = Xor(password);
  std::string out(kPrefix);
  std::size_t i = 0;
  for (; i + 3 <= raw.size(); i += 3) {
    const std::uint32_t v = (std::uint8_t(raw[i]) << 16) | (std::uint8_t(raw[i + 1]) << 8) | std::uint8_t(raw[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = raw.size() - i;
  if (rest == 1) {
    const std::uint32_t v = std::uint8_t(raw[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = (std::uint8_t(raw[i]) << 16) | (std::uint8_t(raw[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::optional<std::string> DecodePassword(std::string_view stored) {
  if (stored.substr(0, kPrefix.size()) != kPrefix) return std::string(stored);
  std::string_view b64 = stored.substr(kPrefix.size());
  if (b64.size() % 4 != 0) return std::nullopt;
  std::string raw;
  for (std::size_t i = 0; i < b64.size(); i += 4) {
    int s[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = b64[i + k];
      if (c == '=' && i + 4 == b64.size() && k >= 2) {
        s[k] = 0;
        ++pad;
      } else {
        if (pad) return std::nullopt;
        s[k] = Sextet(c);
        if (s[k] < 0) return std::nullopt;
      }
    }
    const std::uint32_t v = (s[0] << 18) | (s[1] << 12) | (s[2] << 6) | s[3];
    raw += static_cast<char>((v >> 16) & 0xff);
    if (pad < 2) raw += static_cast<char>((v >> 8) & 0xff);
    if (pad < 1) raw += static_cast<char>(v & 0xff);
  }
  return Xor(raw);
}

}  // namespace zv::companion::moswell
